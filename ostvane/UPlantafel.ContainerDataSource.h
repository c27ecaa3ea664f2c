#pragma once
// The planning board's data side for one date span: loads the resource time line through named
// SQL into the master records, numbers every resource's entities within each ISO week and day,
// keeps the information row of each entity, builds the calendar of the span and the per-depth
// grouping datasets, and owns the sub-view groups whose per-resource sources feed the grids.
// Almost every operation is virtual so that the planning-board module can subclass it.

#include "UPlantafel.DataSource.h"
#include "UPlantafel.SubViewGroup.h"

#include <QDateTime>
#include <QObject>
#include <QStringList>

#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <vector>

class TVoskQuery2;
class TPlantafelQueryRecordSource;

// A string list that says so before it changes.
class TPlantafelStringList final {
public:
    std::function<void()> OnChanging;
    const QStringList& Lines() const { return m_lines; }
    QString Text() const; // lines joined by CR LF, each line ended
    void SetLines(const QStringList& lines);
    void Add(const QString& line);
    void Clear();
    int Count() const { return int(m_lines.size()); }

private:
    QStringList m_lines;
};

class TPlantafelContainerDataSource : public QObject {
    Q_OBJECT
public:
    explicit TPlantafelContainerDataSource(QObject* owner = nullptr);
    ~TPlantafelContainerDataSource() override;

    // --- published
    bool Active() const { return FActive; }
    virtual void SetActive(bool active);
    QDateTime StartDate() const { return FStartDate; }
    virtual void SetStartDate(const QDateTime& value);
    QDateTime EndDate() const { return FEndDate; }
    virtual void SetEndDate(const QDateTime& value);
    const TPlantafelStringList& ResIDSelectSQL() const { return FResIDSelectSQL; }
    virtual void SetResIDSelectSQL(const QStringList& lines);
    // name=value lines; the values are SQL text and must come from code, never from a user.
    const TPlantafelStringList& AdditionalMacros() const { return FAdditionalMacros; }
    virtual void SetAdditionalMacros(const QStringList& lines);
    const TPlantafelParams& AdditionalParams() const { return FAdditionalParams; }
    virtual void SetAdditionalParams(const TPlantafelParams& params);
    bool NextOpenWithoutEx() const { return FNextOpenWithoutEx; }
    void SetNextOpenWithoutEx(bool value) { FNextOpenWithoutEx = value; }
    QString FldNameResourceID() const { return GetFldNameResourceID(); }
    QString FldNameRecordID() const { return GetFldNameRecordID(); }
    Cds::ClientDataSet& MasterData() const { return *FMasterRecords; }
    // User log "PT[Profiling]" of the open at level 4.
    bool IsProfilingActive() const { return m_profiling; }
    void SetIsProfilingActive(bool on) { m_profiling = on; }

    // --- groups and sources
    TPlantafelSubViewGroup* Groups(int index) const { return GetGroup(index); }
    TPlantafelSubViewGroup* GroupsByName(const QString& name) const { return GetGroup(name); }
    int GroupCount() const { return GetGroupCount(); }
    TPlantafelSubViewDataSource* SubViewDataSources(const QString& group, int resourceId) const {
        return GetSubViewDataSource(group, resourceId);
    }
    TPlantafelSubViewDataSource* SubViewDataSourcesByIndex(int group, int index) const {
        return GetSubViewDataSourceByIndex(group, index);
    }
    int SubViewDataSourceCount(int group) const { return GetSubViewDataSourceCount(group); }

    virtual TPlantafelSubViewDataSource* GetSubViewDataSource(int groupIndex,
                                                              int resourceId) const;
    virtual TPlantafelSubViewDataSource* GetSubViewDataSource(const QString& groupName,
                                                              int resourceId) const;
    virtual TPlantafelSubViewDataSource* GetSubViewDataSourceByIndex(int groupIndex,
                                                                     int index) const;
    virtual TPlantafelSubViewGroup* GetGroup(const QString& name) const;
    virtual TPlantafelSubViewGroup* GetGroup(int index) const;
    virtual int GetGroupCount() const;
    virtual int GetSubViewDataSourceCount(int groupIndex) const;
    virtual void ClearGroups();
    virtual bool HasGroup(const QString& name) const;
    using GroupFactory = std::function<std::unique_ptr<TPlantafelSubViewGroup>(
        TPlantafelContainerDataSource&, const QString&)>;
    virtual TPlantafelSubViewGroup* AddGroup(const QString& name, const GroupFactory& groupClass);
    virtual TPlantafelSubViewGroup* AddGroup(const QString& name);
    virtual TPlantafelSubViewDataSource* AddSubViewDataSource(const QString& groupName,
                                                              int resourceId);
    virtual void RemoveSubViewDataSource(const QString& groupName, int resourceId);
    virtual void ClearSubViewDataSources(const QString& groupName);
    virtual void SetResIDSelectSQLFromUsedResources();

    // --- building blocks the groups and sources call
    virtual void AddAggregates(TPlantafelGroupingLevelInfo& info,
                               TPlantafelAggregatesMapping& aggs);
    virtual void InitCDSForDepth(TPlantafelGroupingLevelInfo& info, Cds::ClientDataSet& master,
                                 Cds::ClientDataSet& calendar, TPlantafelAggregatesMapping& aggs,
                                 const QString& filter);
    virtual void InitGroupingInfo(TPlantafelGroupingsInfo& info, Cds::ClientDataSet& master,
                                  const QString& filter, TPlantafelAggregatesMapping& aggs,
                                  Cds::ClientDataSet& calendar);
    virtual void CreateGroupingsBase(Cds::ClientDataSet& target);
    virtual void CreateGroupings(TPlantafelSubViewMode mode, Cds::ClientDataSet& target);
    virtual QVariant GetUniqueKey(const Cds::ClientDataSet& dataSet) const;
    virtual QString GetFldNameResourceID() const;
    virtual QString GetFldNameRecordID() const;
    virtual void RefreshMasterRecordsEx();
    // Re-reads the information rows with one parameter changed and overwrites the rows it
    // finds. Returns the number of rows that could not be written (also logged); nothing
    // happens without an information query or when it lacks the parameter.
    virtual int RefreshMasterRecordsEx(const QString& paramName, const QVariant& value);

    // --- what the groups read
    TPlantafelGroupingDepth TopLevel() const { return FTopLevel; }
    const TAggregationFldMapping& MappingAggFlds() const { return FMappingAggFlds; }
    const TGrpDepthFldMapping& MappingDepthFlds() const { return FMappingDepthFlds; }
    const TFieldMappingInfo& MappingRecordID() const { return FMappingRecordID; }
    std::recursive_mutex& LockEx() { return FLockEx; }
    // Under LockEx: the information rows, their field lookup (lower-case names) and links.
    Cds::ClientDataSet& MasterRecordsEx() const { return *FMasterRecordsEx; }
    const std::map<QString, int>& FldLookUpEx() const { return FFldLookUpEx; }
    int ExLinkMasterFldIdx() const { return FExLinkMasterFldIdx; }
    int ExLinkMasterFldExIdx() const { return FExLinkMasterFldExIdx; }

    // The class name used in messages (a subclass's own).
    QString ClassName() const { return QString::fromLatin1(metaObject()->className()); }

protected:
    virtual void OnChanging_ResIDSelectSQL();
    virtual void OnChanging_AdditionalMacros();
    virtual void OnChanging_AdditionalParams();
    virtual void InternalOpen();
    virtual void CalcEntitySorted();

    // Named SQL with the reserved macros and parameters set.
    void PrepareQuery(TVoskQuery2& query, const QString& key, const QString& pre,
                      const QString& dat, const QString& start, const QString& end);

    std::vector<std::unique_ptr<TPlantafelSubViewGroup>> FGroups;
    std::unique_ptr<Cds::ClientDataSet> FMasterRecords;
    std::unique_ptr<Cds::ClientDataSet> FMasterRecordsEx;
    std::unique_ptr<TVoskQuery2> FMasterRecordsExSrc;
    std::map<QString, int> FFldLookUpEx;
    int FExLinkMasterFldIdx = -1;
    int FExLinkMasterFldExIdx = -1;
    bool FNextOpenWithoutEx = false;
    std::recursive_mutex FLockEx;
    QDateTime FStartDate;
    QDateTime FEndDate;
    TPlantafelStringList FResIDSelectSQL;
    TPlantafelStringList FAdditionalMacros;
    TPlantafelParams FAdditionalParams;
    bool FActive = false;
    TAggregationFldMapping FMappingAggFlds;
    TGrpDepthFldMapping FMappingDepthFlds;
    TFieldMappingInfo FMappingRecordID;
    TEntitySortFldMapping FMappingSortFld;
    std::array<int, 3> FMappingSortEx{-1, -1, -1};
    TPlantafelGroupingDepth FTopLevel = ptglYearWeek;

private:
    void SetMappings();
    void CheckReservedNames() const;
    void LoadMasterRecordsEx(TPlantafelQueryRecordSource& src);
    void OrderMasterRecordsEx();
    // Numbering straight from the columns when the range fields and the entity are 32-bit
    // integers without Nulls, their codes are dense enough for counting arrays and the sort
    // fields are integer-valued: the master index's order falls out of the day pass. False
    // (nothing changed) when the data does not fit; the general path then numbers.
    bool NumberFromColumns();
    struct PackedRow;
    static std::vector<PackedRow> PackRows(const Cds::ClientDataSet& master,
                                           const std::array<int, 4>& rangeFields, int entity,
                                           const int (&columns)[2], unsigned* dayBits);
    bool m_profiling = false;
};

// Raised texts of the engine's own faults in a German sentence (no text number behind them).
inline constexpr const char* kPlantafelSpanReversed =
    "Der Zeitraum ist ungültig: Das Startdatum %1 liegt nach dem Enddatum %2.";
