// korvex-erp: logs in to the database, loads the packages and shows the main window.
//   korvex-erp [CONNINFO|URI] [--user LOGIN] [--start FORMCLASS[:Name=Value;...]]... [--keys KEYS]
//              [--dokument PDID [--stempel NAME]] [--scan SOURCE] [--screenshot FILE]
// --dokument shows a stored document in the preview once the modules are open: by its id or by
// its name ("Lieferscheine (12 Seiten)", the viewers' demo document).
// --stempel places that stamp on the document's first page, saves and closes the preview, as a
// user does, before the modules open (so that a query module shows what its stamp SQL wrote).
// --scan scans into new documents of the first address as a module's scan does: SOURCE is the
// scan's "ScanSource" ("einseitig" splits the stack at barcodes; empty: all pages in one preview).
// --keys types into the focused control once the modules are open: blank-separated parts, each a
// key sequence in brackets ("[Shift+Space]") or text typed as it stands.
#include "DMSys.h"
#include "TMainForm.h"
#include "UHostModules.h"
#include "UFilePreview.h"
#include "UFileViewerTIFF.h"
#include "UFileViewerTIFF.Stamps.h"
#include "UHostPackages.h"
#include "Ukorvexclasses.Dokument.h"
#include "Voskdbcontrols.h"

#include "EventGuard.h"
#include "UDM1.h"
#include "UDataModul_Dunmere.h"
#include "Vcl.Application.h"
#include "Vcl.Components.h"
#include "Vcl.Forms.h"
#include "VoskExceptions.h"

#include <QCommandLineParser>
#include <QKeyEvent>
#include <QKeySequence>
#include <QMessageBox>
#include <QPainter>
#include <QPixmap>
#include <QScreen>
#include <QTimer>

#include <algorithm>
#include <cstdio>

int main(int argc, char** argv) {
    Vcl::TApplication app(argc, argv);
    QApplication::setApplicationName(QStringLiteral("korvex-erp"));
    QApplication::setOrganizationName(QStringLiteral("korvex"));
    QApplication::setWindowIcon(TDMSys::AppIcon());

    QCommandLineParser cli;
    cli.setApplicationDescription(QStringLiteral("KORVEX ERP"));
    cli.addHelpOption();
    cli.addPositionalArgument(QStringLiteral("connection"),
                              QStringLiteral("libpq connection string or URI (default: environment)"));
    QCommandLineOption userOpt(QStringLiteral("user"), QStringLiteral("ERP login"), QStringLiteral("login"));
    QCommandLineOption shotOpt(QStringLiteral("screenshot"),
                               QStringLiteral("write a PNG of the main window and exit"),
                               QStringLiteral("file"));
    QCommandLineOption startOpt(QStringLiteral("start"),
                                QStringLiteral("open the module of this form class after login"),
                                QStringLiteral("formclass"));
    QCommandLineOption keysOpt(QStringLiteral("keys"),
                               QStringLiteral("type these keys into the focused control after the start"),
                               QStringLiteral("keys"));
    QCommandLineOption dokOpt(QStringLiteral("dokument"),
                              QStringLiteral("show this stored document in the preview after the start"),
                              QStringLiteral("id-or-name"));
    QCommandLineOption scanOpt(QStringLiteral("scan"),
                               QStringLiteral("scan into new documents of the first address after the start"),
                               QStringLiteral("source"));
    QCommandLineOption stampOpt(QStringLiteral("stempel"),
                                QStringLiteral("place this stamp on the shown document and save it"),
                                QStringLiteral("name"));
    cli.addOption(stampOpt);
    cli.addOption(scanOpt);
    cli.addOption(dokOpt);
    cli.addOption(keysOpt);
    cli.addOption(userOpt);
    cli.addOption(shotOpt);
    cli.addOption(startOpt);
    cli.process(app);
    const QString conninfo = cli.positionalArguments().value(0);
    const QString screenshot = cli.value(shotOpt);

    TDM1 dm;
    try {
        dm.Connect(conninfo);
        const QString login = cli.isSet(userOpt) ? cli.value(userOpt)
                                                 : qEnvironmentVariable("KORVEX_USER");
        if (!login.isEmpty())
            dm.SetLoginName(login);
        TVoskDM_Dunmere::ModulInitialize(&dm)->OpenKeySnippets(dm);
    } catch (const EVoskException& e) {
        std::fprintf(stderr, "%s\n", e.Message().toLocal8Bit().constData());
        if (screenshot.isEmpty() && QGuiApplication::platformName() != u"offscreen")
            QMessageBox::critical(nullptr, QStringLiteral("KORVEX ERP"), e.Message());
        return 1;
    }

    THostPackages packages;
    TMainForm mainForm;
    try {
        packages.Load(QStringLiteral("hadrel"));
        packages.Load(QStringLiteral("ostvane"));
        UHostModules::Register();
        // The ERP hands the TIFF viewer's print and export routines to the document class.
        TFileViewerFrameTIFF::ModulInitialize(&mainForm);
        mainForm.OnMenuEntry = [](const QString& formClassName, int) {
            Voskdbcontrols::DoStartModuleByClass(formClassName, {}, false, nullptr);
        };
        mainForm.LoadMainMenu();
    } catch (const EVoskException& e) {
        std::fprintf(stderr, "%s\n", e.Message().toLocal8Bit().constData());
        return 1;
    }
    mainForm.setWindowTitle(QStringLiteral("KORVEX ERP - %1@%2").arg(dm.LoginName(), dm.DatabaseName()));
    mainForm.resize(1280, 800);
    mainForm.show();
    // Armed before the modules start: a module may open a modal dialog (a lookup) right away.
    if (!screenshot.isEmpty()) {
        QTimer::singleShot(400, &mainForm, [&] {
            // What the user sees: the main window with an open modal dialog over it.
            QPixmap shot = mainForm.grab();
            QPainter p(&shot);
            // Windows over the main window (a document preview, a record's documents) as they
            // lie over it, the active one on top.
            QList<QWidget*> over;
            for (QWidget* w : QApplication::topLevelWidgets())
                if (w != &mainForm && w->isVisible() &&
                    (w->parentWidget() == &mainForm || qobject_cast<Vcl::TForm*>(w)) &&
                    w != QApplication::activeModalWidget())
                    over << w;
            // A form's floating tool bar is active together with its form: the form goes on top,
            // its tool bar over it.
            QWidget* active = QApplication::activeWindow();
            QWidget* activeForm = active;
            if (auto* owner = active ? qobject_cast<QWidget*>(Vcl::Owner(active)) : nullptr)
                activeForm = owner->window();
            std::stable_partition(over.begin(), over.end(), [&](QWidget* w) {
                return w != active && w != activeForm;
            });
            std::stable_partition(over.begin(), over.end(),
                                  [&](QWidget* w) { return w != active; });
            for (QWidget* w : over)
                p.drawPixmap(mainForm.mapFromGlobal(w->frameGeometry().topLeft()), w->grab());
            if (QWidget* modal = QApplication::activeModalWidget(); modal && modal != &mainForm)
                p.drawPixmap(mainForm.mapFromGlobal(modal->frameGeometry().topLeft()),
                             modal->grab());
            p.end();
            const bool ok = shot.save(screenshot, "PNG");
            std::fprintf(ok ? stdout : stderr, "%s %s\n", ok ? "screenshot written:" : "cannot write",
                         screenshot.toLocal8Bit().constData());
            QApplication::exit(ok ? 0 : 1);
        });
    }
    // "CLASS" or "CLASS:Name=Value;Name=Value" with start parameters for the module. Started from
    // the running main loop, so that a module's modal dialog runs inside it and the screenshot's
    // exit ends both.
    const QStringList starts = cli.values(startOpt);
    const QString dokument = cli.value(dokOpt);
    const bool scan = cli.isSet(scanOpt);
    const QString scanSource = cli.value(scanOpt);
    const QString stamp = cli.value(stampOpt);
    QTimer::singleShot(0, &mainForm, [starts, dokument, stamp, scan, scanSource, &mainForm] {
        const auto showDokument = [&] {
            bool isId = false;
            int id = dokument.toInt(&isId);
            if (!isId)
                id = DM1()->LoadVar(QStringLiteral("SELECT pd_id FROM picndoku WHERE pd_descr = "
                                                   ":name AND NOT pd_deletable ORDER BY pd_id LIMIT 1"),
                                    {{QStringLiteral("name"), dokument}}).toInt();
            TDokument doc;
            doc.AssignToDokId(id);
            auto* preview = qobject_cast<TFormFilePreview*>(doc.ShowDokument(&mainForm, false));
            auto* viewer = preview ? qobject_cast<TFileViewerFrameTIFF*>(preview->FImagePages.data()) : nullptr;
            if (stamp.isEmpty() || !viewer)
                return;
            const QImage picture = QImage::fromData(TImageListLoader::GetImage(viewer, stamp));
            viewer->LoadImage(0, true);
            viewer->AddAnnotImage(QRect(QPoint(1000, 1400), picture.size() * 2), picture, stamp);
            viewer->SaveAnnotationsOfPage(0);
            viewer->btEditSaveClick(viewer->btAnnotSave);
            preview->close();
        };
        if (!dokument.isEmpty() && !stamp.isEmpty())
            Rtl::Guarded(showDokument);
        for (const QString& start : starts) {
            const QString formClass = start.section(u':', 0, 0);
            QStringList params; // name, value, name, value, ...
            for (const QString& pair : start.section(u':', 1).split(u';', Qt::SkipEmptyParts))
                params << pair.section(u'=', 0, 0) << pair.section(u'=', 1);
            Rtl::Guarded(
                [&] { Voskdbcontrols::DoStartModuleByClass(formClass, params, false, nullptr); });
        }
        if (!dokument.isEmpty() && stamp.isEmpty())
            Rtl::Guarded(showDokument);
        if (scan)
            Rtl::Guarded([&] {
                const QString recId =
                    DM1()->LoadVar(QStringLiteral("SELECT min(dbrid) FROM adressen")).toString();
                TDokument doc;
                doc.LoadByRecord(QStringLiteral("adressen"), recId, false);
                doc.SetInsertData({true, QString(), QString(), QString(), QString(), QStringLiteral("image")});
                DMSys()->Scan(&mainForm, false, 0, 0, 0, 0,
                              {QStringLiteral("ScanSource=") + scanSource,
                               QStringLiteral("Barcodes=sbCode128,sbQRCode"),
                               QStringLiteral("BarcodeMode=sbmWithTypes")},
                              &doc);
            });
    });

    if (cli.isSet(keysOpt)) {
        const QStringList parts = cli.value(keysOpt).split(QLatin1Char(' '), Qt::SkipEmptyParts);
        QTimer::singleShot(200, &mainForm, [parts, &mainForm] {
            // Without a window manager a module's tool window takes the activation when it
            // shows; the keys go to the control the user works in, active again.
            if (QWidget* target = mainForm.KeyTarget()) {
                target->window()->activateWindow();
                target->setFocus(Qt::ActiveWindowFocusReason);
                QApplication::processEvents();
            }
            const auto send = [&mainForm](int key, Qt::KeyboardModifiers mods,
                                          const QString& text) {
                QWidget* target = mainForm.KeyTarget();
                if (!target)
                    return;
                QKeyEvent press(QEvent::KeyPress, key, mods, text);
                QKeyEvent release(QEvent::KeyRelease, key, mods, text);
                QApplication::sendEvent(target, &press);
                QApplication::sendEvent(target, &release);
            };
            for (const QString& part : parts) {
                if (part.startsWith(QLatin1Char('[')) && part.endsWith(QLatin1Char(']'))) {
                    const QKeySequence seq(part.mid(1, part.size() - 2));
                    if (seq.isEmpty())
                        continue;
                    const QKeyCombination c = seq[0];
                    send(c.key(), c.keyboardModifiers(),
                         c.key() == Qt::Key_Space ? QStringLiteral(" ") : QString());
                } else {
                    for (const QChar ch : part)
                        send(ch.toUpper().unicode(), Qt::NoModifier, QString(ch));
                }
            }
        });
    }
    const int rc = QApplication::exec();
    TFileViewerFrameTIFF::ModulFinalize();
    UHostModules::Unregister();
    packages.UnloadAll();
    return rc;
}
