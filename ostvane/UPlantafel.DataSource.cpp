#include "UPlantafel.DataSource.h"

#include "UnitTable.h"

#include <QDateTime>

QString PlantafelComponentName(const QString& prefix, const QString& qualifier,
                               const void* address) {
    return QStringLiteral("%1_%2_%3_%4")
        .arg(prefix, qualifier,
             QDateTime::currentDateTime().toString(QStringLiteral("yyyy_MM_dd_hh_mm_ss_zzz")),
             QString::number(quintptr(address), 16).rightJustified(sizeof(void*) * 2, u'0')
                 .toUpper());
}

QString FormatLevel(const QString& pattern, int level) {
    QString out;
    out.reserve(pattern.size() + 4);
    bool done = false;
    for (qsizetype i = 0; i < pattern.size(); ++i) {
        const QChar c = pattern[i];
        if (c != u'%') {
            out += c;
            continue;
        }
        if (i + 1 < pattern.size() && pattern[i + 1] == u'%') {
            out += u'%';
            ++i;
            continue;
        }
        qsizetype j = i + 1;
        int width = 0;
        if (j < pattern.size() && pattern[j] == u'.') {
            ++j;
            while (j < pattern.size() && pattern[j].isDigit())
                width = width * 10 + pattern[j++].digitValue();
        }
        if (!done && j < pattern.size() && pattern[j] == u'd') {
            if (level < 0)
                out += u'-';
            out += QString::number(std::abs(level)).rightJustified(width, u'0');
            done = true;
            i = j;
            continue;
        }
        out += c; // not a level placeholder: kept as written
    }
    return out;
}

TPlantafelDataContainer::TPlantafelDataContainer() = default;

TPlantafelDataContainer::~TPlantafelDataContainer() { FinalizeGroupingsInfo(FGroupingLevelsInfo); }

std::unique_ptr<TPlantafelDataContainer> TPlantafelDataContainer::NewInstance() const {
    return std::make_unique<TPlantafelDataContainer>();
}

void TPlantafelDataContainer::CreateIndexCDS(Cds::ClientDataSet& cds,
                                             TPlantafelAggregation& sorting, const QString& name,
                                             const std::vector<int>& fields,
                                             Cds::IndexOptions options, int groupingLevel,
                                             const TAggregationFldMapping& aggFlds) {
    sorting.assign(fields.size(), ptfldResource);
    QStringList names;
    for (size_t i = 0; i < fields.size(); ++i) {
        for (int f = 0; f < kPlantafelAggregationFieldCount; ++f) {
            if (aggFlds[size_t(f)].Index == fields[i] && !aggFlds[size_t(f)].Name.isEmpty()) {
                sorting[i] = TPlantafelAggregationField(f);
                break;
            }
        }
        names << cds.FieldName(fields[i]);
    }
    cds.IndexDefs().Add(name, names.join(u';'), options, groupingLevel);
    cds.SetIndexName(name);
}

void TPlantafelDataContainer::CreateAggregatesCDS(Cds::ClientDataSet& cds,
                                                  const QString& namePattern,
                                                  const QString& expression,
                                                  const QString& indexName,
                                                  int groupingLevelStart, int groupingLevelEnd) {
    for (int level = groupingLevelStart; level <= groupingLevelEnd; ++level)
        cds.Aggregates().Add(
            {FormatLevel(namePattern, level), expression, level, indexName, true, true});
}

void TPlantafelDataContainer::CloseCDS(Cds::ClientDataSet& cds) {
    // EmptyDataSet moves this cursor to a new store, so clones keep their snapshot.
    if (cds.Active())
        cds.EmptyDataSet();
    cds.Close();
    cds.SetFiltered(false);
    cds.SetFilter(QString());
    cds.SetIndexName(QString());
    cds.Aggregates().Clear();
    cds.IndexDefs().Clear();
    cds.FieldDefs().Clear();
    cds.SetStoreDefs(false);
    cds.SetProviderName(QString());
}

namespace {
void FinishOpen(Cds::ClientDataSet& dst, const Cds::AggregateList* aggregates,
                const Cds::IndexDefList* indexDefs) {
    if (indexDefs)
        dst.IndexDefs() = *indexDefs;
    if (aggregates)
        dst.Aggregates().Assign(*aggregates);
    dst.DisableControls();
}
} // namespace

bool TPlantafelDataContainer::OpenCDSFrom(const Cds::ClientDataSet& src, Cds::ClientDataSet& dst,
                                          bool noData, const Cds::AggregateList* aggregates,
                                          const Cds::IndexDefList* indexDefs) {
    CloseCDS(dst);
    if (noData) {
        dst.FieldDefs() = src.FieldDefs();
        dst.CreateDataSet();
    } else {
        dst.CopyFrom(src);
    }
    FinishOpen(dst, aggregates, indexDefs);
    return true;
}

bool TPlantafelDataContainer::OpenCDSFrom(IPlantafelRecordSource& src, Cds::ClientDataSet& dst,
                                          bool noData, const Cds::AggregateList* aggregates,
                                          const Cds::IndexDefList* indexDefs) {
    src.ProviderName = PlantafelComponentName(QStringLiteral("DSTemp"), QString(), &src);
    struct Detach final {
        IPlantafelRecordSource& s;
        ~Detach() { s.ProviderName.clear(); }
    } detach{src};
    CloseCDS(dst);
    dst.FieldDefs() = src.Fields();
    dst.CreateDataSet();
    if (!noData) {
        dst.SetProviderName(src.ProviderName);
        try {
            src.AppendRowsTo(dst);
        } catch (...) {
            CloseCDS(dst); // nothing half-copied stays behind
            throw;
        }
        dst.SetProviderName(QString());
        dst.First();
    }
    FinishOpen(dst, aggregates, indexDefs);
    return true;
}

void TPlantafelDataContainer::FinalizeGroupingsInfo(TPlantafelGroupingsInfo& info) {
    for (auto& level : info) {
        level.Sorting.clear();
        level.Aggregation.clear();
        TVarRecHelper::FinalizeVarRecArray(level.ActiveRange);
        TVarRecHelper::FinalizeVarRecArray(level.ActiveRangeLow);
        TVarRecHelper::FinalizeVarRecArray(level.ActiveRangeHigh);
        level.CDS.reset();
    }
}

void TPlantafelDataContainer::CloneGroupingsInfo(TPlantafelGroupingsInfo& target) {
    std::lock_guard lock(FLock);
    for (int d = 0; d < kPlantafelGroupingDepthCount; ++d) {
        const TPlantafelGroupingLevelInfo& src = FGroupingLevelsInfo[size_t(d)];
        TPlantafelGroupingLevelInfo& dst = target[size_t(d)];
        dst.Level = src.Level;
        dst.LevelGrouping = src.LevelGrouping;
        // The state levels and row identity travel too: a clone without them walks wrongly.
        dst.GrpLvlStateIdx = src.GrpLvlStateIdx;
        dst.GrpStateLvl = src.GrpStateLvl;
        dst.RecIdentFldVal = src.RecIdentFldVal;
        dst.RecIdentFldIdx = src.RecIdentFldIdx;
        dst.Aggregation = src.Aggregation;
        dst.Sorting = src.Sorting;
        dst.ActiveRange = src.ActiveRange;
        dst.ActiveRangeLow = src.ActiveRangeLow;
        dst.ActiveRangeHigh = src.ActiveRangeHigh;
        dst.CDS.reset();
        if (!src.CDS || !src.CDS->Active())
            continue;
        auto cds = std::make_unique<Cds::ClientDataSet>();
        cds->SetName(PlantafelComponentName(QStringLiteral("CDS"),
                                            EnumName(TPlantafelGroupingDepth(d)), &dst.CDS));
        cds->CloneCursor(*src.CDS, true);
        cds->IndexDefs() = src.CDS->IndexDefs();
        cds->SetIndexName(src.CDS->IndexName());
        if (src.CDS->Filtered()) {
            cds->SetFilterOptions(src.CDS->GetFilterOptions());
            cds->SetFilter(src.CDS->Filter());
            cds->SetFiltered(true);
        }
        cds->Aggregates().Assign(src.CDS->Aggregates());
        cds->SetAggregatesActive(src.CDS->AggregatesActive());
        cds->DisableControls();
        dst.CDS = std::move(cds);
    }
}

std::unique_ptr<TPlantafelDataContainer> TPlantafelDataContainer::Clone() {
    auto copy = NewInstance();
    CloneGroupingsInfo(copy->FGroupingLevelsInfo);
    return copy;
}

KORVEX_UNIT("ostvane", "UPlantafel.DataSource", nullptr, nullptr);
