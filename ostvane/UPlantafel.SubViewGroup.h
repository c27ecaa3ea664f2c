#pragma once
// The named sets of per-resource sub-view data sources that the container data source owns, and
// the column aggregates a set asks for. This is the part the container drives: naming, sources
// by resource, activation that builds the calendar grouping and each source's grouping datasets.
// Row counting, row links and values for the grid build on it.

#include "UPlantafel.DataSource.h"

#include <array>
#include <memory>
#include <vector>

class TPlantafelContainerDataSource;
class TPlantafelSubViewGroup;

class TPlantafelAggregateMapping final {
public:
    TPlantafelAggregateMapping() { Mapping.fill(-1); }
    // Expression and grouping level only; the per-depth entries are rebuilt on activation.
    void Assign(const TPlantafelAggregateMapping& other);

    QString Expression;
    TPlantafelAggregationField GroupingLevel = ptfldResource; // the key field it groups by
    std::array<int, kPlantafelGroupingDepthCount> Mapping;   // aggregate index per depth, -1
    TPlantafelAggregationFieldSet DependentFlds;
};

class TPlantafelAggregatesMapping final {
public:
    int Count() const { return int(m_items.size()); }
    TPlantafelAggregateMapping& operator[](int i) { return *m_items[size_t(i)]; }
    const TPlantafelAggregateMapping& operator[](int i) const { return *m_items[size_t(i)]; }
    TPlantafelAggregateMapping& Add();
    TPlantafelAggregateMapping& Add(const QString& expression, TPlantafelAggregationField level);
    // First item of that grouping level whose expression matches without case, -1 when none.
    int IndexOf(const QString& expression, TPlantafelAggregationField level) const;
    TPlantafelAggregateMapping* Find(const QString& expression, TPlantafelAggregationField level);
    void Clear() { m_items.clear(); }
    void Assign(const TPlantafelAggregatesMapping& other);

private:
    std::vector<std::unique_ptr<TPlantafelAggregateMapping>> m_items;
};

// One resource's view on the group: its data container holds the grouping datasets restricted
// to that resource.
class TPlantafelSubViewDataSource {
public:
    TPlantafelSubViewDataSource(TPlantafelSubViewGroup& group, int resourceId);
    virtual ~TPlantafelSubViewDataSource();
    TPlantafelSubViewDataSource(const TPlantafelSubViewDataSource&) = delete;
    TPlantafelSubViewDataSource& operator=(const TPlantafelSubViewDataSource&) = delete;

    int ResourceID() const { return m_resourceId; }
    TPlantafelSubViewGroup& Group() const { return m_group; }
    TPlantafelDataContainer* DataContainer() const { return m_dataContainer.get(); }
    void SetDataContainer(std::unique_ptr<TPlantafelDataContainer> container);
    bool Active() const { return m_active; }
    virtual void SetActive(bool active);

protected:
    // Rebuilds the grouping datasets and puts the resource into the leading resource keys.
    virtual void CreateData();

private:
    TPlantafelSubViewGroup& m_group;
    int m_resourceId;
    std::unique_ptr<TPlantafelDataContainer> m_dataContainer;
    bool m_active = false;
};

class TPlantafelSubViewGroup {
public:
    TPlantafelSubViewGroup(TPlantafelContainerDataSource& container, const QString& name);
    virtual ~TPlantafelSubViewGroup();
    TPlantafelSubViewGroup(const TPlantafelSubViewGroup&) = delete;
    TPlantafelSubViewGroup& operator=(const TPlantafelSubViewGroup&) = delete;

    const QString& Name() const { return FName; }
    TPlantafelContainerDataSource& Container() const { return FContainer; }
    bool Active() const { return FActive; }
    virtual void SetActive(bool active);
    TPlantafelSubViewMode Mode() const { return FMode; }
    virtual void SetMode(TPlantafelSubViewMode mode);
    const QString& Filter() const { return FFilter; }
    void ApplyClientSideFilter(const QString& filter);
    void IncludeAggregate(const QString& expression, TPlantafelAggregationField level);
    TPlantafelAggregatesMapping& AggsMapping() { return FAggsMapping; }
    Cds::ClientDataSet* Grouping() const { return FGrouping.get(); }

    virtual void InitGroupingInfo(TPlantafelGroupingsInfo& info);

    int SubViewDataSourceCount() const { return int(FDataSources.size()); }
    TPlantafelSubViewDataSource* SubViewDataSourceByIndex(int index) const;
    virtual TPlantafelSubViewDataSource* GetSubViewDataSource(int resourceId) const;
    virtual TPlantafelSubViewDataSource* AddSubViewDataSource(int resourceId);
    virtual void RemoveSubViewDataSource(int resourceId);
    virtual void ClearSubViewDataSources();

protected:
    virtual void CreateData();
    virtual void FreeData();
    virtual void LoadAggregates();

    TPlantafelContainerDataSource& FContainer;
    std::vector<std::unique_ptr<TPlantafelSubViewDataSource>> FDataSources;
    TPlantafelSubViewMode FMode = ptsvmCalendarWeekGroupedFirstWeekDays;
    QString FName;
    bool FActive = false;
    std::unique_ptr<Cds::ClientDataSet> FGrouping;
    TPlantafelAggregatesMapping FAggsMapping;
    TPlantafelAggregatesMapping FAggsIncluded;
    QString FFilter;
    int FRecordCount = 0;
};
