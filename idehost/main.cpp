// korvex-ide: the IDE stand-in. Shows its splash while the design-time packages load, then the
// designer with a form.
//   korvex-ide [--form FORMCLASS] [--screenshot FILE]
#include "IdePackages.h"
#include "IdeServices.h"
#include "TFormIdeDemo.h"
#include "TIdeDialogs.h"
#include "TIdeMainForm.h"

#include "Vcl.Application.h"
#include "Vcl.Forms.h"
#include "Vcl.Registry.h"
#include "Vcl.Services.h"

#include <QCommandLineParser>
#include <QListWidget>
#include <QPixmap>
#include <QStandardPaths>
#include <QTimer>

#include <cstdio>

namespace {
// A picture run has nobody to answer: questions go to stderr and are answered with OK.
class TPrintingDialogs final : public Vcl::Dialogs {
public:
    Vcl::TModalResult Ask(const Vcl::TQuestion& q) override {
        std::fprintf(stderr, "%s: %s\n", qPrintable(q.caption), qPrintable(q.text));
        return Vcl::mrOk;
    }
};
} // namespace

int main(int argc, char** argv) {
    Vcl::TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvex-ide"));
    QApplication::setOrganizationName(QStringLiteral("korvex"));

    QCommandLineParser cli;
    cli.setApplicationDescription(TIdeServices::ProductName);
    cli.addHelpOption();
    QCommandLineOption formOpt(QStringLiteral("form"), QStringLiteral("form class to design"),
                               QStringLiteral("class"), QStringLiteral("TFormIdeDemo"));
    QCommandLineOption shotOpt(QStringLiteral("screenshot"),
                               QStringLiteral("write a PNG of the main window and exit"),
                               QStringLiteral("file"));
    cli.addOption(formOpt);
    cli.addOption(shotOpt);
    cli.process(app);

    TPrintingDialogs printing;
    if (cli.isSet(shotOpt))
        Vcl::Dialogs::SetInstance(&printing);

    // The IDE keeps its registry apart from the ERP's.
    Vcl::TRegistry::SetBaseFolder(
        QStandardPaths::writableLocation(QStandardPaths::GenericConfigLocation) +
        QStringLiteral("/korvex-ide"));
    RegisterDesignClass(&TFormIdeDemo::staticMetaObject);

    TIdeServices services;
    TIdeServices::WriteDefaults(services.GetBaseRegistryKey());
    services.SetActiveProject(std::make_unique<TIdeProject>(
        QStringLiteral("KorvexDemo.dproj"), services.Key(QStringLiteral("Project Options"))));
    TIdePackages packages(services);
    {
        TIdeSplash splash(services);
        QApplication::processEvents();
        for (const QString& name : services.PackagesToLoad()) {
            services.SetStatusMessage(QStringLiteral("Lade %1").arg(name));
            QApplication::processEvents();
            packages.Load(name);
            QApplication::processEvents();
        }
    }

    auto* mainForm = new TIdeMainForm(services);
    services.SetMainForm(mainForm);
    Vcl::Screen::SetMainForm(mainForm);
    mainForm->resize(1400, 860);
    for (const QString& line : services.StatusMessages())
        mainForm->MessageView->addItem(QStringLiteral("Start: ") + line);
    mainForm->show();
    const QString formClass = cli.value(formOpt);
    if (!mainForm->OpenForm(formClass))
        services.AddTitleMessage(QStringLiteral("Formularklasse %1 ist nicht bekannt").arg(formClass));

    const QString screenshot = cli.value(shotOpt);
    if (!screenshot.isEmpty())
        QTimer::singleShot(600, mainForm, [&, mainForm] {
            if (!mainForm->grab().save(screenshot))
                std::fprintf(stderr, "%s kann nicht geschrieben werden\n", qPrintable(screenshot));
            mainForm->Close();
        });
    QObject::connect(&app, &QApplication::lastWindowClosed, &app, &QApplication::quit);
    const int rc = app.exec();

    // Packages go before the windows they may still point into; their code goes last.
    Vcl::SetApplicationTerminated(true);
    mainForm->hide();
    QApplication::processEvents();
    delete mainForm;
    packages.UnloadAll();
    return rc;
}
