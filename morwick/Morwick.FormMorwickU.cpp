#include "Morwick.FormMorwickU.h"

#include "Morwick.MainU.h"
#include "Morwick.UtiltiesU.h"
#include "ToolsAPI.h"

#include "UnitTable.h"
#include "Vcl.Components.h"
#include "Vcl.Registry.h"
#include "VoskExceptions.h"

#include <QApplication>
#include <QClipboard>
#include <QGroupBox>
#include <QHBoxLayout>
#include <QHeaderView>
#include <QMimeData>
#include <QPlainTextEdit>
#include <QPushButton>
#include <QSplitter>
#include <QTreeWidget>
#include <QVBoxLayout>

using namespace ToolsAPI;

QPointer<TFormMorwick> FormMorwick;

namespace {
void unitInit() {}
void unitFini() {}

constexpr int GroupRole = Qt::UserRole;         // LV_Items group item: its id
constexpr int HeaderRole = Qt::UserRole + 1;    // LV_Expanded group item: header
constexpr int SubtitleRole = Qt::UserRole + 2;  // ... and subtitle

struct GroupDef {
    int id;
    const char* header;
    bool collapsed;
    bool hidden;
};
// In display order.
const GroupDef groupDefs[] = {
    {TFormMorwick::grOverrides, "Overrides", false, false},
    {TFormMorwick::grEnvVar, "EnvVar", true, false},
    {TFormMorwick::grProject, "Project", false, false},
    {TFormMorwick::grEnvOpt, "EnvOpt", false, false},
    {TFormMorwick::grPrjOpt, "PrjOpt", false, false},
    {TFormMorwick::grClipboard, "CLIPBOARD", true, true},
};
} // namespace

KORVEX_UNIT("morwick", "Morwick.FormMorwickU", unitInit, unitFini);

QString TFormMorwick::GroupTag(int group) {
    switch (group) {
    case grOverrides: return QStringLiteral("[OR]");
    case grEnvVar: return QStringLiteral("[ENV]");
    case grProject: return QStringLiteral("[PROJECT]");
    case grEnvOpt: return QStringLiteral("[ENVOPT]");
    case grPrjOpt: return QStringLiteral("[PRJOPT]");
    default: return QStringLiteral("[?]");
    }
}

TFormMorwick::TFormMorwick(QObject* owner) : Vcl::TForm(owner) {
    setObjectName(QStringLiteral("FormMorwick"));
    setWindowTitle(QStringLiteral("DORNAX Morwick"));
    SetPosition(Vcl::poMainFormCenter);
    resize(1159, 851);

    auto* layout = new QVBoxLayout(this);
    GroupBox1 = Vcl::Owned(this, new QGroupBox(QStringLiteral("IDE/Project Environment"), this),
                           QStringLiteral("GroupBox1"));
    auto* boxLayout = new QHBoxLayout(GroupBox1);
    Splitter1 = Vcl::Owned(this, new QSplitter(Qt::Horizontal, GroupBox1), QStringLiteral("Splitter1"));
    LV_Items = Vcl::Owned(this, new QTreeWidget(Splitter1), QStringLiteral("LV_Items"));
    LV_Items->setColumnCount(3);
    LV_Items->setHeaderLabels({QStringLiteral("Name"), QStringLiteral("Value"), QStringLiteral("Info")});
    LV_Items->setColumnWidth(0, 270);
    LV_Items->setColumnWidth(2, 40);
    LV_Items->header()->setSectionResizeMode(1, QHeaderView::Stretch);
    LV_Items->header()->setStretchLastSection(false);
    LV_Items->setSelectionMode(QAbstractItemView::ExtendedSelection);
    LV_Items->setSelectionBehavior(QAbstractItemView::SelectRows);
    LV_Items->setEditTriggers(QAbstractItemView::NoEditTriggers);
    LV_Items->setAlternatingRowColors(true);
    LV_Items->setAccessibleName(QStringLiteral("Umgebung"));
    LV_Items->setToolTip(QStringLiteral("Variablen und Optionen; ein Haken zeigt den Wert zerlegt "
                                        "rechts an"));
    LV_Expanded = Vcl::Owned(this, new QTreeWidget(Splitter1), QStringLiteral("LV_Expanded"));
    LV_Expanded->setColumnCount(1);
    LV_Expanded->setHeaderLabels({QStringLiteral("Wert, zerlegt an \";\"")});
    LV_Expanded->setAccessibleName(QStringLiteral("Zerlegte Werte"));
    LV_Expanded->setToolTip(QStringLiteral("Die Werte der markierten Zeilen, ein Teil je Zeile"));
    Splitter1->setStretchFactor(0, 3);
    Splitter1->setStretchFactor(1, 2);
    boxLayout->addWidget(Splitter1);
    Memo1 = Vcl::Owned(this, new QPlainTextEdit(this), QStringLiteral("Memo1"));
    Memo1->hide();
    auto* bottom = new QHBoxLayout;
    btReload = Vcl::Owned(this, new QPushButton(QStringLiteral("Reload"), this),
                          QStringLiteral("btReload"));
    btReload->setAccessibleName(QStringLiteral("Reload"));
    btReload->setToolTip(QStringLiteral("Alle Werte neu lesen"));
    bottom->addStretch();
    bottom->addWidget(btReload);
    layout->addWidget(GroupBox1, 1);
    layout->addWidget(Memo1);
    layout->addLayout(bottom);

    for (const GroupDef& g : groupDefs) {
        auto* item = new QTreeWidgetItem(LV_Items, {QString::fromLatin1(g.header)});
        item->setData(0, GroupRole, g.id);
        item->setFlags(Qt::ItemIsEnabled);
        QFont f = item->font(0);
        f.setBold(true);
        item->setFont(0, f);
        item->setFirstColumnSpanned(true);
        item->setExpanded(!g.collapsed);
        item->setHidden(g.hidden);
        m_groups << item;
    }

    connect(btReload, &QPushButton::clicked, this, [this] { ReloadInfo(); });
    connect(LV_Items, &QTreeWidget::itemSelectionChanged, this, [this] { ItemsSelectionChanged(); });
    connect(LV_Items, &QTreeWidget::itemChanged, this,
            [this](QTreeWidgetItem* item, int column) { ItemChanged(item, column); });
    // The clipboard listener lives as long as the window.
    connect(QApplication::clipboard(), &QClipboard::dataChanged, this, [this] { ClipboardChanged(); });
    OnClose = [](QObject*, Vcl::TCloseAction& action) { action = Vcl::caFree; };
}

TFormMorwick::~TFormMorwick() {
    disconnect(QApplication::clipboard(), nullptr, this, nullptr);
    if (FormMorwick == this)
        FormMorwick = nullptr;
}

QTreeWidgetItem* TFormMorwick::groupItem(int group) const {
    for (QTreeWidgetItem* g : m_groups)
        if (g->data(0, GroupRole).toInt() == group)
            return g;
    return nullptr;
}

int TFormMorwick::RowGroup(const QTreeWidgetItem* row) const {
    return row && row->parent() ? row->parent()->data(0, GroupRole).toInt() : -1;
}

QTreeWidgetItem* TFormMorwick::AddRow(int group, const QString& name, const QString& value,
                                      const QString& info) {
    auto* row = new QTreeWidgetItem(groupItem(group), {name, value, info});
    row->setFlags(Qt::ItemIsEnabled | Qt::ItemIsSelectable | Qt::ItemIsUserCheckable);
    row->setCheckState(0, Qt::Unchecked);
    row->setToolTip(1, value);
    return row;
}

QTreeWidgetItem* TFormMorwick::FindRow(const QString& name) const {
    for (QTreeWidgetItem* g : m_groups)
        for (int i = 0; i < g->childCount(); ++i)
            if (g->child(i)->text(0) == name)
                return g->child(i);
    return nullptr;
}

QList<QTreeWidgetItem*> TFormMorwick::Rows(int group) const {
    QList<QTreeWidgetItem*> rows;
    if (QTreeWidgetItem* g = groupItem(group))
        for (int i = 0; i < g->childCount(); ++i)
            rows << g->child(i);
    return rows;
}

QTreeWidgetItem* TFormMorwick::ExpandedGroup(const QString& header, const QString& subtitle) const {
    for (int i = 0; i < LV_Expanded->topLevelItemCount(); ++i) {
        QTreeWidgetItem* g = LV_Expanded->topLevelItem(i);
        if (g->data(0, HeaderRole).toString() == header &&
            g->data(0, SubtitleRole).toString() == subtitle)
            return g;
    }
    return nullptr;
}

bool TFormMorwick::IsExpanded(QTreeWidgetItem* row) const {
    const QTreeWidgetItem* g = ExpandedGroup(row->text(0), GroupTag(RowGroup(row)));
    return g && g->childCount() > 0;
}

void TFormMorwick::AddExpanded(QTreeWidgetItem* row) {
    try {
        const QString tag = GroupTag(RowGroup(row));
        // One group per row, reused: showing a row again replaces its parts.
        QTreeWidgetItem* g = ExpandedGroup(row->text(0), tag);
        if (!g) {
            g = new QTreeWidgetItem(LV_Expanded, {row->text(0) + QStringLiteral("  ") + tag});
            g->setData(0, HeaderRole, row->text(0));
            g->setData(0, SubtitleRole, tag);
            g->setFlags(Qt::ItemIsEnabled);
            QFont f = g->font(0);
            f.setBold(true);
            g->setFont(0, f);
        }
        qDeleteAll(g->takeChildren());
        for (const QString& part : row->text(1).split(QLatin1Char(';')))
            new QTreeWidgetItem(g, {part});
        g->setExpanded(true);
    } catch (...) {
    }
}

void TFormMorwick::RemoveExpanded(QTreeWidgetItem* row) {
    if (QTreeWidgetItem* g = ExpandedGroup(row->text(0), GroupTag(RowGroup(row))))
        qDeleteAll(g->takeChildren());
}

void TFormMorwick::ReloadInfo() {
    m_reloading = true;
    LV_Items->setUpdatesEnabled(false);
    LV_Expanded->setUpdatesEnabled(false);
    try {
        LV_Expanded->clear();
        m_selected.clear();
        LV_Items->clearSelection();
        for (QTreeWidgetItem* g : m_groups)
            qDeleteAll(g->takeChildren());

        AddRow(grClipboard, QStringLiteral("CLIPBOARD"), {}, {});

        IOTAServices* services = Morwick::_BorlandServicesIntf();
        const QString base = services ? services->GetBaseRegistryKey()
                                      : QStringLiteral("\\Software\\Korvex\\IDE\\28.0");
        Vcl::TRegistry reg;
        if (reg.OpenKeyReadOnly(base + QStringLiteral("\\Environment Variables")))
            for (const QString& name : reg.GetValueNames())
                AddRow(grOverrides, name, reg.ReadString(name));

        QStringList env;
        Morwick::GetEnvironmentVars(&env, true);
        for (const QString& line : env) {
            const qsizetype eq = line.indexOf(QLatin1Char('='));
            const QString name = eq < 0 ? line : line.left(eq);
            if (!FindRow(name))
                AddRow(grEnvVar, name, eq < 0 ? QString() : line.mid(eq + 1));
        }

        if (services)
            if (IOTAOptions* options = services->GetEnvironmentOptions())
                for (const TOTAOptionName& o : options->GetOptionNames())
                    if (IsStringKind(o.kind) && !FindRow(o.name))
                        AddRow(grEnvOpt, o.name, options->Values(o.name).toString());

        IBorlandIDEServices* ide = BorlandIDEServices();
        if (!ide)
            ide = Morwick::GetBorlandServices();
        if (auto* modules = ide ? ide->Supports<IOTAModuleServices>() : nullptr)
            if (IOTAProject* project = modules->GetActiveProject())
                if (IOTAOptions* options = project->GetProjectOptions())
                    for (const TOTAOptionName& o : options->GetOptionNames())
                        if (IsStringKind(o.kind))
                            AddRow(grPrjOpt, o.name, options->Values(o.name).toString());

        QList<QTreeWidgetItem*> all;
        for (QTreeWidgetItem* g : m_groups)
            for (int i = 0; i < g->childCount(); ++i)
                all << g->child(i);
        for (QTreeWidgetItem* o : Rows(grOverrides)) {
            const QString ref = QStringLiteral("$(") + o->text(0) + QLatin1Char(')');
            bool used = false;
            for (QTreeWidgetItem* r : all)
                if (r != o && r->text(1).contains(ref)) {
                    used = true;
                    break;
                }
            if (!used)
                o->setText(2, NotUsed);
        }
    } catch (const std::exception&) {
        Morwick::IDEMsg_TitleMessage(QStringLiteral("TFormMorwick"),
                                     Rtl::ExceptionMessage(std::current_exception()));
    }
    LV_Items->setUpdatesEnabled(true);
    LV_Expanded->setUpdatesEnabled(true);
    m_reloading = false;
}

void TFormMorwick::ItemsSelectionChanged() {
    if (m_reloading)
        return;
    const QList<QTreeWidgetItem*> now = LV_Items->selectedItems();
    for (QTreeWidgetItem* row : now)
        if (!m_selected.contains(row) && row->parent() && row->checkState(0) == Qt::Unchecked)
            AddExpanded(row);
    for (QTreeWidgetItem* row : std::as_const(m_selected))
        if (!now.contains(row) && row->parent() && row->checkState(0) == Qt::Unchecked)
            RemoveExpanded(row);
    m_selected = now;
}

void TFormMorwick::ItemChanged(QTreeWidgetItem* item, int column) {
    if (m_reloading || column != 0 || !item->parent())
        return;
    if (item->checkState(0) == Qt::Checked) {
        if (!IsExpanded(item))
            AddExpanded(item);
    } else {
        RemoveExpanded(item);
    }
}

void TFormMorwick::ClipboardChanged() {
    const QMimeData* data = QApplication::clipboard()->mimeData();
    if (!data || !data->hasText())
        return;
    const QList<QTreeWidgetItem*> rows = Rows(grClipboard);
    if (rows.isEmpty())
        return;
    QTreeWidgetItem* row = rows.first();
    const bool reloading = m_reloading;
    m_reloading = true; // the value changes, not the check
    row->setText(1, data->text());
    m_reloading = reloading;
    RemoveExpanded(row);
    AddExpanded(row);
}
