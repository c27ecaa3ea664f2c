#pragma once
// What every part of the planning-board engine shares: the enumerations of grouping depths, key
// fields, sub-view modes and dataset kinds, the level information of one grouping dataset, the
// key-range helper that builds start and end keys of dataset ranges, the engine's exceptions and
// the interface that hands a caller a private cursor on a data source's records.

#include "ClientDataSet.h"
#include "VoskExceptions.h"

#include <QString>
#include <QVariant>

#include <array>
#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <utility>
#include <vector>

// --- enumerations (ordinals from 0, names spelled as used in texts)

enum TPlantafelSubViewMode {
    ptsvmCustom,
    ptsvmCalendarWeekGroupedFirstWeekDays,
    ptsvmCalendarWeekGroupedByWeek,
};

enum TPlantafelDataSetType { ptdstGrouping, ptdstData };

enum TPlantafelAggregationField {
    ptfldResource,
    ptfldEntity,
    ptfldYear,
    ptfldWeek,
    ptfldDay,
    ptfldDate,
    ptfldYearAndWeek,
    ptfldEntitySortYW,
    ptfldEntitySortYWD,
};
inline constexpr int kPlantafelAggregationFieldCount = 9;

enum TPlantafelGroupingDepth {
    ptglNone,
    ptglYearWeek,
    ptglYearWeekDay,
    ptglResourceYearWeek,
    ptglResourceYearWeekEntity,
    ptglResourceYearWeekDay,
    ptglResourceYearWeekDayEntity,
};
inline constexpr int kPlantafelGroupingDepthCount = 7;

enum TPlantafelGroupingDepthFld { ptgdfDepth, ptgdfCount };

// Small sets over an enumeration, one bit per ordinal.
template <class E, class Bits> class TPlantafelSet final {
public:
    constexpr TPlantafelSet() = default;
    constexpr TPlantafelSet(std::initializer_list<E> items) {
        for (E e : items)
            Include(e);
    }
    constexpr void Include(E e) { m_bits = Bits(m_bits | Bits(Bits(1) << int(e))); }
    constexpr void Exclude(E e) { m_bits = Bits(m_bits & Bits(~(Bits(1) << int(e)))); }
    constexpr bool Contains(E e) const { return (m_bits >> int(e)) & 1u; }
    constexpr bool Empty() const { return m_bits == 0; }
    constexpr Bits Raw() const { return m_bits; }
    friend constexpr bool operator==(TPlantafelSet, TPlantafelSet) = default;

private:
    Bits m_bits = 0;
};

using TPlantafelDataSetTypeSet = TPlantafelSet<TPlantafelDataSetType, std::uint8_t>;
using TPlantafelAggregationFieldSet = TPlantafelSet<TPlantafelAggregationField, std::uint16_t>;
using TPlantafelGroupingDepthSet = TPlantafelSet<TPlantafelGroupingDepth, std::uint8_t>;
using TPlantafelAggregation = std::vector<TPlantafelAggregationField>;

QString EnumName(TPlantafelSubViewMode v);
QString EnumName(TPlantafelDataSetType v);
QString EnumName(TPlantafelAggregationField v);
QString EnumName(TPlantafelGroupingDepth v);
QString EnumName(TPlantafelGroupingDepthFld v);

// --- exceptions

// Every error of the engine. The message starts with a marker ("xtt" and a text number, or a
// bare number) that the error display turns into the text of that number.
class EVoskPlantafelException : public EVoskException {
public:
    explicit EVoskPlantafelException(const QString& message);
    explicit EVoskPlantafelException(int textNr);
    // Format("%s %s", [marker, name])
    static EVoskPlantafelException Fmt(const QString& marker, const QString& name);
    const char* ClassName() const noexcept override { return "EVoskPlantafelException"; }
};

// The engine's user notification; the engine itself raises none.
class EVoskPlantafelUserNotifyException : public EVoskException {
public:
    using EVoskException::EVoskException;
    const char* ClassName() const noexcept override {
        return "EVoskPlantafelUserNotifyException";
    }
};

// --- key values of dataset ranges

enum TVarType : int {
    vtInteger = 0,
    vtBoolean = 1,
    vtChar = 2,
    vtExtended = 3,
    vtString = 4,
    vtPointer = 5,
    vtPChar = 6,
    vtObject = 7,
    vtClass = 8,
    vtWideChar = 9,
    vtPWideChar = 10,
    vtAnsiString = 11,
    vtCurrency = 12,
    vtVariant = 13,
    vtInterface = 14,
    vtWideString = 15,
    vtInt64 = 16,
    vtUnicodeString = 17,
};
QString VarTypeName(int vtype);

// A tagged key value. Value holds the kind of the tag: integers as qint64 (vtInteger within 32
// bits), vtExtended as double, vtCurrency as Cds::Currency, the string tags as QString,
// vtVariant any kind (Null = unassigned), and MinKey/MaxKey once padded. It is a value: copies
// own their content.
struct TVarRec final {
    int VType = vtInteger;
    Cds::KeyValue Value = qint64(0);
};
using TVarRecArray = std::vector<TVarRec>;

class TVarRecHelper final {
public:
    TVarRecHelper() = delete;
    static void InitVal(TVarRec& item, int vtype);
    static void FinalizeVarRec(TVarRec& item);
    static void FinalizeVarRecArray(TVarRecArray& items);
    static void CloneRange(const TVarRecArray& source, int count, int maxLength,
                           TVarRecArray& target);
    static void CopyFromRange(const TVarRecArray& source, int highIndex, bool setVarNull,
                              TVarRecArray& target);
    static bool EqualVarRec(const TVarRec& a, const TVarRec& b);
    static void SetMinForRange(TVarRec& item);
    static void SetMaxForRange(TVarRec& item);
    // Reads the dataset's field on its current row as the item's type.
    static void SetVal(TVarRec& item, const Cds::ClientDataSet& dataSet, int field);
    // Copies the value; another numeric kind is converted, what cannot convert raises.
    static void SetVal(TVarRec& item, const TVarRec& value);
    // The range as dataset keys.
    static Cds::KeyList ToKeys(const TVarRecArray& items);
};

// --- level information of one grouping dataset

struct TPlantafelGroupingLevelInfo final {
    TPlantafelGroupingDepth Level = ptglNone;
    TPlantafelGroupingDepth LevelGrouping = ptglNone;
    int GrpLvlStateIdx = 0;
    int GrpStateLvl = 0;
    TPlantafelAggregation Sorting;
    TPlantafelAggregation Aggregation;
    TVarRecArray ActiveRange;
    TVarRecArray ActiveRangeLow;
    TVarRecArray ActiveRangeHigh;
    int RecIdentFldVal = -1;
    int RecIdentFldIdx = -1;
    std::unique_ptr<Cds::ClientDataSet> CDS; // owned
};

using TPlantafelGroupingsInfo =
    std::array<TPlantafelGroupingLevelInfo, kPlantafelGroupingDepthCount>;

struct TFieldMappingInfo final {
    QString Name;
    int Index = -1;
};
using TAggregationFldMapping = std::array<TFieldMappingInfo, kPlantafelAggregationFieldCount>;
using TGrpDepthFldMapping =
    std::array<std::array<TFieldMappingInfo, 2>, kPlantafelGroupingDepthCount>;
using TEntitySortFldMapping = std::array<TFieldMappingInfo, 3>;

struct TPlantafelAggregateValueLstEntry final {
    QVariant Value;
    QVariant Aggregate;
    QVariantList Flds;
};
using TPlantafelAggregateValueLst = std::vector<TPlantafelAggregateValueLstEntry>;

// --- a caller's private cursor on a data source's records

class IPlantafelCustomDataSourceDataSet {
public:
    virtual ~IPlantafelCustomDataSourceDataSet() = default;
    virtual Cds::ClientDataSet* GetDataSet() const = 0;
    virtual QString GetOrigin() const = 0;
};
using IPlantafelCustomDataSourceDataSetPtr = std::shared_ptr<IPlantafelCustomDataSourceDataSet>;

// Owns the dataset; the last reference closes and frees it.
class TPlantafelCustomDataSourceDataSetImpl final : public IPlantafelCustomDataSourceDataSet {
public:
    TPlantafelCustomDataSourceDataSetImpl(QString originFullName,
                                          std::unique_ptr<Cds::ClientDataSet> dataSet);
    ~TPlantafelCustomDataSourceDataSetImpl() override;
    Cds::ClientDataSet* GetDataSet() const override { return m_dataSet.get(); }
    QString GetOrigin() const override { return m_origin; }

private:
    QString m_origin;
    std::unique_ptr<Cds::ClientDataSet> m_dataSet;
};

// --- parameter collection with a notification before every change

struct TParam final {
    QString Name;
    Cds::FieldType DataType = Cds::FieldType::String;
    QVariant Value;
};

class TPlantafelParams final {
public:
    std::function<void(TPlantafelParams&)> OnChanging;

    int Count() const { return int(m_items.size()); }
    const TParam& operator[](int i) const { return m_items[size_t(i)]; }
    int IndexOf(const QString& name) const; // case-insensitive
    const TParam* FindParam(const QString& name) const;
    void Add(const QString& name, Cds::FieldType type, const QVariant& value);
    void Delete(int index);
    void SetValue(int index, const QVariant& value);
    void Clear();
    void Assign(const TPlantafelParams& other);

private:
    void Changing();
    std::vector<TParam> m_items;
};

// A shared pointer that one thread replaces while others take copies of it. Readers take a copy
// once per snapshot (they keep it while its serial number holds), so a mutex costs nothing that
// counts; the library's atomic shared pointer releases its read lock in a way race checkers
// cannot follow.
template <class T> class TPlantafelSharedSlot final {
public:
    std::shared_ptr<T> load() const {
        std::lock_guard lock(m_mutex);
        return m_ptr;
    }
    // The old object is let go outside the lock: its destructor may be long.
    void store(std::shared_ptr<T> ptr) {
        std::shared_ptr<T> old;
        {
            std::lock_guard lock(m_mutex);
            old = std::exchange(m_ptr, std::move(ptr));
        }
    }

private:
    mutable std::mutex m_mutex;
    std::shared_ptr<T> m_ptr;
};
