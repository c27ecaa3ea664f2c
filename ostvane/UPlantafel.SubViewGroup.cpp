#include "UPlantafel.SubViewGroup.h"

#include "UPlantafel.ContainerDataSource.h"


// ---- aggregates mapping

void TPlantafelAggregateMapping::Assign(const TPlantafelAggregateMapping& other) {
    Expression = other.Expression;
    GroupingLevel = other.GroupingLevel;
}

TPlantafelAggregateMapping& TPlantafelAggregatesMapping::Add() {
    m_items.push_back(std::make_unique<TPlantafelAggregateMapping>());
    return *m_items.back();
}

TPlantafelAggregateMapping& TPlantafelAggregatesMapping::Add(const QString& expression,
                                                             TPlantafelAggregationField level) {
    TPlantafelAggregateMapping& m = Add();
    m.Expression = expression;
    m.GroupingLevel = level;
    return m;
}

int TPlantafelAggregatesMapping::IndexOf(const QString& expression,
                                         TPlantafelAggregationField level) const {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (m_items[i]->GroupingLevel == level &&
            m_items[i]->Expression.compare(expression, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

TPlantafelAggregateMapping* TPlantafelAggregatesMapping::Find(const QString& expression,
                                                              TPlantafelAggregationField level) {
    const int i = IndexOf(expression, level);
    return i < 0 ? nullptr : m_items[size_t(i)].get();
}

void TPlantafelAggregatesMapping::Assign(const TPlantafelAggregatesMapping& other) {
    m_items.clear();
    for (const auto& item : other.m_items)
        Add().Assign(*item);
}

// ---- sub-view data source

TPlantafelSubViewDataSource::TPlantafelSubViewDataSource(TPlantafelSubViewGroup& group,
                                                         int resourceId)
    : m_group(group), m_resourceId(resourceId) {}

TPlantafelSubViewDataSource::~TPlantafelSubViewDataSource() = default;

void TPlantafelSubViewDataSource::SetDataContainer(
    std::unique_ptr<TPlantafelDataContainer> container) {
    m_dataContainer = std::move(container);
}

void TPlantafelSubViewDataSource::SetActive(bool active) {
    if (active == m_active)
        return;
    if (active) {
        if (!m_dataContainer)
            m_dataContainer = std::make_unique<TPlantafelDataContainer>();
        try {
            CreateData();
        } catch (...) {
            m_dataContainer.reset();
            throw;
        }
        m_active = true;
    } else {
        m_active = false;
        m_dataContainer.reset();
    }
}

void TPlantafelSubViewDataSource::CreateData() {
    std::lock_guard lock(m_dataContainer->Lock());
    TPlantafelGroupingsInfo& info = m_dataContainer->GroupingLevelsInfo();
    m_dataContainer->FinalizeGroupingsInfo(info);
    try {
        m_group.InitGroupingInfo(info);
    } catch (...) {
        m_dataContainer->FinalizeGroupingsInfo(info);
        throw;
    }
    // Only where the leading key is the resource: the calendar depths start with the year.
    const TVarRec res{vtInteger, qint64(m_resourceId)};
    for (auto& level : info) {
        if (level.Aggregation.empty() || level.Aggregation.front() != ptfldResource)
            continue;
        level.ActiveRange.front() = res;
        level.ActiveRangeLow.front() = res;
        level.ActiveRangeHigh.front() = res;
    }
}

// ---- sub-view group

TPlantafelSubViewGroup::TPlantafelSubViewGroup(TPlantafelContainerDataSource& container,
                                               const QString& name)
    : FContainer(container), FName(name) {}

TPlantafelSubViewGroup::~TPlantafelSubViewGroup() {
    FDataSources.clear();
    FGrouping.reset();
}

void TPlantafelSubViewGroup::SetActive(bool active) {
    if (active == FActive)
        return;
    if (active) {
        if (!FContainer.Active())
            return;
        CreateData();
        LoadAggregates();
        FActive = true;
        for (auto& source : FDataSources) {
            if (!source->DataContainer())
                source->SetDataContainer(std::make_unique<TPlantafelDataContainer>());
            source->SetActive(true);
        }
        FRecordCount = -1;
    } else {
        FActive = false;
        FRecordCount = 0;
        FreeData();
        for (auto& source : FDataSources)
            source->SetActive(false);
    }
}

void TPlantafelSubViewGroup::SetMode(TPlantafelSubViewMode mode) {
    if (mode != ptsvmCalendarWeekGroupedFirstWeekDays && mode != ptsvmCalendarWeekGroupedByWeek)
        throw EVoskPlantafelException::Fmt(QStringLiteral("xtt34024"), EnumName(mode));
    if (mode == FMode)
        return;
    SetActive(false);
    FMode = mode;
}

void TPlantafelSubViewGroup::ApplyClientSideFilter(const QString& filter) {
    const bool was = FActive;
    SetActive(false);
    FFilter = filter;
    SetActive(was);
}

void TPlantafelSubViewGroup::IncludeAggregate(const QString& expression,
                                              TPlantafelAggregationField level) {
    if (FAggsIncluded.IndexOf(expression, level) < 0)
        FAggsIncluded.Add(expression, level);
}

void TPlantafelSubViewGroup::CreateData() {
    FGrouping = std::make_unique<Cds::ClientDataSet>(
        PlantafelComponentName(QStringLiteral("CDSGrouping"), EnumName(FMode), &FGrouping));
    try {
        FContainer.CreateGroupings(FMode, *FGrouping);
    } catch (...) {
        FGrouping.reset();
        throw;
    }
}

void TPlantafelSubViewGroup::FreeData() {
    FRecordCount = 0;
    FGrouping.reset();
}

void TPlantafelSubViewGroup::LoadAggregates() { FAggsMapping.Assign(FAggsIncluded); }

void TPlantafelSubViewGroup::InitGroupingInfo(TPlantafelGroupingsInfo& info) {
    FContainer.InitGroupingInfo(info, FContainer.MasterData(), FFilter, FAggsMapping,
                                *FGrouping);
}

TPlantafelSubViewDataSource* TPlantafelSubViewGroup::SubViewDataSourceByIndex(int index) const {
    return index >= 0 && index < int(FDataSources.size()) ? FDataSources[size_t(index)].get()
                                                          : nullptr;
}

TPlantafelSubViewDataSource* TPlantafelSubViewGroup::GetSubViewDataSource(int resourceId) const {
    for (const auto& s : FDataSources)
        if (s->ResourceID() == resourceId)
            return s.get();
    return nullptr;
}

TPlantafelSubViewDataSource* TPlantafelSubViewGroup::AddSubViewDataSource(int resourceId) {
    if (TPlantafelSubViewDataSource* s = GetSubViewDataSource(resourceId))
        return s;
    FDataSources.push_back(std::make_unique<TPlantafelSubViewDataSource>(*this, resourceId));
    return FDataSources.back().get();
}

void TPlantafelSubViewGroup::RemoveSubViewDataSource(int resourceId) {
    for (auto it = FDataSources.begin(); it != FDataSources.end(); ++it) {
        if ((*it)->ResourceID() == resourceId) {
            std::unique_ptr<TPlantafelSubViewDataSource> s = std::move(*it);
            FDataSources.erase(it);
            s->SetActive(false);
            return;
        }
    }
}

void TPlantafelSubViewGroup::ClearSubViewDataSources() {
    while (!FDataSources.empty())
        RemoveSubViewDataSource(FDataSources.front()->ResourceID());
}

