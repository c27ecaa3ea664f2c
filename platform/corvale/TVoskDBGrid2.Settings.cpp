// Layouts, stored filters and the find interface of the grid.

#include "TVoskDBGrid2.h"
#include "VoskGridLayouts.h"

#include <utility>

#include "Korvexutils.h"
#include "TVoskTabControl.h"
#include "UDM1.h"
#include "UDataModul_Dunmere.h"
#include "Uloghelper.h"
#include "Vcl.Components.h"
#include "VoskConditionalFormatting.h"

#include <CdsExpr.h>
#include <EventGuard.h>
#include <TVoskDataModel.h>
#include <VoskExceptions.h>

#include <QHeaderView>
#include <QJsonArray>
#include <QJsonDocument>
#include <QJsonObject>
#include <QMenu>

namespace {

TDM1* Connected() {
    TDM1* dm = DM1();
    return dm && dm->Connected() ? dm : nullptr;
}

// The stored filters' field types as the expression compiler knows them, from the values of the
// data class (the first non-null one of each column decides).
Cds::FieldType ExprTypeOf(const TVoskClass* c, int col) {
    if (c->FieldIsInteger(col))
        return Cds::FieldType::LargeInt;
    if (c->FieldIsNumeric(col))
        return Cds::FieldType::Float;
    for (int r = 0; r < c->RecordCount(); ++r) {
        const QVariant v = c->Value(r, col);
        if (v.isNull())
            continue;
        switch (v.typeId()) {
        case QMetaType::Bool:
            return Cds::FieldType::Boolean;
        case QMetaType::QDate:
            return Cds::FieldType::Date;
        case QMetaType::QDateTime:
            return Cds::FieldType::DateTime;
        case QMetaType::Int:
        case QMetaType::LongLong:
            return Cds::FieldType::LargeInt;
        case QMetaType::Double:
            return Cds::FieldType::Float;
        default:
            return Cds::FieldType::String;
        }
    }
    return Cds::FieldType::String;
}

class ClassRow final : public Cds::ExprRow {
public:
    ClassRow(const TVoskClass* c, int row) : m_class(c), m_row(row) {}
    QVariant Value(int field) const override { return m_class->Value(m_row, field); }

private:
    const TVoskClass* m_class;
    int m_row;
};

// Thrown by the compiler for a field the grid lacks, so that it is told apart from bad syntax.
class EMissingField final : public Cds::EDatabaseError {
public:
    using Cds::EDatabaseError::EDatabaseError;
};

} // namespace

QString TVoskDBGrid2::FormClassName() const {
    QWidget* form = Korvexutils::KorvexGetForm(const_cast<TVoskDBGrid2*>(this));
    for (QObject* o = Vcl::Owner(this); o; o = Vcl::Owner(o))
        if (o->isWidgetType() && static_cast<QWidget*>(o)->isWindow()) {
            form = static_cast<QWidget*>(o);
            break;
        }
    return form ? Vcl::ClassName(form) : QString();
}

// ---- layouts -----------------------------------------------------------------------------

bool TVoskDBGrid2::LayoutExists(int type) {
    return VoskGridLayouts::Exists({FormClassName(), GridName()}, type, &m_layoutSavedAt,
                                   &m_layoutSavedBy);
}

QString TVoskDBGrid2::LayoutText() const {
    QJsonObject root = VoskGridLayouts::ColumnsToLayout(
        horizontalHeader(), m_class ? m_class->FieldNames() : QStringList());
    groupsToLayout(root);
    m_conditionalFormatting->ToLayout(root);
    return QString::fromUtf8(QJsonDocument(root).toJson(QJsonDocument::Compact));
}

bool TVoskDBGrid2::ApplyLayoutText(const QString& text) {
    QJsonObject root;
    if (!VoskGridLayouts::ParseLayout(text, FormClassName() + u'.' + GridName(), &root))
        return false;
    if (!m_class || m_class->FieldCount() == 0) {
        m_pendingLayout = text;
        return true;
    }
    m_pendingLayout.clear();
    VoskGridLayouts::ColumnsFromLayout(horizontalHeader(), root, m_class->FieldNames(),
                                       m_hiddenFields,
                                       [this](int c, Qt::SortOrder o) { sortByColumn(c, o); });
    groupsFromLayout(root);
    m_conditionalFormatting->FromLayout(root, FormClassName() + u'.' + GridName());
    return true;
}

void TVoskDBGrid2::applyLayoutIfPending() {
    if (!m_class || m_class->FieldCount() == 0)
        return;
    if (!m_pendingFilter.isEmpty())
        GridFilterLoad(std::exchange(m_pendingFilter, QString()));
    if (m_pendingLayout.isEmpty())
        return;
    const QString text = m_pendingLayout;
    ApplyLayoutText(text);
}

bool TVoskDBGrid2::LayoutLoad(int type) {
    const QVariant text = VoskGridLayouts::Load({FormClassName(), GridName()}, type);
    return !text.isNull() && ApplyLayoutText(text.toString());
}

void TVoskDBGrid2::LayoutSave(int type) {
    VoskGridLayouts::Save({FormClassName(), GridName()}, type, LayoutText());
}

void TVoskDBGrid2::LayoutDelete(int type) {
    VoskGridLayouts::Delete({FormClassName(), GridName()}, type);
}

bool TVoskDBGrid2::LayoutIsDefault() {
    return VoskGridLayouts::IsDefault({FormClassName(), GridName()});
}

void TVoskDBGrid2::SetLayoutDefault(bool on) {
    VoskGridLayouts::SetDefault({FormClassName(), GridName()}, on);
}

void TVoskDBGrid2::InitLayout() {
    if (m_layoutInitDone || !Connected())
        return;
    m_layoutInitDone = true;
    const bool user = LayoutExists(1);
    const bool global = LayoutExists(2);
    if (user && (!global || LayoutIsDefault()))
        LayoutLoad(1);
    else if (global)
        LayoutLoad(2);
}

void TVoskDBGrid2::OptimalWidths(int maxWidth) {
    resizeColumnsToContents();
    if (maxWidth <= 0 || !model())
        return;
    for (int c = 0; c < model()->columnCount(); ++c)
        if (columnWidth(c) > maxWidth)
            setColumnWidth(c, maxWidth);
}

// ---- filters -----------------------------------------------------------------------------

QList<TVoskDBGrid2::TStoredFilter> TVoskDBGrid2::StoredFilters() const {
    QList<TStoredFilter> list;
    TDM1* dm = Connected();
    if (!dm)
        return list;
    // The form class's filters of this user and of everyone, read once per session: per name the
    // user's own wins, then they are shown in their order.
    TVoskQuery2* q = dm->GetQueryBySQL(
        QStringLiteral("SELECT gf_savename, gf_name, gf_filter, gf_order FROM grid_filters "
                       "WHERE gf_formclass = :form AND gf_mitnr IN (0, :mitnr) "
                       "ORDER BY gf_savename, gf_name, gf_mitnr DESC"),
        {{QStringLiteral("form"), FormClassName()}, {QStringLiteral("mitnr"), dm->MitNr()}});
    const QString save = GridFilterSaveName();
    QList<std::pair<int, TStoredFilter>> ordered;
    for (int r = 0; r < q->RecordCount(); ++r) {
        const QString name = q->ValueAt(r, 1).toString();
        if (q->ValueAt(r, 0).toString() != save ||
            (!ordered.isEmpty() && ordered.last().second.name == name))
            continue;
        ordered.append({q->ValueAt(r, 3).toInt(), {name, q->ValueAt(r, 2).toString()}});
    }
    std::stable_sort(ordered.begin(), ordered.end(),
                     [](const auto& a, const auto& b) { return a.first < b.first; });
    for (const auto& p : ordered)
        list.append(p.second);
    return list;
}

void TVoskDBGrid2::SetGridFilterText(const QString& text) {
    if (text.trimmed().isEmpty()) {
        GridFilterClear();
        return;
    }
    if (!m_class)
        return;
    Cds::ExprHooks hooks;
    TVoskClass* c = m_class;
    hooks.FindField = [c](const QString& name) -> std::optional<Cds::ExprField> {
        const int col = c->FieldIndex(name);
        if (col < 0)
            return std::nullopt;
        return Cds::ExprField{col, ExprTypeOf(c, col), false};
    };
    hooks.MissingField = [](const QString& name) {
        throw EMissingField(Cds::ExprMessage(Cds::ExprText::FieldNotFound, name));
    };
    m_filter = Cds::Expression::Compile(text, hooks, Cds::ParserOption::ExtendedSyntax,
                                        Cds::FilterOption::CaseInsensitive);
    m_filterText = text;
    m_filterName.clear();
    m_filterState = gfsChanged;
    applyFilter();
    notifyFilterChanged();
}

bool TVoskDBGrid2::GridFilterLoad(const QString& name) {
    for (const TStoredFilter& f : StoredFilters()) {
        if (f.name != name)
            continue;
        try {
            SetGridFilterText(f.filter);
        } catch (const EMissingField& e) {
            GridFilterClear();
            Korvexutils::RaiseInformation(e.Message());
            return false;
        } catch (const Cds::EDatabaseError& e) {
            TKorvexLog::LogMessage(QStringLiteral("%1.%2: Filter \"%3\" nicht lesbar, ignoriert: %4")
                                       .arg(FormClassName(), GridName(), name, e.Message()),
                                   TKorvexLogLevel::Warning);
            return false;
        }
        m_filterName = name;
        m_filterState = gfsActive;
        if (m_filterTabs)
            m_filterTabs->SelectData(name);
        notifyFilterChanged();
        return true;
    }
    return false;
}

void TVoskDBGrid2::GridFilterClear() {
    const bool had = bool(m_filter) || m_filterState != gfsNone;
    m_filter.reset();
    m_filterText.clear();
    m_filterName.clear();
    m_pendingFilter.clear();
    m_filterState = gfsInactive;
    applyFilter();
    if (m_filterTabs)
        m_filterTabs->SelectData(QStringLiteral("*"));
    if (had)
        notifyFilterChanged();
}

void TVoskDBGrid2::applyFilter() {
    if (!m_model)
        return;
    const int rows = m_model->rowCount();
    // The record being typed stays shown until it is posted, whatever it holds so far.
    const int typed = m_class && m_class->InEdit() ? m_class->CurrentRow() : -1;
    m_filterOut.assign(size_t(rows), 0);
    for (int r = 0; r < rows; ++r)
        m_filterOut[size_t(r)] =
            r != typed && ((m_filter && m_class && !m_filter->Matches(ClassRow(m_class, r))) ||
                           (!m_searchFilter.isEmpty() && !RowContains(r, m_searchFilter)));
    // While rows are hidden the navigator steps through those shown.
    if (m_class) {
        if (m_filter || !m_searchFilter.isEmpty())
            m_class->SetShownRows(this, [this](int r) { return passesFilter(r); });
        else
            m_class->ClearShownRows(this);
    }
    LayoutRows();
    settleCurrent();
}

void TVoskDBGrid2::settleCurrent() {
    if (!m_class || !m_class->Active() || m_class->InEdit() || m_class->RecordCount() == 0)
        return;
    const int rows = int(m_filterOut.size());
    const int current = m_class->CurrentRow();
    if (current >= 0 && passesFilter(current))
        return;
    // The nearest row still shown: the next one below, else the one above. Without a record,
    // the first one shown, as a freshly opened class stands.
    int target = -1;
    for (int r = current + 1; r < rows && target < 0; ++r)
        if (passesFilter(r))
            target = r;
    for (int r = current - 1; r >= 0 && target < 0; --r)
        if (passesFilter(r))
            target = r;
    if (target < 0 && current < 0)
        return;
    Rtl::Guarded([&] {
        if (target >= 0)
            m_class->SetRecNo(target + 1);
        else
            m_class->ClearCurrent();
    }, this);
}

int TVoskDBGrid2::GridFilterStateIcon(TGridFilterState state) {
    switch (state) {
    case gfsActive:
        return 238;
    case gfsChanged:
        return 239;
    default:
        return 237;
    }
}

QString TVoskDBGrid2::GridFilterStateText(TGridFilterState state) {
    switch (state) {
    case gfsActive:
        return QStringLiteral("gespeicherter Filter aktiv");
    case gfsChanged:
        return QStringLiteral("Filter geändert");
    case gfsInactive:
        return QStringLiteral("kein Filter aktiv");
    default:
        return QStringLiteral("kein Filter");
    }
}

void TVoskDBGrid2::GridFilterMakeMenu(QMenu* menu) {
    menu->clear();
    for (const TStoredFilter& f : StoredFilters()) {
        QAction* a = menu->addAction(f.name);
        a->setCheckable(true);
        a->setChecked(f.name == m_filterName);
        a->setToolTip(f.filter);
        const QString name = f.name;
        connect(a, &QAction::triggered, this,
                [this, name] { Rtl::Guarded([&] { GridFilterLoad(name); }, this); });
    }
    if (!menu->isEmpty())
        menu->addSeparator();
    QAction* clear = menu->addAction(QStringLiteral("Filter aufheben"));
    clear->setToolTip(QStringLiteral("Alle Datensätze zeigen"));
    clear->setEnabled(bool(m_filter));
    connect(clear, &QAction::triggered, this,
            [this] { Rtl::Guarded([&] { GridFilterClear(); }, this); });
}

void TVoskDBGrid2::SetFilterTabControl(TVoskTabControl* tabs) {
    m_filterTabs = tabs;
    if (!tabs)
        return;
    QStringList captions{QStringLiteral("Alle")}, data{QStringLiteral("*")};
    int selected = 0;
    for (const TStoredFilter& f : StoredFilters()) {
        captions << f.name;
        data << f.name;
        if (f.name == m_filterName)
            selected = int(captions.size()) - 1;
    }
    tabs->SetTabs(captions, data, selected);
}

void TVoskDBGrid2::InitFilter() {
    if (m_filterInitDone)
        return;
    TDM1* dm = Connected();
    if (!dm)
        return;
    m_filterInitDone = true;
    const QString last =
        TVoskDM_Dunmere::GetCompOption(FormClassName(), GridFilterSaveName(),
                                       QStringLiteral("LastGridFilter"), dm->MitNr());
    if (last.isEmpty())
        return;
    // Before the class opens no field is known; the filter waits for the columns.
    if (!m_class || m_class->FieldCount() == 0)
        m_pendingFilter = last;
    else
        GridFilterLoad(last);
}

void TVoskDBGrid2::AddFilterChangedHandler(QObject* context, std::function<void()> handler) {
    m_filterHandlers.push_back({context, std::move(handler)});
}

void TVoskDBGrid2::notifyFilterChanged() {
    for (size_t i = 0; i < m_filterHandlers.size(); ++i)
        if (m_filterHandlers[i].context && m_filterHandlers[i].handler)
            m_filterHandlers[i].handler();
}

QList<int> TVoskDBGrid2::ShownRows() const {
    QList<int> rows;
    const int n = m_model ? m_model->rowCount() : 0;
    rows.reserve(n);
    for (int r = 0; r < n; ++r)
        if (!isRowHidden(r))
            rows << r;
    return rows;
}

bool TVoskDBGrid2::RowCellsShown(int row) const {
    if (row < 0 || isRowHidden(row))
        return false;
    return size_t(row) >= m_rowBands.size() || m_rowBands[size_t(row)].cells;
}

QList<int> TVoskDBGrid2::FilteredRows() const {
    QList<int> rows;
    const int n = m_model ? m_model->rowCount() : 0;
    rows.reserve(n);
    for (int r = 0; r < n; ++r)
        if (passesFilter(r))
            rows << r;
    return rows;
}

QList<int> TVoskDBGrid2::ShownColumns() const {
    QList<int> cols;
    const QHeaderView* h = horizontalHeader();
    for (int v = 0; v < h->count(); ++v) {
        const int c = h->logicalIndex(v);
        if (c >= 0 && !isColumnHidden(c))
            cols << c;
    }
    return cols;
}

bool TVoskDBGrid2::FindNext(const QString& text, bool fromStart) {
    if (!m_model || text.isEmpty())
        return false;
    const QList<int> rows = ShownRows();
    const QList<int> cols = ShownColumns();
    const int start = fromStart ? 0 : qMax(0, int(rows.indexOf(currentIndex().row())) + 1);
    for (int i = start; i < rows.size(); ++i)
        for (int c : cols)
            if (m_model->index(rows[i], c).data().toString().contains(text, Qt::CaseInsensitive)) {
                setCurrentIndex(m_model->index(rows[i], c));
                return true;
            }
    return false;
}
