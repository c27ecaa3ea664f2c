#include "TIdeDialogs.h"

#include "IdeServices.h"

#include "Korvexcommonvcl.h"
#include "Vcl.Components.h"
#include "Vcl.Registry.h"

#include <QDialogButtonBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QLabel>
#include <QListWidget>
#include <QPushButton>
#include <QTabWidget>
#include <QTableWidget>
#include <QVBoxLayout>

namespace {

QPushButton* button(QWidget* parent, const QString& text, const QString& tip) {
    auto* b = new QPushButton(text, parent);
    b->setAccessibleName(QString(text).remove(QLatin1Char('&')));
    b->setToolTip(tip);
    return b;
}

QTableWidget* grid(QWidget* parent, const QString& name, const QString& tip) {
    auto* g = new QTableWidget(0, 2, parent);
    g->setHorizontalHeaderLabels({QStringLiteral("Name"), QStringLiteral("Wert")});
    g->horizontalHeader()->setStretchLastSection(true);
    g->setColumnWidth(0, 220);
    g->verticalHeader()->hide();
    g->setAccessibleName(name);
    g->setToolTip(tip);
    return g;
}

void fill(QTableWidget* g, const QList<QPair<QString, QString>>& rows, bool namesEditable) {
    g->setRowCount(int(rows.size()));
    for (int r = 0; r < rows.size(); ++r) {
        auto* name = new QTableWidgetItem(rows[r].first);
        if (!namesEditable)
            name->setFlags(name->flags() & ~Qt::ItemIsEditable);
        g->setItem(r, 0, name);
        g->setItem(r, 1, new QTableWidgetItem(rows[r].second));
    }
}

// Writes the grid's rows as the key's values; the key holds nothing else afterwards.
void store(const QTableWidget* g, const QString& key) {
    Vcl::TRegistry reg;
    reg.DeleteKey(key);
    if (!reg.OpenKey(key, true))
        return;
    for (int r = 0; r < g->rowCount(); ++r) {
        const QString name = g->item(r, 0) ? g->item(r, 0)->text().trimmed() : QString();
        const QString value = g->item(r, 1) ? g->item(r, 1)->text() : QString();
        if (name.isEmpty())
            continue;
        reg.WriteString(name, value);
    }
    reg.CloseKey();
}

} // namespace

// ---- splash -----------------------------------------------------------------------------------

TIdeSplash::TIdeSplash(TIdeServices& services)
    : m_services(services), m_form(new Vcl::TForm(nullptr)) {
    m_form->setObjectName(QStringLiteral("SplashScreen"));
    m_form->setWindowTitle(QStringLiteral("SplashScreen"));
    m_form->SetBorderStyle(Vcl::bsNone);
    m_form->SetPosition(Vcl::poScreenCenter);
    m_form->resize(460, 260);
    auto* layout = new QVBoxLayout(m_form);
    auto* title = new QLabel(QStringLiteral("<b style='font-size:20pt'>%1</b>").arg(TIdeServices::ProductName),
                             m_form);
    m_plugins = new QListWidget(m_form);
    m_plugins->setAccessibleName(QStringLiteral("Erweiterungen"));
    m_plugins->setToolTip(QStringLiteral("Geladene Erweiterungen"));
    m_status = new QLabel(m_form);
    m_status->setAccessibleName(QStringLiteral("Startstatus"));
    m_status->setToolTip(QStringLiteral("Was gerade geladen wird"));
    layout->addWidget(title);
    layout->addWidget(m_plugins, 1);
    layout->addWidget(m_status);
    services.SetSplashActive(true);
    QObject::connect(&services, &TIdeServices::statusChanged, m_form,
                     [this](const QString& text) {
                         m_status->setText(text);
                         m_status->repaint();
                     });
    QObject::connect(&services, &TIdeServices::changed, m_form, [this] {
        m_plugins->clear();
        for (const auto& p : m_services.SplashBitmaps())
            m_plugins->addItem(new QListWidgetItem(QIcon(p.bitmap), p.title + QStringLiteral("  ") +
                                                                        p.description));
    });
    m_form->show();
}

TIdeSplash::~TIdeSplash() {
    m_services.SetSplashActive(false);
    delete m_form;
}

// ---- about box --------------------------------------------------------------------------------

void TIdeAboutBox::Execute(TIdeServices& services, QWidget* parent) {
    Vcl::TForm form(nullptr, parent);
    form.setObjectName(QStringLiteral("FormAbout"));
    form.setWindowTitle(QStringLiteral("Über %1").arg(TIdeServices::ProductName));
    form.SetPosition(Vcl::poMainFormCenter);
    form.resize(560, 380);
    auto* layout = new QVBoxLayout(&form);
    layout->addWidget(new QLabel(QStringLiteral("<b>%1</b><br>Version 28.0").arg(TIdeServices::ProductName), &form));
    auto* list = new QListWidget(&form);
    list->setAccessibleName(QStringLiteral("Erweiterungen"));
    list->setToolTip(QStringLiteral("Installierte Erweiterungen"));
    list->setWordWrap(true);
    for (const auto& [index, entry] : services.AboutEntries()) {
        auto* item = new QListWidgetItem(QIcon(entry.bitmap), entry.title + QLatin1Char('\n') +
                                                                  QString(entry.description).remove(QLatin1Char('\r')));
        list->addItem(item);
    }
    layout->addWidget(list, 1);
    auto* ok = button(&form, QStringLiteral("&Schließen"), QStringLiteral("Fenster schließen"));
    QObject::connect(ok, &QPushButton::clicked, &form, [&form] { form.SetModalResult(Vcl::mrOk); });
    layout->addWidget(ok, 0, Qt::AlignRight);
    Korvexcommonvcl::ShowModal(&form);
}

// ---- options ----------------------------------------------------------------------------------

TIdeOptionsDialog::TIdeOptionsDialog(TIdeServices& services, QWidget* parent)
    : Vcl::TForm(nullptr, parent), m_services(services) {
    setObjectName(QStringLiteral("FormIdeOptions"));
    setWindowTitle(QStringLiteral("Optionen"));
    SetPosition(Vcl::poMainFormCenter);
    resize(720, 480);
    auto* layout = new QVBoxLayout(this);
    auto* tabs = new QTabWidget(this);

    auto* overridePage = new QWidget;
    auto* ol = new QVBoxLayout(overridePage);
    GridOverrides = Vcl::Owned(this, grid(overridePage, QStringLiteral("Umgebungsvariablen"),
                                          QStringLiteral("Eigene Werte für Umgebungsvariablen der IDE")),
                               QStringLiteral("GridOverrides"));
    auto* add = button(overridePage, QStringLiteral("&Hinzufügen"), QStringLiteral("Neue Variable"));
    auto* del = button(overridePage, QStringLiteral("&Entfernen"), QStringLiteral("Gewählte Variable entfernen"));
    auto* row = new QHBoxLayout;
    row->addWidget(add);
    row->addWidget(del);
    row->addStretch();
    ol->addWidget(GridOverrides, 1);
    ol->addLayout(row);
    connect(add, &QPushButton::clicked, this, [this] {
        GridOverrides->insertRow(GridOverrides->rowCount());
        GridOverrides->editItem(nullptr);
    });
    connect(del, &QPushButton::clicked, this, [this] {
        if (GridOverrides->currentRow() >= 0)
            GridOverrides->removeRow(GridOverrides->currentRow());
    });
    tabs->addTab(overridePage, QStringLiteral("Umgebungsvariablen"));

    GridEnvironment = Vcl::Owned(this, grid(this, QStringLiteral("Umgebungsoptionen"),
                                            QStringLiteral("Optionen der IDE")),
                                 QStringLiteral("GridEnvironment"));
    tabs->addTab(GridEnvironment, QStringLiteral("Umgebungsoptionen"));
    GridProject = Vcl::Owned(this, grid(this, QStringLiteral("Projektoptionen"),
                                        QStringLiteral("Optionen des aktiven Projekts")),
                             QStringLiteral("GridProject"));
    tabs->addTab(GridProject, QStringLiteral("Projektoptionen"));
    ListPackages = Vcl::Owned(this, new QListWidget(this), QStringLiteral("ListPackages"));
    ListPackages->setAccessibleName(QStringLiteral("Packages"));
    ListPackages->setToolTip(QStringLiteral("Bekannte Packages; ohne Haken wird eines beim nächsten "
                                            "Start nicht geladen"));
    tabs->addTab(ListPackages, QStringLiteral("Packages"));
    layout->addWidget(tabs, 1);

    auto* buttons = new QHBoxLayout;
    auto* ok = button(this, QStringLiteral("&OK"), QStringLiteral("Speichern und schließen"));
    auto* cancel = button(this, QStringLiteral("&Abbrechen"), QStringLiteral("Schließen ohne zu speichern"));
    buttons->addStretch();
    buttons->addWidget(ok);
    buttons->addWidget(cancel);
    layout->addLayout(buttons);
    connect(ok, &QPushButton::clicked, this, [this] {
        Save();
        SetModalResult(Vcl::mrOk);
    });
    connect(cancel, &QPushButton::clicked, this, [this] { SetModalResult(Vcl::mrCancel); });

    Vcl::TRegistry reg;
    QList<QPair<QString, QString>> rows;
    if (reg.OpenKeyReadOnly(services.Key(QStringLiteral("Environment Variables"))))
        for (const QString& n : reg.GetValueNames())
            rows.append({n, reg.ReadString(n)});
    reg.CloseKey();
    fill(GridOverrides, rows, true);
    rows.clear();
    for (const auto& name : services.GetEnvironmentOptions()->GetOptionNames())
        rows.append({name.name, services.GetEnvironmentOptions()->Values(name.name).toString()});
    fill(GridEnvironment, rows, false);
    rows.clear();
    if (auto* project = services.GetActiveProject())
        for (const auto& name : project->GetProjectOptions()->GetOptionNames())
            rows.append({name.name, project->GetProjectOptions()->Values(name.name).toString()});
    fill(GridProject, rows, false);
    QStringList disabled;
    if (reg.OpenKeyReadOnly(services.Key(QStringLiteral("Disabled Packages"))))
        disabled = reg.GetValueNames();
    reg.CloseKey();
    if (reg.OpenKeyReadOnly(services.Key(QStringLiteral("Known Packages"))))
        for (const QString& n : reg.GetValueNames()) {
            auto* item = new QListWidgetItem(QStringLiteral("%1 – %2").arg(n, reg.ReadString(n)), ListPackages);
            item->setData(Qt::UserRole, n);
            item->setCheckState(disabled.contains(n, Qt::CaseInsensitive) ? Qt::Unchecked : Qt::Checked);
        }
}

void TIdeOptionsDialog::Save() {
    store(GridOverrides, m_services.Key(QStringLiteral("Environment Variables")));
    store(GridEnvironment, m_services.Key(QStringLiteral("Environment Options")));
    if (auto* project = dynamic_cast<TIdeProject*>(m_services.GetActiveProject()))
        store(GridProject, static_cast<TIdeOptions*>(project->GetProjectOptions())->RegistryKey());
    Vcl::TRegistry reg;
    reg.DeleteKey(m_services.Key(QStringLiteral("Disabled Packages")));
    if (reg.OpenKey(m_services.Key(QStringLiteral("Disabled Packages")), true)) {
        for (int i = 0; i < ListPackages->count(); ++i)
            if (ListPackages->item(i)->checkState() == Qt::Unchecked) {
                const QString n = ListPackages->item(i)->data(Qt::UserRole).toString();
                reg.WriteString(n, n);
            }
        reg.CloseKey();
    }
}

int TIdeOptionsDialog::Execute(TIdeServices& services, QWidget* parent) {
    TIdeOptionsDialog dialog(services, parent);
    return Korvexcommonvcl::ShowModal(&dialog);
}
