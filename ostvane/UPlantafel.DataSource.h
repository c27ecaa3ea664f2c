#pragma once
// The data container of one per-resource sub-view data source: the seven grouping datasets with
// their level information and the re-entrant lock that serializes every read of them, plus the
// engine's small toolkit for client datasets (copy, reset, index, count aggregates).

#include "ClientDataSet.h"
#include "UPlantafel.DataSourceTypes.h"

#include <memory>
#include <mutex>

// A record source that a dataset is filled from when it is not itself a client dataset (the
// provider path): it names its fields and appends its rows to the destination.
class IPlantafelRecordSource {
public:
    virtual ~IPlantafelRecordSource() = default;
    virtual Cds::FieldDefList Fields() const = 0;
    // Appends every row to dst, which is active with Fields() as its fields. A source that
    // learns its fields only while it runs (a streamed query) gives none from Fields() and
    // recreates dst with its own fields before the first row.
    virtual void AppendRowsTo(Cds::ClientDataSet& dst) const = 0;
    // Provider name while the source is being copied; empty when none is attached.
    QString ProviderName;
};

class TPlantafelDataContainer {
public:
    TPlantafelDataContainer();
    virtual ~TPlantafelDataContainer();
    TPlantafelDataContainer(const TPlantafelDataContainer&) = delete;
    TPlantafelDataContainer& operator=(const TPlantafelDataContainer&) = delete;

    // Sorting[i] := the computed column mapped at fields[i] (first in enumeration order with a
    // name), else ptfldResource; the new index becomes current.
    static void CreateIndexCDS(Cds::ClientDataSet& cds, TPlantafelAggregation& sorting,
                               const QString& name, const std::vector<int>& fields,
                               Cds::IndexOptions options, int groupingLevel,
                               const TAggregationFldMapping& aggFlds);
    virtual void FinalizeGroupingsInfo(TPlantafelGroupingsInfo& info);
    // Fills target with cursors on this container's datasets, under the lock.
    virtual void CloneGroupingsInfo(TPlantafelGroupingsInfo& target);
    virtual std::unique_ptr<TPlantafelDataContainer> Clone();
    // Copies src into dst (always True); field definitions only with noData.
    static bool OpenCDSFrom(const Cds::ClientDataSet& src, Cds::ClientDataSet& dst, bool noData,
                            const Cds::AggregateList* aggregates,
                            const Cds::IndexDefList* indexDefs);
    static bool OpenCDSFrom(IPlantafelRecordSource& src, Cds::ClientDataSet& dst, bool noData,
                            const Cds::AggregateList* aggregates,
                            const Cds::IndexDefList* indexDefs);
    // Resets a dataset to blank. Cursors cloned from it keep the rows they read.
    static void CloseCDS(Cds::ClientDataSet& cds);
    // One aggregate per level start..end named Format(namePattern, [level]), e.g. "count_x%.2d".
    static void CreateAggregatesCDS(Cds::ClientDataSet& cds, const QString& namePattern,
                                    const QString& expression, const QString& indexName,
                                    int groupingLevelStart, int groupingLevelEnd);

    std::recursive_mutex& Lock() { return FLock; }
    TPlantafelGroupingsInfo& GroupingLevelsInfo() { return FGroupingLevelsInfo; }
    const TPlantafelGroupingsInfo& GroupingLevelsInfo() const { return FGroupingLevelsInfo; }

protected:
    // The same class, empty; Clone fills it.
    virtual std::unique_ptr<TPlantafelDataContainer> NewInstance() const;

    std::recursive_mutex FLock;
    TPlantafelGroupingsInfo FGroupingLevelsInfo;
};

// Format("%s_%s_%s_%p", [prefix, qualifier, now as yyyy_mm_dd_hh_nn_ss_zzz, address]).
QString PlantafelComponentName(const QString& prefix, const QString& qualifier,
                               const void* address);
// The level number put into a pattern with one "%d" or "%.Nd"; "%%" stands for "%".
QString FormatLevel(const QString& pattern, int level);
