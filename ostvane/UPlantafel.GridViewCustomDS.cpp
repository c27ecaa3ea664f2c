#include "UPlantafel.GridViewCustomDS.h"

#include "Korvexutils.h"
#include "RegisteredViews.h"
#include "TVoskCurrentUser.h"
#include "TVoskGridViewDataClass.h"
#include "TVoskMainMenuSql.h"
#include "UDM1.h"
#include "UDataModul_Dunmere.h"
#include "UPlantafel.SubViewGroup.h"
#include "UnitTable.h"
#include "Vcl.Components.h"
#include "VoskExceptionHelper.h"
#include "VoskGridLayoutCache.h"

#include <QJsonObject>
#include <QWidget>

#include <cmath>

namespace {

const QString kLocal = QStringLiteral("Local");
const QString kGlobal = QStringLiteral("Global");
const QString kKeyFields = QStringLiteral("il_group;il_item;gl_minr;gl_detailview;gl_deleted");

TVoskGridLayoutCache& Cache() {
    TVoskDM_Dunmere* dm = TVoskDM_Dunmere::Instance();
    return dm->GridLayoutCache();
}

// Puts back the layout name of a call made under another name, also when the call fails.
class TLayoutNameScope final {
public:
    TLayoutNameScope(TVoskGridViewCustomDS& view, const QString& name)
        : m_view(view), m_previous(view.property("_LayoutSaveName").toString()) {
        m_view.SetLayoutSaveName(name);
    }
    ~TLayoutNameScope() { m_view.SetLayoutSaveName(m_previous); }

private:
    TVoskGridViewCustomDS& m_view;
    QString m_previous;
};

} // namespace

// ---- view info ----------------------------------------------------------------------------------

int TVoskGridViewCustomDSTableViewInfo::normalIndent() const {
    return ExpandButtonSize + ExtraLevelIndent + 3 + 3;
}

int TVoskGridViewCustomDSTableViewInfo::ExpandButtonOffset() const {
    if (TouchMode && normalIndent() < TouchableSize)
        return (TouchableSize - ExpandButtonSize + 1) / 2;
    return 3;
}

int TVoskGridViewCustomDSTableViewInfo::LevelIndent() const {
    if (TouchMode && normalIndent() < TouchableSize)
        return ExpandButtonSize + ExtraLevelIndent + 2 * ExpandButtonOffset();
    return normalIndent();
}

// ---- the view -----------------------------------------------------------------------------------

TVoskGridViewCustomDS::TVoskGridViewCustomDS(QObject* owner) : Grid::GridBandedTableView(owner) {}

QString TVoskGridViewCustomDS::LayoutSaveName() const {
    return FLayoutSaveName.isEmpty() ? objectName() : FLayoutSaveName;
}

TVoskGridItemCustomDSDataBinding&
TVoskGridViewCustomDS::Binding(Grid::GridBandedColumn& column) const {
    return static_cast<TVoskGridItemCustomDSDataBinding&>(column.DataBinding());
}

QString TVoskGridViewCustomDS::fullName(const QString& fallback) const {
    return Dunmere::SecureFullName(this, fallback);
}

QString TVoskGridViewCustomDS::FormClassName() const {
    QWidget* start = qobject_cast<QWidget*>(parent());
    if (!start)
        start = Control();
    QWidget* form = Korvexutils::KorvexGetForm(start);
    return form && form != Control() ? Vcl::ClassName(form) : QString();
}

std::unique_ptr<Grid::GridItemDataBinding> TVoskGridViewCustomDS::CreateDataBinding() {
    return std::make_unique<TVoskGridItemCustomDSDataBinding>();
}

std::unique_ptr<Grid::GridViewInfo> TVoskGridViewCustomDS::CreateViewInfo() {
    return std::make_unique<TVoskGridViewCustomDSTableViewInfo>();
}

std::unique_ptr<Grid::GridViewData> TVoskGridViewCustomDS::CreateViewData() {
    return std::make_unique<TVoskGridViewDataClass>();
}

void TVoskGridViewCustomDS::StoreDataBinding(const Grid::GridItemDataBinding& binding,
                                             QJsonObject& json) const {
    const auto* b = AsCustomDSBinding(&binding);
    if (!b)
        return;
    json.insert(QStringLiteral("field"), b->FieldName());
    json.insert(QStringLiteral("kind"), int(b->FieldKind()));
    if (!b->DisplayFormat.isEmpty())
        json.insert(QStringLiteral("format"), b->DisplayFormat);
    if (b->FieldKind() == fkAggregate) {
        json.insert(QStringLiteral("agg"), b->AggExpression);
        json.insert(QStringLiteral("agglevel"), int(b->AggGroupingLevel));
    }
}

void TVoskGridViewCustomDS::RestoreDataBinding(Grid::GridItemDataBinding& binding,
                                               const QJsonObject& json) {
    auto* b = dynamic_cast<TVoskGridItemCustomDSDataBinding*>(&binding);
    if (!b)
        return;
    b->SetFieldName(json.value(QLatin1String("field")).toString());
    const int kind = json.value(QLatin1String("kind")).toInt(fkData);
    b->SetFieldKind(kind >= fkData && kind <= fkAggregate ? TFieldKind(kind) : fkData);
    b->DisplayFormat = json.value(QLatin1String("format")).toString();
    b->AggExpression = json.value(QLatin1String("agg")).toString();
    const int level = json.value(QLatin1String("agglevel")).toInt(ptfldResource);
    if (level >= 0 && level < kPlantafelAggregationFieldCount)
        b->AggGroupingLevel = TPlantafelAggregationField(level);
}

// ---- grouping -----------------------------------------------------------------------------------

void TVoskGridViewCustomDS::DoCustomDrawIndentArea(QPainter& painter,
                                                   const Grid::GridIndentAreaInfo& info,
                                                   bool& done) {
    if (OnCustomDrawIndentArea)
        OnCustomDrawIndentArea(this, &painter, info, done);
}

void TVoskGridViewCustomDS::DoGetGroupCellHeight(int row, int& height) {
    if (OnGetGroupCellHeight)
        OnGetGroupCellHeight(this, row, height);
}

void TVoskGridViewCustomDS::GroupsChanged() {
    Grid::GridBandedTableView::GroupsChanged();
    m_aggregateRows.clear();
    m_groupSummaries.clear();
}

const TVoskGridViewCustomDS::TAggregateRows* TVoskGridViewCustomDS::aggregateRows(int item) const {
    if (auto it = m_aggregateRows.find(item); it != m_aggregateRows.end())
        return &it->second;
    const Grid::DataController& ctl = DataController();
    auto* source = dynamic_cast<TPlantafelSubViewDataSource*>(ctl.CustomDataSource());
    const auto* binding = AsCustomDSBinding(ctl.Item(item));
    if (!source || !binding || binding->FieldKind() != fkAggregate)
        return nullptr;
    TAggregateRows rows;
    const int n = ctl.RecordCount();
    std::vector<Grid::RecordHandle> handles(static_cast<size_t>(n));
    for (int r = 0; r < n; ++r)
        handles[size_t(r)] = ctl.GetRecordHandle(r);
    // Rows come in the engine's order, so a group of the aggregate's level is a run of rows
    // from the one the engine marks as its first; a row without a place there stands alone.
    // Only a located row has an aggregate (the extra row of a week has none).
    std::vector<Cds::GroupPosInds> states(static_cast<size_t>(n));
    rows.Located.resize(size_t(n));
    source->GetGroupStates(handles.data(), handles.size(), binding->AggGroupingLevel, states.data(),
                           rows.Located.data());
    rows.Ordinal.reserve(size_t(n));
    int ordinal = -1;
    for (int r = 0; r < n; ++r) {
        const Cds::GroupPosInds state = states[size_t(r)];
        if (ordinal < 0 || !state || state.testFlag(Cds::GroupPos::First)) {
            ++ordinal;
            rows.RowsOfOrdinal.push_back(0);
            rows.ValueOfOrdinal.emplace_back();
        }
        rows.Ordinal.push_back(ordinal);
        if (rows.Located[size_t(r)] && rows.RowsOfOrdinal[size_t(ordinal)]++ == 0)
            rows.ValueOfOrdinal[size_t(ordinal)] = ctl.GetValue(r, item);
    }
    return &m_aggregateRows.emplace(item, std::move(rows)).first->second;
}

QVariant TVoskGridViewCustomDS::GroupAggregateValue(int group, int item) const {
    const Grid::DataController& ctl = DataController();
    if (group < 0 || group >= ctl.GroupCount())
        return {};
    const TAggregateRows* rows = aggregateRows(item);
    if (!rows)
        return {};
    const Grid::DataGroup& g = ctl.Group(group);
    std::map<int, std::pair<QVariant, int>> byOrdinal; // value, rows of the group in it
    for (int i = g.FirstRecord; i < g.FirstRecord + g.RecordCount; ++i) {
        const size_t record = size_t(ctl.GroupedRecords()[size_t(i)]);
        if (record >= rows->Ordinal.size() || !rows->Located[record])
            continue;
        const int ordinal = rows->Ordinal[record];
        const QVariant& v = rows->ValueOfOrdinal[size_t(ordinal)];
        if (!v.isValid() || v.isNull())
            continue;
        auto& entry = byOrdinal[ordinal];
        if (entry.second++ == 0)
            entry.first = v;
    }
    if (byOrdinal.empty())
        return {};
    if (byOrdinal.size() == 1)
        return byOrdinal.begin()->second.first;
    // Several groups: only whole ones add up to the group row's value.
    for (const auto& [ordinal, entry] : byOrdinal)
        if (entry.second != rows->RowsOfOrdinal[size_t(ordinal)])
            return {};
    const auto* binding = AsCustomDSBinding(ctl.Item(item));
    const QString function =
        binding->AggExpression.left(binding->AggExpression.indexOf(u'(')).trimmed().toLower();
    QVariant result;
    for (const auto& [ordinal, entry] : byOrdinal) {
        const QVariant& v = entry.first;
        if (!result.isValid()) {
            result = v;
            continue;
        }
        if (function == QLatin1String("sum") || function == QLatin1String("count")) {
            bool okA = false, okB = false;
            if (result.typeId() != QMetaType::Double && v.typeId() != QMetaType::Double) {
                const qlonglong a = result.toLongLong(&okA), b = v.toLongLong(&okB);
                if (okA && okB) {
                    result = a + b;
                    continue;
                }
            }
            const double a = result.toDouble(&okA), b = v.toDouble(&okB);
            if (!okA || !okB)
                return {};
            result = a + b;
        } else if (function == QLatin1String("min") || function == QLatin1String("max")) {
            const QPartialOrdering o = QVariant::compare(v, result);
            if ((function == QLatin1String("min") && o == QPartialOrdering::Less) ||
                (function == QLatin1String("max") && o == QPartialOrdering::Greater))
                result = v;
        } else {
            return {}; // an average of averages is none
        }
    }
    return result;
}

QString TVoskGridViewCustomDS::GroupSummaryText(int group, int item) const {
    const auto key = std::make_pair(group, item);
    if (auto it = m_groupSummaries.find(key); it != m_groupSummaries.end())
        return it->second;
    QString text;
    try {
        const QVariant value = GroupAggregateValue(group, item);
        const Grid::DataController& ctl = DataController();
        auto* source = dynamic_cast<TPlantafelSubViewDataSource*>(ctl.CustomDataSource());
        const auto* binding = AsCustomDSBinding(ctl.Item(item));
        if (value.isValid() && !value.isNull() && source && binding)
            text = binding->DisplayFormat.isEmpty()
                       ? value.toString()
                       : source->GetDisplayTextFromValue(value, binding->DisplayFormat);
    } catch (...) {
        // Painting asks again and again: a value that cannot be read shows empty.
    }
    m_groupSummaries.emplace(key, text);
    return text;
}

// ---- layout bytes -------------------------------------------------------------------------------

void TVoskGridViewCustomDS::GetLayoutData(QByteArray& data) const {
    data = StoreToBytes(FormClassName(), soSummary);
}

void TVoskGridViewCustomDS::SetLayoutData(const QByteArray& data) {
    BeginUpdate();
    try {
        RestoreFromBytes(data, FormClassName(), true);
        bool outside = false;
        for (int i = 0; i < ColumnCount(); ++i)
            outside = outside || Column(i).BandIndex < 0;
        if (outside) {
            if (BandCount() == 0)
                AddBand(QString());
            for (int i = 0; i < ColumnCount(); ++i)
                if (Column(i).BandIndex < 0)
                    MoveColumn(Column(i), 0, ColumnCount());
        }
    } catch (...) {
        EndUpdate();
        throw;
    }
    EndUpdate();
}

void TVoskGridViewCustomDS::UpdateLoadetGridLayoutDataWithCurrent() {
    GetLayoutData(FLoadetGridLayoutData);
}

void TVoskGridViewCustomDS::ResetFields() {
    BeginUpdate();
    std::vector<Grid::GridBandedColumn*> created(static_cast<size_t>(ColumnCount()));
    for (int i = 0; i < ColumnCount(); ++i)
        created[size_t(Column(i).ItemIndex())] = &Column(i);
    for (size_t i = 0; i < created.size(); ++i) {
        Grid::GridBandedColumn& c = *created[i];
        SetColumnIndex(c, int(i));
        c.ColIndex = int(i);
        const auto* b = AsCustomDSBinding(&c.DataBinding());
        c.Visible = b && b->FieldKind() == fkData && !b->FieldName().isEmpty();
        c.GroupIndex = -1;
    }
    Changed();
    EndUpdate();
}

// ---- load, save, delete -------------------------------------------------------------------------

bool TVoskGridViewCustomDS::LoadLayout(bool global, bool resetFieldsWanted) {
    bool result = false;
    bool failed = false;
    try {
        const QVariant minr = global ? QVariant() : QVariant(CurrentUser().GetMitNr());
        TVoskGridLayoutCache& cache = Cache();
        if (!cache.Loaded())
            cache.Refresh();
        if (!cache.IsEmpty()) {
            if (cache.Locate(kKeyFields,
                             {FormClassName(), LayoutSaveName(), minr, QVariant(), false})) {
                const QByteArray bytes = cache.FieldByName(QStringLiteral("gl_data")).toByteArray();
                SetLayoutData(bytes);
                // Claimed only once the bytes are applied.
                FLoadetGridLayout = global ? kGlobal : kLocal;
                FLoadetGridLayoutData = bytes;
                result = true;
            } else if (!global) {
                result = LoadLayout(true, resetFieldsWanted);
                return result;
            }
        }
    } catch (...) {
        failed = true;
        TVoskExceptionHelper::InsertStackInfo(std::current_exception(),
                                              fullName(QStringLiteral("TVoskGridViewCustomDS")) +
                                                  QStringLiteral(".LoadLayout"));
    }
    if (!result && !failed && resetFieldsWanted)
        ResetFields();
    return result;
}

bool TVoskGridViewCustomDS::LoadLayout(const QString& layoutName, bool global, bool resetFields) {
    TLayoutNameScope scope(*this, layoutName);
    return LoadLayout(global, resetFields);
}

bool TVoskGridViewCustomDS::SaveLayout(bool global, bool checkRights) {
    TVoskGridLayoutCache* cache = nullptr;
    try {
        TVoskDM_Dunmere::Instance()->ReloadCache(TVoskGridLayoutCache::CacheName());
        cache = &Cache();
        const int mitNr = CurrentUser().GetMitNr();
        const QVariant minr = global ? QVariant() : QVariant(mitNr);
        if (!global && mitNr <= 0) {
            TDM1* dm = DM1();
            Korvexutils::RaiseCriticalError(
                makeText(17553, QStringLiteral("Benutzer ohne Login können keine privaten "
                                               "Filter/Layouts anlegen.")) +
                QStringLiteral("\r\n") + fullName(QStringLiteral("TVoskGridView")) +
                QStringLiteral(".GridLayoutSave") + QStringLiteral("\r\n") +
                QStringLiteral("CurrentUser: LoginName=") + CurrentUser().LoginName() +
                QStringLiteral(" MitNr=") + QString::number(mitNr) + QStringLiteral(" Database=") +
                (dm ? dm->DatabaseName() : QString()));
        }
        if (global && checkRights && !CurrentRights().GetIsAdmin())
            CurrentRights().DoAcceesError(fullName(QStringLiteral("TVoskGridView")) +
                                          QStringLiteral(".GridLayoutSave"));
        const QString form = FormClassName();
        const QString name = LayoutSaveName();
        if (cache->Locate(QStringLiteral("il_group;il_item;gl_minr;gl_detailview"),
                          {form, name, minr, QVariant()})) {
            cache->Edit();
            cache->SetFieldValue(QStringLiteral("gl_deleted"), false);
        } else {
            cache->Insert();
            cache->SetFieldValue(QStringLiteral("il_group"), form);
            cache->SetFieldValue(QStringLiteral("il_item"), name);
            if (!minr.isNull())
                cache->SetFieldValue(QStringLiteral("gl_minr"), minr);
            cache->SetFieldValue(QStringLiteral("gl_detailview"), QVariant());
            cache->SetFieldValue(QStringLiteral("gl_deleted"), false);
        }
        QByteArray data;
        GetLayoutData(data);
        cache->SetFieldValue(QStringLiteral("gl_data"), data);
        cache->Post();
        // Claimed only once the row is written.
        FLoadetGridLayout = global ? kGlobal : kLocal;
        FLoadetGridLayoutData = data;
        return true;
    } catch (...) {
        if (cache)
            cache->Cancel();
        TVoskExceptionHelper::InsertStackInfo(std::current_exception(),
                                              fullName(QStringLiteral("TVoskGridViewCustomDS")) +
                                                  QStringLiteral(".SaveLayout"));
    }
    return false;
}

bool TVoskGridViewCustomDS::SaveLayout(const QString& layoutName, bool global, bool checkRights) {
    TLayoutNameScope scope(*this, layoutName);
    return SaveLayout(global, checkRights);
}

bool TVoskGridViewCustomDS::DeleteLayout(bool global, bool checkRights) {
    TVoskGridLayoutCache* cache = nullptr;
    try {
        TVoskDM_Dunmere::Instance()->ReloadCache(TVoskGridLayoutCache::CacheName());
        cache = &Cache();
        const QVariant minr = global ? QVariant() : QVariant(CurrentUser().GetMitNr());
        // The loaded layout of this key is gone, also when someone else deleted its row first:
        // the view no longer claims it.
        auto forgetLoaded = [&] {
            if (FLoadetGridLayout == (global ? kGlobal : kLocal)) {
                FLoadetGridLayout.clear();
                FLoadetGridLayoutData.clear();
            }
        };
        if (!cache->Locate(kKeyFields,
                           {FormClassName(), LayoutSaveName(), minr, QVariant(), false})) {
            forgetLoaded();
            return false;
        }
        if (global && checkRights && !CurrentRights().GetIsAdmin())
            CurrentRights().DoAcceesError(fullName(QStringLiteral("TVoskGridView")) +
                                          QStringLiteral(".GridLayoutDelete"));
        cache->Delete();
        forgetLoaded();
        return true;
    } catch (...) {
        if (cache)
            cache->Cancel();
        TVoskExceptionHelper::InsertStackInfo(std::current_exception(),
                                              fullName(QStringLiteral("TVoskGridViewCustomDS")) +
                                                  QStringLiteral(".DeleteLayout"));
    }
    return false;
}

bool TVoskGridViewCustomDS::DeleteLayout(const QString& layoutName, bool global, bool checkRights) {
    TLayoutNameScope scope(*this, layoutName);
    return DeleteLayout(global, checkRights);
}

TLayoutState TVoskGridViewCustomDS::GetLayoutState() {
    TLayoutState state;
    try {
        TVoskGridLayoutCache& cache = Cache();
        if (!cache.Loaded())
            cache.Refresh();
        QByteArray current;
        GetLayoutData(current);
        const QString form = FormClassName();
        const QString name = LayoutSaveName();
        auto locate = [&](const QVariant& minr) {
            return cache.Locate(kKeyFields, {form, name, minr, QVariant(), false});
        };
        // The loaded layout's own row; with nothing loaded, the one a load would take.
        const int mitNr = CurrentUser().GetMitNr();
        bool found = false;
        if (FLoadetGridLayout == kGlobal)
            found = locate(QVariant());
        else if (!FLoadetGridLayout.isEmpty())
            found = locate(mitNr);
        else
            found = (mitNr > 0 && locate(mitNr)) || locate(QVariant());
        if (FLoadetGridLayout == kGlobal)
            state |= glsGlobalLayout;
        else if (!FLoadetGridLayout.isEmpty())
            state |= glsUserLayout;
        else if (found)
            state |= glsNoLayoutLoaded;
        if ((found && cache.FieldByName(QStringLiteral("gl_data")).toByteArray() != current) ||
            current != FLoadetGridLayoutData)
            state |= glsModifiedLayout;
    } catch (...) {
        state |= glsError;
        TVoskExceptionHelper::InsertStackInfo(std::current_exception(),
                                              fullName(QStringLiteral("TVoskGridViewCustomDS")) +
                                                  QStringLiteral(".GetLayoutState"));
    }
    return state;
}

// ---- registration -------------------------------------------------------------------------------

namespace {

const QString kViewDescription = QStringLiteral("Plantafel View");

void InitUnit() {
    Grid::RegisteredViews::Register(QStringLiteral("TVoskGridViewCustomDS"), kViewDescription,
                                    [](QObject* owner) -> Grid::GridBandedTableView* {
                                        return new TVoskGridViewCustomDS(owner);
                                    });
}

void FiniUnit() {
    Grid::RegisteredViews::Unregister(QStringLiteral("TVoskGridViewCustomDS"));
}

} // namespace

KORVEX_UNIT("ostvane", "UPlantafel.GridViewCustomDS", InitUnit, FiniUnit);
