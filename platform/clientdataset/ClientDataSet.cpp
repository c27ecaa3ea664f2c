#include "ClientDataSet.h"

#include <algorithm>
#include <cstdlib>
#include <cstring>
#include <ctime>
#include <type_traits>
#include <bit>
#include <cmath>
#include <limits>
#include <map>
#include <mutex>
#include <numeric>
#include <optional>
#include <string>

namespace Cds {

namespace {

[[noreturn]] void DbError(const QString& text) { throw EDatabaseError(text); }

constexpr qint64 kMsecsPerDay = 86400000;

qint64 PackDateTime(const QDateTime& dt) {
    return dt.date().toJulianDay() * kMsecsPerDay + dt.time().msecsSinceStartOfDay();
}
QDate DateOf(qint64 packed, int* msOfDay) {
    qint64 day = packed / kMsecsPerDay, ms = packed % kMsecsPerDay;
    if (ms < 0) {
        ms += kMsecsPerDay;
        --day;
    }
    *msOfDay = int(ms);
    return QDate::fromJulianDay(day);
}

// The conversion of values and keys, one table per thread, begun afresh when TZ changes (the C
// library's own conversion follows TZ, so the table must too).
ClientDataSet::LocalTimes& ThreadLocalTimes() {
    struct Cache final {
        std::string Tz;
        bool Set = false;
        std::optional<ClientDataSet::LocalTimes> Times;
    };
    thread_local Cache cache;
    const char* tz = std::getenv("TZ");
    if (!cache.Times || (tz != nullptr) != cache.Set || (tz && cache.Tz != tz)) {
        cache.Set = tz != nullptr;
        cache.Tz = tz ? tz : "";
        tzset();
        cache.Times.emplace();
    }
    return *cache.Times;
}

// From the instant rather than from date and time: the system's own conversion of a time that
// comes twice takes whichever reading its previous call left it near. A time that does not exist
// (skipped by summer time) reads as the wall clock of its instant; one that comes twice with both
// readings alike keeps its offset, since read back in local time it could turn into the other.
QDateTime UnpackDateTime(qint64 v) {
    ClientDataSet::LocalTimes& times = ThreadLocalTimes();
    const qint64 ms = times.EpochMs(v);
    if (Q_LIKELY(!times.TwiceAlike(v)))
        return QDateTime::fromMSecsSinceEpoch(ms, Qt::LocalTime);
    constexpr qint64 kUnixEpochPacked = 2440588 * kMsecsPerDay;
    return QDateTime::fromMSecsSinceEpoch(ms, Qt::OffsetFromUTC,
                                          int((v - kUnixEpochPacked - ms) / 1000));
}

template <class T> int Cmp(T a, T b) { return a < b ? -1 : (b < a ? 1 : 0); }

} // namespace

// The text of a string column, in blocks of up to 64K bytes: a full block is never copied as the
// pool grows (one growing buffer would hold its old and new copy at once, twice the text), and a
// string lies within one block; a string longer than a block gets a block of its own. Offsets
// are the block's number in the high 16 bits and the byte in the low 16. A string whose
// characters all lie in Latin-1 (the ERP's German text, all ASCII) takes a byte each, any other
// two, aligned.
class StringPool final {
public:
    static constexpr unsigned kShift = 16;
    static constexpr size_t kBlock = size_t(1) << kShift;

    const char* At(quint32 offset) const {
        return m_blocks[offset >> kShift].data() + (offset & (kBlock - 1));
    }
    // Where `bytes` more bytes go, at an even offset when `even` (a new block when the last has
    // no room); nullptr when the column holds as many blocks as offsets can name.
    char* Reserve(size_t bytes, bool even, quint32* offset) {
        auto start = [&](const std::string& b) { return even ? (b.size() + 1) & ~size_t(1) : b.size(); };
        if (m_blocks.empty() ||
            (!m_blocks.back().empty() && start(m_blocks.back()) + bytes > kBlock)) {
            if (m_blocks.size() >= (size_t(1) << (32 - kShift)))
                return nullptr;
            m_blocks.emplace_back();
            // Only a column's first block grows step by step (small columns stay small).
            if (m_blocks.size() > 1)
                m_blocks.back().reserve(std::max(bytes, kBlock));
        }
        std::string& block = m_blocks.back();
        const size_t at = start(block);
        if (at + bytes > block.capacity())
            block.reserve(std::max(at + bytes, std::min(kBlock, 2 * block.capacity())));
        *offset = quint32((m_blocks.size() - 1) << kShift | at);
        block.resize(at + bytes);
        return block.data() + at;
    }
    qint64 Bytes() const {
        qint64 n = 0;
        for (const auto& b : m_blocks)
            n += qint64(b.capacity());
        return n + qint64(m_blocks.capacity() * sizeof(std::string));
    }

private:
    std::vector<std::string> m_blocks;
};

// One typed column: values in one vector of their kind, strings in a pool, a Null bitmap.
struct Column final {
    FieldType Type = FieldType::Integer;
    QString Name;
    std::vector<qint32> I32;   // Integer, Date (Julian day)
    std::vector<qint64> I64;   // LargeInt, Currency (scaled), DateTime (packed)
    std::vector<double> F64;   // Float
    std::vector<quint8> U8;    // Boolean
    std::vector<quint32> SOff; // String: offset in the pool and length in characters, its top
    std::vector<quint32> SLen; // bit set for two bytes a character
    static constexpr quint32 kWide = 0x80000000u;
    StringPool Pool;
    std::vector<quint64> Nulls;

    bool IsNull(quint32 r) const { return (Nulls[r >> 6] >> (r & 63)) & 1u; }
    void SetNullBit(quint32 r, bool on) {
        const quint64 bit = quint64(1) << (r & 63);
        if (on)
            Nulls[r >> 6] |= bit;
        else
            Nulls[r >> 6] &= ~bit;
    }

    bool Wide(quint32 r) const { return SLen[r] & kWide; }
    QLatin1StringView Latin1(quint32 r) const {
        return SLen[r] == 0 ? QLatin1StringView("", qsizetype(0))
                            : QLatin1StringView(Pool.At(SOff[r]), qsizetype(SLen[r]));
    }
    QStringView Utf16(quint32 r) const {
        return QStringView(reinterpret_cast<const char16_t*>(Pool.At(SOff[r])),
                           qsizetype(SLen[r] & ~kWide));
    }
    QAnyStringView Str(quint32 r) const {
        return Wide(r) ? QAnyStringView(Utf16(r)) : QAnyStringView(Latin1(r));
    }
    bool StartsWith(quint32 r, const QString& prefix, Qt::CaseSensitivity cs) const {
        return Wide(r) ? Utf16(r).startsWith(prefix, cs) : Latin1(r).startsWith(prefix, cs);
    }

    void Reserve(size_t n) {
        switch (Type) {
        case FieldType::Integer:
        case FieldType::Date: I32.reserve(n); break;
        case FieldType::LargeInt:
        case FieldType::Currency:
        case FieldType::DateTime: I64.reserve(n); break;
        case FieldType::Float: F64.reserve(n); break;
        case FieldType::Boolean: U8.reserve(n); break;
        case FieldType::String:
            SOff.reserve(n);
            SLen.reserve(n);
            break;
        }
        Nulls.reserve((n + 63) / 64);
    }

    void AppendNull(quint32 r) {
        PushZero();
        if ((r & 63) == 0)
            Nulls.push_back(0);
        SetNullBit(r, true);
    }

    // Cells held so far (the row being appended included once it got its cell).
    size_t Count() const {
        switch (Type) {
        case FieldType::Integer:
        case FieldType::Date: return I32.size();
        case FieldType::LargeInt:
        case FieldType::Currency:
        case FieldType::DateTime: return I64.size();
        case FieldType::Float: return F64.size();
        case FieldType::Boolean: return U8.size();
        case FieldType::String: return SOff.size();
        }
        return 0;
    }
    // The cell of row Count() with a zero value; its null bit stays as it is.
    void PushZero() {
        switch (Type) {
        case FieldType::Integer:
        case FieldType::Date: I32.push_back(0); break;
        case FieldType::LargeInt:
        case FieldType::Currency:
        case FieldType::DateTime: I64.push_back(0); break;
        case FieldType::Float: F64.push_back(0); break;
        case FieldType::Boolean: U8.push_back(0); break;
        case FieldType::String:
            SOff.push_back(0);
            SLen.push_back(0);
            break;
        }
    }

    void Truncate(quint32 rows) {
        auto cut = [rows](auto& v) {
            if (v.size() > rows)
                v.resize(rows);
        };
        cut(I32);
        cut(I64);
        cut(F64);
        cut(U8);
        cut(SOff);
        cut(SLen);
        Nulls.resize((rows + 63) / 64);
    }

    [[noreturn]] void BadValue(const QVariant& v) const {
        DbError(QStringLiteral("'%1' ist kein gültiger Wert für das Feld '%2'")
                    .arg(v.toString(), Name));
    }

    void Set(quint32 r, const QVariant& v) {
        if (!v.isValid() || v.isNull()) {
            SetNullBit(r, true);
            return;
        }
        bool ok = true;
        switch (Type) {
        case FieldType::Integer: {
            const qint64 x = v.toLongLong(&ok);
            if (!ok || x < std::numeric_limits<qint32>::min() ||
                x > std::numeric_limits<qint32>::max())
                BadValue(v);
            I32[r] = qint32(x);
            break;
        }
        case FieldType::LargeInt: {
            const qint64 x = v.toLongLong(&ok);
            if (!ok)
                BadValue(v);
            I64[r] = x;
            break;
        }
        case FieldType::Currency: {
            const double d = v.toDouble(&ok);
            if (!ok || !std::isfinite(d) || std::fabs(d) > 9.2e14)
                BadValue(v);
            I64[r] = Currency::FromDouble(d).Scaled;
            break;
        }
        case FieldType::Float: {
            const double d = v.toDouble(&ok);
            if (!ok)
                BadValue(v);
            F64[r] = d;
            break;
        }
        case FieldType::Boolean: U8[r] = v.toBool() ? 1 : 0; break;
        case FieldType::Date: {
            const QDate d = v.typeId() == QMetaType::QDateTime ? v.toDateTime().date() : v.toDate();
            if (!d.isValid())
                BadValue(v);
            I32[r] = qint32(d.toJulianDay());
            break;
        }
        case FieldType::DateTime: {
            QDateTime dt = v.toDateTime();
            if (!dt.isValid() && v.typeId() == QMetaType::QDate)
                dt = QDateTime(v.toDate(), QTime(0, 0));
            if (!dt.isValid())
                BadValue(v);
            I64[r] = PackDateTime(dt);
            break;
        }
        case FieldType::String: {
            const QString s = v.toString();
            AppendToPool(r, reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
            return;
        }
        }
        SetNullBit(r, false);
    }

    // Room for `bytes` bytes in the pool, and their offset.
    char* PoolRoom(size_t bytes, bool even, quint32* offset) {
        *offset = 0;
        if (bytes == 0)
            return nullptr;
        char* room = bytes < kWide ? Pool.Reserve(bytes, even, offset) : nullptr;
        if (!room)
            DbError(QStringLiteral("Zu viele Zeichen im Feld '%1'").arg(Name));
        return room;
    }
    // Characters that all fit Latin-1 take a byte each.
    void AppendToPool(quint32 r, const char16_t* s, size_t n) {
        const bool wide = std::any_of(s, s + n, [](char16_t ch) { return ch > 0xff; });
        quint32 offset = 0;
        if (char* room = PoolRoom(wide ? 2 * n : n, wide, &offset)) {
            if (wide)
                std::memcpy(room, s, 2 * n);
            else
                std::transform(s, s + n, room, [](char16_t ch) { return char(ch); });
        }
        SOff[r] = offset;
        SLen[r] = quint32(n) | (wide ? kWide : 0);
        SetNullBit(r, false);
    }
    // ASCII (or other Latin-1) bytes as they are.
    void AppendLatin1(quint32 r, std::string_view s) {
        quint32 offset = 0;
        if (char* room = PoolRoom(s.size(), false, &offset))
            std::memcpy(room, s.data(), s.size());
        SOff[r] = offset;
        SLen[r] = quint32(s.size());
        SetNullBit(r, false);
    }

    QVariant Get(quint32 r) const {
        if (IsNull(r))
            return {};
        switch (Type) {
        case FieldType::Integer: return I32[r];
        case FieldType::LargeInt: return I64[r];
        case FieldType::Currency: return Currency{I64[r]}.ToDouble();
        case FieldType::Float: return F64[r];
        case FieldType::Boolean: return U8[r] != 0;
        case FieldType::Date: return QDate::fromJulianDay(I32[r]);
        case FieldType::DateTime: return UnpackDateTime(I64[r]);
        case FieldType::String: return Str(r).toString();
        }
        return {};
    }

    KeyValue Key(quint32 r) const {
        if (IsNull(r))
            return std::monostate{};
        switch (Type) {
        case FieldType::Integer: return qint64(I32[r]);
        case FieldType::LargeInt: return I64[r];
        case FieldType::Currency: return Currency{I64[r]};
        case FieldType::Float: return F64[r];
        case FieldType::Boolean: return U8[r] != 0;
        case FieldType::Date: return QDate::fromJulianDay(I32[r]);
        case FieldType::DateTime: return UnpackDateTime(I64[r]);
        case FieldType::String: return Str(r).toString();
        }
        return std::monostate{};
    }

    // Nulls first.
    int Compare(quint32 a, quint32 b, bool ci) const {
        const bool na = IsNull(a), nb = IsNull(b);
        if (na || nb)
            return na == nb ? 0 : (na ? -1 : 1);
        switch (Type) {
        case FieldType::Integer:
        case FieldType::Date: return Cmp(I32[a], I32[b]);
        case FieldType::LargeInt:
        case FieldType::Currency:
        case FieldType::DateTime: return Cmp(I64[a], I64[b]);
        case FieldType::Float: return Cmp(F64[a], F64[b]);
        case FieldType::Boolean: return Cmp(U8[a], U8[b]);
        case FieldType::String:
            return QAnyStringView::compare(Str(a), Str(b),
                                           ci ? Qt::CaseInsensitive : Qt::CaseSensitive);
        }
        return 0;
    }

    // Row against a key value; MinKey and MaxKey lie before and after every row.
    int CompareKey(quint32 r, const KeyValue& k, bool ci) const {
        if (std::holds_alternative<MinKey>(k))
            return 1;
        if (std::holds_alternative<MaxKey>(k))
            return -1;
        const bool nr = IsNull(r), nk = IsNullKey(k);
        if (nr || nk)
            return nr == nk ? 0 : (nr ? -1 : 1);
        switch (Type) {
        case FieldType::Integer:
            if (auto i = std::get_if<qint64>(&k))
                return Cmp(qint64(I32[r]), *i);
            break;
        case FieldType::LargeInt:
            if (auto i = std::get_if<qint64>(&k))
                return Cmp(I64[r], *i);
            break;
        case FieldType::String:
            if (auto s = std::get_if<QString>(&k))
                return QAnyStringView::compare(Str(r), *s,
                                               ci ? Qt::CaseInsensitive : Qt::CaseSensitive);
            break;
        default: break;
        }
        return CompareKeys(Key(r), k, ci);
    }

    bool IntegerValued() const {
        return Type == FieldType::Integer || Type == FieldType::LargeInt ||
               Type == FieldType::Boolean || Type == FieldType::Date ||
               Type == FieldType::DateTime;
    }
    // f(row, value, isNull) for every row of an integer-valued column, the type switch once.
    template <class F> void ForEachInt(quint32 rows, F&& f) const {
        auto run = [&](const auto& v) {
            for (quint32 r = 0; r < rows; ++r)
                f(r, qint64(v[r]), IsNull(r));
        };
        switch (Type) {
        case FieldType::Integer:
        case FieldType::Date: run(I32); break;
        case FieldType::Boolean: run(U8); break;
        default: run(I64); break;
        }
    }
    qint64 IntAt(quint32 r) const {
        switch (Type) {
        case FieldType::Integer:
        case FieldType::Date: return I32[r];
        case FieldType::Boolean: return U8[r];
        default: return I64[r];
        }
    }
    double NumAt(quint32 r) const {
        switch (Type) {
        case FieldType::Float: return F64[r];
        case FieldType::Currency: return Currency{I64[r]}.ToDouble();
        default: return double(IntAt(r));
        }
    }

    qint64 Bytes() const {
        return qint64(I32.capacity() * 4 + I64.capacity() * 8 + F64.capacity() * 8 +
                      U8.capacity() + SOff.capacity() * 4 + SLen.capacity() * 4 +
                      Pool.Bytes() + Nulls.capacity() * 8);
    }
};

// Division by one fixed step for a column of codes: a multiplication by the inverse in double
// and one correction each way, where a 64-bit division per row would cost several times more.
class StepDivider final {
public:
    explicit StepDivider(quint64 step) : m_step(step), m_inverse(1.0 / double(step)) {}
    quint64 Quotient(quint64 d) const {
        quint64 q = quint64(double(d) * m_inverse);
        while (q > 0 && q * m_step > d) // rounding up past d
            --q;
        while ((q + 1) * m_step <= d) // rounding down short of it
            ++q;
        return q;
    }
    quint64 Rest(quint64 d) const { return d - Quotient(d) * m_step; }

private:
    quint64 m_step;
    double m_inverse;
};

struct IndexPerm final {
    std::vector<quint32> Perm;
    quint64 BuiltVersion = 0;
    // Positions where a group of a level starts, all rows visible; built on first use. A
    // permutation never changes once built, so neither do these.
    mutable std::mutex StartsMutex;
    mutable std::map<int, std::shared_ptr<const std::vector<quint32>>> Starts;
};

class DataStore final {
public:
    std::vector<FieldDef> Fields;
    std::vector<Column> Cols;
    quint32 Rows = 0;
    quint64 Version = 1;
    quint64 RowsStamp = 0;
    std::vector<quint64> ColStamp;

    explicit DataStore(const std::vector<FieldDef>& fields) : Fields(fields) {
        Cols.resize(fields.size());
        ColStamp.assign(fields.size(), 0);
        for (size_t i = 0; i < fields.size(); ++i) {
            Cols[i].Type = fields[i].DataType;
            Cols[i].Name = fields[i].Name;
        }
    }
    DataStore(const DataStore& o)
        : Fields(o.Fields), Cols(o.Cols), Rows(o.Rows), ColStamp(o.ColStamp.size(), 0) {}

    quint32 AppendRow(const std::vector<QVariant>& values) {
        if (Rows == std::numeric_limits<quint32>::max())
            DbError(QStringLiteral("Zu viele Datensätze"));
        const quint32 r = Rows;
        for (auto& c : Cols)
            c.AppendNull(r);
        try {
            for (size_t i = 0; i < Cols.size(); ++i)
                if (i < values.size())
                    Cols[i].Set(r, values[i]);
        } catch (...) {
            for (auto& c : Cols)
                c.Truncate(r);
            throw;
        }
        ++Rows;
        RowsStamp = ++Version;
        return r;
    }

    void UpdateRow(quint32 r, const std::vector<QVariant>& values) {
        std::vector<std::pair<size_t, QVariant>> old;
        try {
            for (size_t i = 0; i < Cols.size() && i < values.size(); ++i) {
                const QVariant& v = values[i];
                const bool nv = !v.isValid() || v.isNull();
                const bool no = Cols[i].IsNull(r);
                if (nv && no)
                    continue;
                if (!nv && !no && CompareKeys(Cols[i].Key(r), KeyFromVariant(v)) == 0 &&
                    Cols[i].Type != FieldType::String)
                    continue;
                old.emplace_back(i, Cols[i].Get(r));
                Cols[i].Set(r, v);
            }
        } catch (...) {
            for (auto& [i, v] : old)
                Cols[i].Set(r, v);
            throw;
        }
        if (old.empty())
            return;
        ++Version;
        for (auto& p : old)
            ColStamp[p.first] = Version;
    }

    void UpdateCell(quint32 r, size_t field, const QVariant& v) {
        Column& c = Cols[field];
        const bool nv = !v.isValid() || v.isNull();
        if (nv && c.IsNull(r))
            return;
        c.Set(r, v);
        ColStamp[field] = ++Version;
    }

    // Row order[k] becomes row k (order holds every row once). Texts stay in their pools; their
    // places move with the rows. Every index is built anew when next asked for.
    void Reorder(const std::vector<quint32>& order) {
        // One scratch array per cell width, swapped with each column in turn: fresh pages
        // cost a fault each.
        std::vector<qint32> i32;
        std::vector<qint64> i64;
        std::vector<double> f64;
        std::vector<quint8> u8;
        std::vector<quint32> u32;
        auto permute = [&](auto& cells, auto& moved) {
            if (cells.size() != Rows)
                return;
            moved.resize(cells.size());
            constexpr quint32 kAhead = 16;
            for (quint32 k = 0; k < Rows; ++k) {
                if (k + kAhead < Rows)
                    __builtin_prefetch(&cells[order[k + kAhead]]);
                moved[k] = cells[order[k]];
            }
            cells.swap(moved);
        };
        for (Column& c : Cols) {
            permute(c.I32, i32);
            permute(c.I64, i64);
            permute(c.F64, f64);
            permute(c.U8, u8);
            permute(c.SOff, u32);
            permute(c.SLen, u32);
            if (std::all_of(c.Nulls.begin(), c.Nulls.end(), [](quint64 w) { return w == 0; }))
                continue;
            std::vector<quint64> nulls(c.Nulls.size(), 0);
            for (quint32 k = 0; k < Rows; ++k)
                nulls[k >> 6] |= quint64(c.IsNull(order[k])) << (k & 63);
            c.Nulls.swap(nulls);
        }
        RowsStamp = ++Version;
        std::fill(ColStamp.begin(), ColStamp.end(), Version);
        std::lock_guard lock(m_mutex);
        m_indexes.clear();
    }

    static QString IndexKey(const std::vector<int>& fields, IndexOptions options) {
        QString key = QString::number(uint(options.toInt()));
        for (int f : fields)
            key += u';' + QString::number(f);
        return key;
    }

    // An order a caller has at hand, as if built now.
    void Adopt(const std::vector<int>& fields, IndexOptions options, std::vector<quint32> order) {
        auto built = std::make_shared<IndexPerm>();
        built->Perm = std::move(order);
        built->BuiltVersion = Version;
        std::lock_guard lock(m_mutex);
        m_indexes[IndexKey(fields, options)] = std::move(built);
    }

    std::shared_ptr<const IndexPerm> Index(const std::vector<int>& fields, IndexOptions options) {
        const QString key = IndexKey(fields, options);
        std::lock_guard lock(m_mutex);
        auto& slot = m_indexes[key];
        if (slot && Valid(*slot, fields))
            return slot;
        auto built = std::make_shared<IndexPerm>();
        built->Perm = Build(fields, options);
        built->BuiltVersion = Version;
        slot = built;
        return slot;
    }

    qint64 IndexBytes() {
        std::lock_guard lock(m_mutex);
        qint64 n = 0;
        for (auto& [k, v] : m_indexes)
            if (v)
                n += qint64(v->Perm.capacity() * sizeof(quint32));
        return n;
    }

private:
    bool Valid(const IndexPerm& p, const std::vector<int>& fields) const {
        if (p.BuiltVersion < RowsStamp)
            return false;
        for (int f : fields)
            if (p.BuiltVersion < ColStamp[size_t(f)])
                return false;
        return true;
    }

    std::vector<quint32> Build(const std::vector<int>& fields, IndexOptions options) const {
        std::vector<quint32> perm(Rows);
        std::iota(perm.begin(), perm.end(), quint32(0));
        if (fields.empty() || Rows < 2)
            return perm;
        const bool desc = options & IndexOption::Descending;
        if (BuildPacked(fields, desc, perm))
            return perm;
        const bool ci = options & IndexOption::CaseInsensitive;
        std::stable_sort(perm.begin(), perm.end(), [&](quint32 a, quint32 b) {
            for (int f : fields) {
                int c = Cols[size_t(f)].Compare(a, b, ci);
                if (c)
                    return desc ? c > 0 : c < 0;
            }
            return false;
        });
        return perm;
    }

    // Integer-valued keys are packed into 64-bit words, the last fields into the lowest word,
    // and sorted by an LSD radix sort from the lowest word up. Every pass is stable, so equal
    // keys keep their row order as in the comparison sort. Date-times usually sit on whole
    // seconds or minutes; dividing by the common step keeps their codes short.
    struct Pair {
        quint64 Key;
        quint32 Row;
    };

    bool BuildPacked(const std::vector<int>& fields, bool desc, std::vector<quint32>& perm) const {
        struct Part {
            const Column* C;
            qint64 Min;
            quint64 Step;
            unsigned Bits;
            quint64 MaxCode;
        };
        std::vector<std::vector<Part>> words(1); // words[0] is the least significant
        unsigned used = 0;
        for (auto f = fields.rbegin(); f != fields.rend(); ++f) {
            const Column& c = Cols[size_t(*f)];
            if (!c.IntegerValued())
                return false;
            qint64 lo = std::numeric_limits<qint64>::max(), hi = std::numeric_limits<qint64>::min();
            c.ForEachInt(Rows, [&](quint32, qint64 v, bool null) {
                if (null)
                    return;
                lo = std::min(lo, v);
                hi = std::max(hi, v);
            });
            if (lo > hi)
                lo = hi = 0;
            quint64 step = 0;
            if (c.Type == FieldType::DateTime) {
                StepDivider div(1);
                for (quint32 r = 0; r < Rows && step != 1; ++r) {
                    const quint64 d = quint64(c.IntAt(r)) - quint64(lo);
                    if (!c.IsNull(r) && (step == 0 || div.Rest(d) != 0)) {
                        step = std::gcd(step, d);
                        div = StepDivider(step);
                    }
                }
            }
            if (step == 0)
                step = 1;
            const quint64 span = (quint64(hi) - quint64(lo)) / step; // codes 1..span+1, 0 = Null
            if (span >= (quint64(1) << 62))
                return false;
            const unsigned bits = unsigned(std::bit_width(span + 1));
            if (used + bits > 64) {
                words.emplace_back();
                used = 0;
            }
            used += bits;
            words.back().push_back({&c, lo, step, bits, span + 1});
        }
        // The sort's scratch words stay with the thread between builds: fresh pages cost a
        // fault each, which on a loaded machine takes longer than the sort itself.
        thread_local std::vector<quint64> keys, spare;
        struct Shrink {
            ~Shrink() {
                constexpr size_t kKeep = size_t(16) << 20; // words kept, 128 MiB
                if (keys.capacity() > kKeep)
                    std::vector<quint64>().swap(keys);
                if (spare.capacity() > kKeep)
                    std::vector<quint64>().swap(spare);
            }
        } shrink;
        const unsigned rowBits = unsigned(std::bit_width(quint64(Rows - 1)));
        for (size_t w = 0; w < words.size(); ++w) {
            const auto& parts = words[w];
            unsigned total = 0;
            for (const Part& p : parts)
                total += p.Bits;
            const bool withRow = words.size() == 1 && total + rowBits <= 64;
            const unsigned base = withRow ? rowBits : 0;
            // Parts were collected least significant first; the first one takes the low bits.
            keys.assign(Rows, 0);
            unsigned shift = base;
            for (const Part& p : parts) {
                // Codes per column type in one tight loop; the division only where a step is.
                const quint64 flip = desc ? p.MaxCode : 0;
                const quint64 min = quint64(p.Min);
                if (shift < 64 && p.Step == 1)
                    p.C->ForEachInt(Rows, [&](quint32 r, qint64 v, bool null) {
                        const quint64 code = null ? 0 : quint64(v) - min + 1;
                        keys[r] |= (desc ? flip - code : code) << shift;
                    });
                else if (shift < 64) {
                    const StepDivider div(p.Step);
                    p.C->ForEachInt(Rows, [&](quint32 r, qint64 v, bool null) {
                        const quint64 code = null ? 0 : div.Quotient(quint64(v) - min) + 1;
                        keys[r] |= (desc ? flip - code : code) << shift;
                    });
                }
                shift += p.Bits;
            }
            if (withRow) {
                // Key and row in one word: the passes read and write memory in order, and equal
                // keys stay in row order.
                for (quint32 r = 0; r < Rows; ++r)
                    keys[r] |= r;
                RadixPasses(keys, spare, base, total, [](quint64 k) { return k; });
                for (quint32 i = 0; i < Rows; ++i)
                    perm[i] = quint32(keys[i] & ((quint64(1) << rowBits) - 1));
                return true;
            }
            // Wider keys: (key, row) pairs in the current order, sorted on this word.
            std::vector<Pair> pairs(Rows), pairTmp;
            if (w == 0)
                for (quint32 i = 0; i < Rows; ++i)
                    pairs[i] = {keys[i], i};
            else
                for (quint32 i = 0; i < Rows; ++i)
                    pairs[i] = {keys[perm[i]], perm[i]};
            RadixPasses(pairs, pairTmp, 0, total, [](const Pair& p) { return p.Key; });
            for (quint32 i = 0; i < Rows; ++i)
                perm[i] = pairs[i].Row;
        }
        return true;
    }

    // Stable LSD passes of 11 bits over bits [from, from + width) of each item's key.
    template <class T, class KeyOf>
    static void RadixPasses(std::vector<T>& items, std::vector<T>& tmp, unsigned from,
                            unsigned width, KeyOf key) {
        constexpr unsigned kDigit = 11;
        constexpr size_t kBuckets = size_t(1) << kDigit;
        tmp.resize(items.size());
        std::vector<size_t> count(kBuckets);
        for (unsigned shift = from; shift < from + width; shift += kDigit) {
            std::fill(count.begin(), count.end(), 0);
            for (const T& t : items)
                ++count[(key(t) >> shift) & (kBuckets - 1)];
            if (count[(key(items[0]) >> shift) & (kBuckets - 1)] == items.size())
                continue; // one digit value only: the pass would not move anything
            size_t sum = 0;
            for (auto& c : count) {
                const size_t n = c;
                c = sum;
                sum += n;
            }
            for (const T& t : items)
                tmp[count[(key(t) >> shift) & (kBuckets - 1)]++] = t;
            items.swap(tmp);
        }
    }

    std::mutex m_mutex;
    std::map<QString, std::shared_ptr<IndexPerm>> m_indexes;
};

// ------------------------------------------------------------------------------ definitions

void FieldDefList::Add(const QString& name, FieldType type, int size, bool calculated) {
    m_items.push_back({name, type, size, calculated});
}

int FieldDefList::IndexOf(QStringView name) const {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (name.compare(m_items[i].Name, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

IndexDef& IndexDefList::Add(const QString& name, const QString& fields, IndexOptions options,
                            int groupingLevel) {
    m_items.push_back({name, fields, options, groupingLevel});
    return m_items.back();
}

const IndexDef* IndexDefList::Find(QStringView name) const {
    for (const auto& d : m_items)
        if (name.compare(d.Name, Qt::CaseInsensitive) == 0)
            return &d;
    return nullptr;
}

int AggregateList::Add(const AggregateDef& def) {
    m_items.push_back({def, nullptr, {}, 0});
    return int(m_items.size()) - 1;
}

void AggregateList::Clear() { m_items.clear(); }

int AggregateList::IndexOf(QStringView name) const {
    for (size_t i = 0; i < m_items.size(); ++i)
        if (name.compare(m_items[i].Def.AggregateName, Qt::CaseInsensitive) == 0)
            return int(i);
    return -1;
}

void AggregateList::Assign(const AggregateList& other) {
    m_items.clear();
    for (const auto& it : other.m_items)
        m_items.push_back({it.Def, nullptr, {}, 0});
}

// ------------------------------------------------------------------------------ cursor

class ClientDataSet::RowReader final : public ExprRow {
public:
    RowReader(const DataStore& s, quint32 row) : m_s(s), m_row(row) {}
    QVariant Value(int field) const override {
        if (field < 0 || size_t(field) >= m_s.Cols.size())
            return {};
        return m_s.Cols[size_t(field)].Get(m_row);
    }

private:
    const DataStore& m_s;
    quint32 m_row;
};

ClientDataSet::ClientDataSet(QString name) : m_name(std::move(name)) {}
ClientDataSet::~ClientDataSet() = default;

void ClientDataSet::RequireActive() const {
    if (!m_store)
        DbError(QStringLiteral("%1: Operation bei geschlossener Datenmenge nicht möglich")
                    .arg(m_name));
}

void ClientDataSet::RequireBrowse() const {
    RequireActive();
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        DbError(QStringLiteral("%1: Datenmenge ist im Bearbeitungsmodus").arg(m_name));
}

void ClientDataSet::ResetCursorState() {
    m_perm.reset();
    m_syncedVersion = ~quint64(0);
    m_pos = 0;
    m_row = -1;
    m_eof = m_bof = true;
    m_buffer.clear();
    InvalidateView();
}

void ClientDataSet::CreateDataSet() {
    if (m_fieldDefs.Count() == 0)
        DbError(QStringLiteral("%1: Keine Felddefinitionen vorhanden").arg(m_name));
    m_store = std::make_shared<DataStore>(m_fieldDefs.Items());
    m_state = DataSetState::Browse;
    ResetCursorState();
    ResolveIndex();
    CompileFilter();
    First();
}

void ClientDataSet::Close() {
    m_store.reset();
    m_state = DataSetState::Inactive;
    m_rangeActive = false;
    m_rangeStart.clear();
    m_rangeEnd.clear();
    m_filterExpr.reset();
    ResetCursorState();
}

void ClientDataSet::EmptyDataSet() {
    RequireActive();
    // A new store: clones of the old one keep their rows.
    m_store = std::make_shared<DataStore>(m_store->Fields);
    m_state = DataSetState::Browse;
    ResetCursorState();
    First();
}

void ClientDataSet::CopyFrom(const ClientDataSet& src) {
    src.RequireActive();
    auto store = std::make_shared<DataStore>(*src.m_store);
    m_fieldDefs = src.m_fieldDefs;
    m_indexDefs = src.m_indexDefs;
    m_store = std::move(store);
    m_state = DataSetState::Browse;
    m_indexName.clear();
    m_keyFields.clear();
    m_rangeActive = false;
    m_rangeStart.clear();
    m_rangeEnd.clear();
    ResetCursorState();
    CompileFilter();
    First();
}

void ClientDataSet::CloneCursor(const ClientDataSet& src, bool reset) {
    src.RequireActive();
    m_store = src.m_store;
    m_fieldDefs = src.m_fieldDefs;
    m_indexDefs = src.m_indexDefs;
    m_state = DataSetState::Browse;
    m_aggregates.Clear();
    if (reset) {
        m_indexName.clear();
        m_keyFields.clear();
        m_indexOptions = {};
        m_rangeActive = false;
        m_rangeStart.clear();
        m_rangeEnd.clear();
        m_filterText.clear();
        m_filtered = false;
        m_filterExpr.reset();
    } else {
        m_indexName = src.m_indexName;
        m_keyFields = src.m_keyFields;
        m_indexOptions = src.m_indexOptions;
        m_rangeActive = src.m_rangeActive;
        m_rangeStart = src.m_rangeStart;
        m_rangeEnd = src.m_rangeEnd;
        m_filterText = src.m_filterText;
        m_filtered = src.m_filtered;
        m_filterOptions = src.m_filterOptions;
        m_filterExpr = src.m_filterExpr;
    }
    ResetCursorState();
    First();
}

void ClientDataSet::ReserveRows(qsizetype rows) {
    RequireActive();
    for (auto& c : m_store->Cols)
        c.Reserve(size_t(std::max<qsizetype>(rows, 0)));
}

long ClientDataSet::StoreUseCount() const { return m_store ? m_store.use_count() : 0; }

int ClientDataSet::FieldIndex(const QString& name) const {
    const int i = FindField(name);
    if (i < 0)
        DbError(ExprMessage(ExprText::FieldNotFound, name));
    return i;
}

// ------------------------------------------------------------------------------ views

quint32 ClientDataSet::PositionCount() const { return m_store ? m_store->Rows : 0; }

quint32 ClientDataSet::RowAt(quint32 pos) const { return m_perm ? m_perm->Perm[pos] : pos; }

void ClientDataSet::Sync() const {
    if (!m_store || m_syncedVersion == m_store->Version)
        return;
    auto* self = const_cast<ClientDataSet*>(this);
    const IndexPerm* before = m_perm.get();
    if (!m_keyFields.empty())
        m_perm = m_store->Index(m_keyFields, m_indexOptions);
    else
        m_perm.reset();
    m_syncedVersion = m_store->Version;
    ++m_generation;
    const quint32 n = PositionCount();
    m_view = {0, n};
    if (m_rangeActive && !m_keyFields.empty()) {
        const size_t ns = std::min(m_rangeStart.size(), m_keyFields.size());
        const size_t ne = std::min(m_rangeEnd.size(), m_keyFields.size());
        quint32 lo = 0, hi = n;
        while (lo < hi) { // first row not below the start key
            const quint32 mid = lo + (hi - lo) / 2;
            if (CompareRowKey(RowAt(mid), m_rangeStart, ns) < 0)
                lo = mid + 1;
            else
                hi = mid;
        }
        quint32 lo2 = lo, hi2 = n;
        while (lo2 < hi2) { // first row above the end key
            const quint32 mid = lo2 + (hi2 - lo2) / 2;
            if (CompareRowKey(RowAt(mid), m_rangeEnd, ne) <= 0)
                lo2 = mid + 1;
            else
                hi2 = mid;
        }
        m_view = {lo, lo2};
    }
    // Keep the current record across a rebuilt permutation.
    if (m_row >= 0 && (m_perm.get() != before || m_pos >= n || RowAt(quint32(m_pos)) != m_row))
        self->Reposition(quint32(m_row));
    if (m_row >= 0 && (m_pos < m_view.Lo || m_pos >= m_view.Hi || !Visible(quint32(m_row))))
        self->SeekFrom(m_view.Lo, +1);
}

void ClientDataSet::Reposition(quint32 row) const {
    if (!m_perm) {
        m_pos = row;
        return;
    }
    const auto& p = m_perm->Perm;
    auto it = std::find(p.begin(), p.end(), row);
    m_pos = it == p.end() ? 0 : qint64(it - p.begin());
}

bool ClientDataSet::Visible(quint32 row) const {
    if (!m_filtered || !m_filterExpr)
        return true;
    return m_filterExpr->Matches(RowReader(*m_store, row));
}

int ClientDataSet::CompareRowKey(quint32 row, const KeyList& key, size_t n) const {
    const bool ci = m_indexOptions & IndexOption::CaseInsensitive;
    const bool desc = m_indexOptions & IndexOption::Descending;
    for (size_t i = 0; i < n; ++i) {
        const KeyValue& k = key[i];
        int c = m_store->Cols[size_t(m_keyFields[i])].CompareKey(row, k, ci);
        if (desc && !std::holds_alternative<MinKey>(k) && !std::holds_alternative<MaxKey>(k))
            c = -c;
        if (c)
            return c;
    }
    return 0;
}

int ClientDataSet::CompareRowsOnKey(quint32 a, quint32 b, int level) const {
    const bool ci = m_indexOptions & IndexOption::CaseInsensitive;
    const int n = std::min(level, int(m_keyFields.size()));
    for (int i = 0; i < n; ++i)
        if (int c = m_store->Cols[size_t(m_keyFields[size_t(i)])].Compare(a, b, ci))
            return c;
    return 0;
}

bool ClientDataSet::SeekFrom(qint64 pos, int dir) {
    for (qint64 p = pos; p >= qint64(m_view.Lo) && p < qint64(m_view.Hi); p += dir) {
        const quint32 row = RowAt(quint32(p));
        if (Visible(row)) {
            m_pos = p;
            m_row = row;
            return true;
        }
    }
    return false;
}

// ------------------------------------------------------------------------------ navigation

void ClientDataSet::First() {
    if (!m_store)
        return;
    Sync();
    const bool found = SeekFrom(m_view.Lo, +1);
    if (!found)
        m_row = -1;
    m_eof = !found;
    m_bof = true;
}

void ClientDataSet::Last() {
    if (!m_store)
        return;
    Sync();
    const bool found = SeekFrom(qint64(m_view.Hi) - 1, -1);
    if (!found)
        m_row = -1;
    m_bof = !found;
    m_eof = true;
}

void ClientDataSet::Next() {
    RequireBrowse();
    Sync();
    if (m_row < 0) {
        m_eof = true;
        return;
    }
    const qint64 keepPos = m_pos, keepRow = m_row;
    if (!SeekFrom(m_pos + 1, +1)) {
        m_pos = keepPos;
        m_row = keepRow;
        m_eof = true;
    } else {
        m_eof = false;
    }
    m_bof = false;
}

void ClientDataSet::Prior() {
    RequireBrowse();
    Sync();
    if (m_row < 0) {
        m_bof = true;
        return;
    }
    const qint64 keepPos = m_pos, keepRow = m_row;
    if (!SeekFrom(m_pos - 1, -1)) {
        m_pos = keepPos;
        m_row = keepRow;
        m_bof = true;
    } else {
        m_bof = false;
    }
    m_eof = false;
}

int ClientDataSet::RecordCount() const {
    if (!m_store)
        return 0;
    Sync();
    if (!m_filtered || !m_filterExpr)
        return int(m_view.Hi - m_view.Lo);
    if (m_countGeneration != m_generation) {
        int n = 0;
        for (quint32 p = m_view.Lo; p < m_view.Hi; ++p)
            n += Visible(RowAt(p)) ? 1 : 0;
        m_countCache = n;
        m_countGeneration = m_generation;
    }
    return m_countCache;
}

bool ClientDataSet::IsEmpty() const { return RecordCount() == 0; }

int ClientDataSet::RecNo() const {
    if (!m_store || m_row < 0)
        return -1;
    Sync();
    if (!m_filtered || !m_filterExpr)
        return int(m_pos - m_view.Lo) + 1;
    int n = 0;
    for (quint32 p = m_view.Lo; p <= quint32(m_pos); ++p)
        n += Visible(RowAt(p)) ? 1 : 0;
    return n;
}

qint64 ClientDataSet::RowId() const { return m_row; }

// ------------------------------------------------------------------------------ values

QVariant ClientDataSet::Value(int field) const {
    if (field < 0 || field >= FieldCount())
        DbError(QStringLiteral("%1: Feldindex %2 außerhalb des gültigen Bereichs")
                    .arg(m_name)
                    .arg(field));
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return m_buffer[size_t(field)];
    if (!m_store || m_row < 0)
        return {};
    return m_store->Cols[size_t(field)].Get(quint32(m_row));
}

bool ClientDataSet::IsNull(int field) const {
    if ((m_state == DataSetState::Browse) && m_store && m_row >= 0 && field >= 0 &&
        field < FieldCount())
        return m_store->Cols[size_t(field)].IsNull(quint32(m_row));
    const QVariant v = Value(field);
    return !v.isValid() || v.isNull();
}

int ClientDataSet::AsInteger(int field) const { return Value(field).toInt(); }
qint64 ClientDataSet::AsLargeInt(int field) const { return Value(field).toLongLong(); }
double ClientDataSet::AsFloat(int field) const { return Value(field).toDouble(); }
QString ClientDataSet::AsString(int field) const { return Value(field).toString(); }

KeyValue ClientDataSet::AsKey(int field) const {
    if (m_state == DataSetState::Browse && m_store && m_row >= 0 && field >= 0 &&
        field < FieldCount())
        return m_store->Cols[size_t(field)].Key(quint32(m_row));
    return KeyFromVariant(Value(field));
}

void ClientDataSet::SetValue(int field, const QVariant& value) {
    if (m_state != DataSetState::Edit && m_state != DataSetState::Insert)
        DbError(QStringLiteral("%1: Datenmenge ist nicht im Bearbeitungs- oder Einfügemodus")
                    .arg(m_name));
    if (field < 0 || field >= FieldCount())
        DbError(QStringLiteral("%1: Feldindex %2 außerhalb des gültigen Bereichs")
                    .arg(m_name)
                    .arg(field));
    m_buffer[size_t(field)] = value;
}

// ------------------------------------------------------------------------------ bulk access

std::vector<quint32> ClientDataSet::VisibleRowIds() const {
    std::vector<quint32> rows;
    if (!m_store)
        return rows;
    Sync();
    rows.reserve(m_view.Hi - m_view.Lo);
    for (quint32 p = m_view.Lo; p < m_view.Hi; ++p) {
        const quint32 row = RowAt(p);
        if (Visible(row))
            rows.push_back(row);
    }
    return rows;
}

constexpr qint64 kAnyRow = -2; // field check only

void ClientDataSet::CheckCell(qint64 row, int field) const {
    RequireActive();
    if (field < 0 || field >= FieldCount())
        DbError(QStringLiteral("%1: Feldindex %2 außerhalb des gültigen Bereichs")
                    .arg(m_name)
                    .arg(field));
    if (row != kAnyRow && (row < 0 || row >= qint64(m_store->Rows)))
        DbError(QStringLiteral("%1: Datensatz %2 existiert nicht").arg(m_name).arg(row));
}

QVariant ClientDataSet::ValueAt(qint64 row, int field) const {
    CheckCell(kAnyRow, field);
    if (row < 0 || row >= qint64(m_store->Rows))
        return {};
    return m_store->Cols[size_t(field)].Get(quint32(row));
}

KeyValue ClientDataSet::KeyAt(qint64 row, int field) const {
    CheckCell(row, field);
    return m_store->Cols[size_t(field)].Key(quint32(row));
}

int ClientDataSet::CompareRows(qint64 a, qint64 b, int level) const {
    CheckCell(a, 0);
    CheckCell(b, 0);
    return CompareRowsOnKey(quint32(a), quint32(b), level);
}

void ClientDataSet::SetRowValue(qint64 row, int field, const QVariant& value) {
    RequireBrowse();
    CheckCell(row, field);
    m_store->UpdateCell(quint32(row), size_t(field), value);
}

void ClientDataSet::ReadIntegers(int field, std::vector<qint64>& out, qint64 nullValue) const {
    CheckCell(kAnyRow, field);
    const Column& c = m_store->Cols[size_t(field)];
    if (c.Type != FieldType::Integer && c.Type != FieldType::LargeInt &&
        c.Type != FieldType::Boolean)
        DbError(QStringLiteral("%1: Feld '%2' ist kein ganzzahliges Feld").arg(m_name, c.Name));
    const quint32 rows = m_store->Rows;
    out.resize(rows);
    c.ForEachInt(rows, [&](quint32 r, qint64 v, bool null) { out[r] = null ? nullValue : v; });
}

ClientDataSet::IntegerCells ClientDataSet::IntegerCellsOf(int field) const {
    CheckCell(kAnyRow, field);
    const Column& c = m_store->Cols[size_t(field)];
    if (!c.IntegerValued())
        DbError(QStringLiteral("%1: Feld '%2' ist kein ganzzahliges Feld").arg(m_name, c.Name));
    IntegerCells cells;
    cells.Rows = m_store->Rows;
    cells.Nulls = c.Nulls.data();
    switch (c.Type) {
    case FieldType::Integer:
    case FieldType::Date: cells.I32 = c.I32.data(); break;
    case FieldType::Boolean: cells.U8 = c.U8.data(); break;
    default: cells.I64 = c.I64.data(); break;
    }
    return cells;
}

ClientDataSet::Cells ClientDataSet::CellsOf(int field) const {
    CheckCell(kAnyRow, field);
    const Column& c = m_store->Cols[size_t(field)];
    Cells cells;
    cells.m_store = m_store;
    cells.m_column = &c;
    cells.m_field = size_t(field);
    cells.m_type = c.Type;
    cells.m_rows = m_store->Rows;
    cells.m_rowsStamp = m_store->RowsStamp;
    cells.m_nulls = c.Nulls.data();
    switch (c.Type) {
    case FieldType::Integer:
    case FieldType::Date: cells.m_i32 = c.I32.data(); break;
    case FieldType::LargeInt:
    case FieldType::Currency:
    case FieldType::DateTime: cells.m_i64 = c.I64.data(); break;
    case FieldType::Float: cells.m_f64 = c.F64.data(); break;
    case FieldType::Boolean: cells.m_u8 = c.U8.data(); break;
    case FieldType::String: break;
    }
    return cells;
}

bool ClientDataSet::Cells::Current() const {
    return m_store && m_store->RowsStamp == m_rowsStamp;
}

QAnyStringView ClientDataSet::Cells::Text(quint32 r) const {
    return m_type == FieldType::String ? m_column->Str(r) : QAnyStringView();
}

quint64 ClientDataSet::Cells::Stamp() const {
    return m_store ? std::max(m_store->RowsStamp, m_store->ColStamp[m_field]) : 0;
}

namespace {

// Rows ahead of the one read whose cells are fetched early: where the rows of a gather do not
// lie together, a miss each would otherwise be waited for one by one.
constexpr size_t kAhead = 16;
// Rows taken as one block: when they follow each other in the store (a store kept in the
// order it is read in), the block is read straight through, without a look ahead or a test
// per row when none of them is Null.
constexpr size_t kRun = 64;

template <class Read, class Touch>
void GatherRows(const qint32* rows, size_t n, quint32 limit, const quint64* nulls, quint8* null,
                Read&& read, Touch&& touch) {
    auto one = [&](size_t i) {
        if (i + kAhead < n) {
            const quint32 ahead = quint32(rows[i + kAhead]);
            if (ahead < limit) {
                __builtin_prefetch(&nulls[ahead >> 6]);
                touch(ahead);
            }
        }
        const quint32 r = quint32(rows[i]); // -1 lands past the limit
        if (r >= limit || ((nulls[r >> 6] >> (r & 63)) & 1u))
            return;
        null[i] = 0;
        read(i, r);
    };
    size_t i = 0;
    for (; i + kRun <= n; i += kRun) {
        const quint32 first = quint32(rows[i]);
        quint32 apart = first < limit && limit - first >= kRun ? 0 : 1;
        for (size_t k = 0; k < kRun; ++k)
            apart |= quint32(rows[i + k]) ^ (first + quint32(k));
        if (apart != 0) {
            for (size_t k = 0; k < kRun; ++k)
                one(i + k);
            continue;
        }
        const quint64 nullBits = nulls[first >> 6] | nulls[(first + kRun - 1) >> 6];
        if (nullBits == 0) {
            std::memset(null + i, 0, kRun);
            for (size_t k = 0; k < kRun; ++k)
                read(i + k, first + quint32(k));
            continue;
        }
        for (size_t k = 0; k < kRun; ++k) {
            const quint32 r = first + quint32(k);
            if ((nulls[r >> 6] >> (r & 63)) & 1u)
                continue;
            null[i + k] = 0;
            read(i + k, r);
        }
    }
    for (; i < n; ++i)
        one(i);
}

} // namespace

void ClientDataSet::Cells::GatherIntegers(const qint32* rows, size_t n, quint8* null,
                                          qint64* out) const {
    auto gather = [&](const auto* values) {
        GatherRows(
            rows, n, m_rows, m_nulls, null, [&](size_t i, quint32 r) { out[i] = values[r]; },
            [&](quint32 r) { __builtin_prefetch(&values[r]); });
    };
    if (m_i32)
        gather(m_i32);
    else if (m_i64)
        gather(m_i64);
    else if (m_u8)
        gather(m_u8);
}

void ClientDataSet::Cells::GatherReals(const qint32* rows, size_t n, quint8* null,
                                       double* out) const {
    if (m_f64)
        GatherRows(
            rows, n, m_rows, m_nulls, null, [&](size_t i, quint32 r) { out[i] = m_f64[r]; },
            [&](quint32 r) { __builtin_prefetch(&m_f64[r]); });
    else if (m_type != FieldType::String)
        GatherRows(
            rows, n, m_rows, m_nulls, null, [&](size_t i, quint32 r) { out[i] = Real(r); },
            [&](quint32 r) { __builtin_prefetch(m_i64 ? (const void*)&m_i64[r] : m_nulls); });
}

void ClientDataSet::Cells::GatherTexts(const qint32* rows, size_t n, quint8* null,
                                       QAnyStringView* out) const {
    if (m_type != FieldType::String)
        return;
    const Column& c = *m_column;
    const quint32* offsets = c.SOff.data();
    const quint32* lengths = c.SLen.data();
    GatherRows(
        rows, n, m_rows, m_nulls, null,
        [&](size_t i, quint32 r) {
            const quint32 length = lengths[r];
            if (length == 0) {
                out[i] = QLatin1StringView("", qsizetype(0));
                return;
            }
            const char* at = c.Pool.At(offsets[r]);
            out[i] = length & Column::kWide
                         ? QAnyStringView(QStringView(reinterpret_cast<const char16_t*>(at),
                                                      qsizetype(length & ~Column::kWide)))
                         : QAnyStringView(QLatin1StringView(at, qsizetype(length)));
        },
        [&](quint32 r) {
            __builtin_prefetch(&offsets[r]);
            __builtin_prefetch(&lengths[r]);
        });
}

void ClientDataSet::Cells::GatherEpochMs(const qint32* rows, size_t n, quint8* null, qint64* out,
                                         LocalTimes& zone) const {
    if (m_type != FieldType::DateTime)
        return;
    GatherRows(
        rows, n, m_rows, m_nulls, null,
        [&](size_t i, quint32 r) { out[i] = zone.EpochMs(m_i64[r]); },
        [&](quint32 r) { __builtin_prefetch(&m_i64[r]); });
}

namespace {

// Seconds east of UTC at a UTC instant: one answer, unlike the way back from a wall clock.
int OffsetAt(qint64 utcSecs) {
    const time_t t = time_t(utcSecs);
    tm parts{};
    return localtime_r(&t, &parts) ? int(parts.tm_gmtoff) : 0;
}

} // namespace

// Every change of offset that can move a wall-clock time of the day: one at UTC t moves the
// times between t + before and t + after, and no zone's offset lies beyond 16 hours either way.
// The offset is probed every 8 hours (no zone changes and changes back within that) and each
// change found to the second.
ClientDataSet::LocalTimes::Changes ClientDataSet::LocalTimes::ChangesNear(qint64 day,
                                                                          qint32* steady) {
    constexpr qint64 kReach = 16 * 3600, kStep = 8 * 3600;
    const qint64 start = FloorDiv(day * kMsecsPerDay - kUnixEpochPacked, 1000);
    Changes changes;
    qint64 prev = start - kReach;
    int prevOffset = OffsetAt(prev);
    *steady = prevOffset * 1000;
    for (qint64 next = prev + kStep; next <= start + 86400 + kReach; next += kStep) {
        const int nextOffset = OffsetAt(next);
        while (prevOffset != nextOffset) {
            qint64 lo = prev, hi = next;
            int hiOffset = nextOffset;
            while (hi - lo > 1) {
                const qint64 mid = lo + (hi - lo) / 2;
                const int o = OffsetAt(mid);
                if (o == prevOffset) {
                    lo = mid;
                } else {
                    hi = mid;
                    hiOffset = o;
                }
            }
            changes.push_back({hi * 1000, prevOffset * 1000, hiOffset * 1000});
            prev = hi;
            prevOffset = hiOffset;
        }
        prev = next;
    }
    return changes;
}

// Reading i (the offset before change i, or after the last) holds where the time lies between
// the change before it and the one after it; `reached`: the last reading whose start the time
// reaches (the later of two, the earlier offset across a gap).
int ClientDataSet::LocalTimes::Readings(const Changes& changes, qint64 packed, qint32 offsets[2],
                                        size_t* reached) {
    const qint64 wall = packed - kUnixEpochPacked;
    const size_t n = changes.size();
    int holding = 0;
    *reached = 0;
    for (size_t i = 0; i <= n; ++i) {
        const qint32 offset = i == 0 ? changes[0].Before : changes[i - 1].After;
        const qint64 at = wall - offset;
        if (i > 0 && at < changes[i - 1].AtMs)
            continue;
        *reached = i;
        if ((i == n || at < changes[i].AtMs) && holding < 2)
            offsets[holding++] = offset;
    }
    return holding;
}

// One reading that holds is the answer; where two do or none does, QDateTime in the system's
// zone decides, or where that names no reading (a zone the C library reads otherwise), the last
// reading the time reaches.
qint64 ClientDataSet::LocalTimes::Convert(const Changes& changes, qint64 packed) {
    const qint64 wall = packed - kUnixEpochPacked;
    qint32 offsets[2];
    size_t reached = 0;
    if (Readings(changes, packed, offsets, &reached) == 1)
        return wall - offsets[0];
    if (!m_haveZone) {
        m_zone = QTimeZone::systemTimeZone();
        m_haveZone = true;
    }
    int ms = 0;
    const QDate date = DateOf(packed, &ms);
    const qint64 qt =
        QDateTime(date, QTime::fromMSecsSinceStartOfDay(ms), m_zone).toMSecsSinceEpoch();
    for (size_t i = 0; i <= changes.size(); ++i)
        if (qt == wall - (i == 0 ? changes[0].Before : changes[i - 1].After))
            return qt;
    return wall - (reached == 0 ? changes[0].Before : changes[reached - 1].After);
}

bool ClientDataSet::LocalTimes::TwiceAlikeSlow(qint64 packed) {
    const qint64 day = FloorDiv(packed, kMsecsPerDay);
    const quint64 at = quint64(day - m_firstDay);
    Changes far;
    const Changes* changes = &far;
    if (at < m_offsets.size() && m_offsets[at] >= kFirstChanging &&
        m_offsets[at] <= kLastChanging) {
        changes = &m_changing[size_t(m_offsets[at] - kFirstChanging)];
    } else {
        qint32 steady = 0;
        far = ChangesNear(day, &steady);
    }
    qint32 offsets[2];
    size_t reached = 0;
    if (changes->empty() || Readings(*changes, packed, offsets, &reached) < 2)
        return false;
    auto summerTime = [&](qint32 offset) {
        const time_t t = time_t(FloorDiv(packed - kUnixEpochPacked - offset, 1000));
        tm parts{};
        return localtime_r(&t, &parts) && parts.tm_isdst > 0;
    };
    return summerTime(offsets[0]) == summerTime(offsets[1]);
}

qint64 ClientDataSet::LocalTimes::Slow(qint64 day, qint64 packed) {
    // Far from the days seen so far: not worth a table that long.
    constexpr qint64 kMaxDays = 1 << 17;
    const qint64 lo = m_offsets.empty() ? day : std::min(m_firstDay, day);
    const qint64 hi = m_offsets.empty() ? day : std::max(m_firstDay + qint64(m_offsets.size()) - 1, day);
    if (m_offsets.empty())
        tzset(); // the C library reads a TZ changed meanwhile only when asked to
    if (hi - lo >= kMaxDays) {
        qint32 steady = 0;
        const Changes changes = ChangesNear(day, &steady);
        return changes.empty() ? packed - kUnixEpochPacked - steady : Convert(changes, packed);
    }
    if (m_offsets.empty() || lo < m_firstDay) {
        std::vector<qint32> wider(size_t(hi - lo + 1), kUnknown);
        std::copy(m_offsets.begin(), m_offsets.end(), wider.begin() + (m_firstDay - lo));
        m_offsets.swap(wider);
        m_firstDay = lo;
    } else if (hi - m_firstDay >= qint64(m_offsets.size())) {
        m_offsets.resize(size_t(hi - m_firstDay + 1), kUnknown);
    }
    qint32& slot = m_offsets[size_t(day - m_firstDay)];
    if (slot == kUnknown) {
        qint32 steady = 0;
        Changes changes = ChangesNear(day, &steady);
        // Only a change that moves a time of this very day makes it a changing one.
        const qint64 dayStart = day * kMsecsPerDay - kUnixEpochPacked;
        const bool reached = std::any_of(changes.begin(), changes.end(), [&](const Change& c) {
            return c.AtMs + std::min(c.Before, c.After) < dayStart + kMsecsPerDay &&
                   c.AtMs + std::max(c.Before, c.After) > dayStart;
        });
        if (!reached) {
            slot =
                changes.empty() ? steady : qint32(dayStart - Convert(changes, day * kMsecsPerDay));
        } else if (m_changing.size() < size_t(kLastChanging - kFirstChanging)) {
            slot = kFirstChanging + qint32(m_changing.size());
            m_changing.push_back(std::move(changes));
        } else {
            return Convert(changes, packed);
        }
    }
    if (slot > kLastChanging)
        return packed - kUnixEpochPacked - slot;
    return Convert(m_changing[size_t(slot - kFirstChanging)], packed);
}

bool ClientDataSet::IntegerCells::HasNulls() const {
    for (quint32 w = 0; w < (Rows + 63) / 64; ++w) {
        const quint64 valid = Rows - w * 64 >= 64 ? ~quint64(0)
                                                  : (quint64(1) << (Rows - w * 64)) - 1;
        if (Nulls[w] & valid)
            return true;
    }
    return false;
}

ClientDataSet::IntegerWriter::IntegerWriter(ClientDataSet& ds, int field)
    : m_store((ds.RequireBrowse(), ds.CheckCell(kAnyRow, field), *ds.m_store)),
      m_column(m_store.Cols[size_t(field)]), m_field(size_t(field)) {
    if (m_column.Type != FieldType::Integer)
        DbError(QStringLiteral("%1: Feld '%2' ist kein Integer-Feld").arg(ds.m_name, m_column.Name));
}

ClientDataSet::IntegerWriter::~IntegerWriter() {
    if (m_changed)
        m_store.ColStamp[m_field] = ++m_store.Version;
}

void ClientDataSet::IntegerWriter::Set(quint32 row, qint32 value) {
    m_column.I32[row] = value;
    m_column.SetNullBit(row, false);
    m_changed = true;
}

void ClientDataSet::AdoptIndexOrder(const std::vector<int>& fields, IndexOptions options,
                                    std::vector<quint32> order) {
    RequireBrowse();
    if (order.size() != m_store->Rows)
        DbError(QStringLiteral("%1: Reihenfolge mit %2 statt %3 Zeilen")
                    .arg(m_name)
                    .arg(order.size())
                    .arg(m_store->Rows));
    for (int f : fields)
        CheckCell(kAnyRow, f);
    m_store->Adopt(fields, options, std::move(order));
    m_syncedVersion = ~quint64(0);
}

void ClientDataSet::ReorderRows(const std::vector<quint32>& order) {
    RequireBrowse();
    if (m_store.use_count() != 1)
        DbError(QStringLiteral("%1: Zeilen eines geteilten Speichers lassen sich nicht umordnen")
                    .arg(m_name));
    const quint32 rows = m_store->Rows;
    std::vector<bool> seen(rows, false);
    bool whole = order.size() == rows;
    for (size_t k = 0; whole && k < order.size(); ++k) {
        whole = order[k] < rows && !seen[order[k]];
        if (whole)
            seen[order[k]] = true;
    }
    if (!whole)
        DbError(QStringLiteral("%1: Reihenfolge nennt nicht jede der %2 Zeilen genau einmal")
                    .arg(m_name)
                    .arg(rows));
    Sync();
    const bool inIndexOrder = m_perm && !m_rangeActive && m_perm->Perm == order;
    m_store->Reorder(order);
    // The current index in that order is the rows as they lie now.
    if (inIndexOrder) {
        std::vector<quint32> identity(rows);
        std::iota(identity.begin(), identity.end(), quint32(0));
        m_store->Adopt(m_keyFields, m_indexOptions, std::move(identity));
    }
    m_syncedVersion = ~quint64(0);
    First();
}

void ClientDataSet::WriteIntegers(int field, const std::vector<int>& values, int keep) {
    RequireBrowse();
    CheckCell(kAnyRow, field);
    Column& c = m_store->Cols[size_t(field)];
    const quint32 rows = std::min(m_store->Rows, quint32(values.size()));
    if (c.Type != FieldType::Integer && c.Type != FieldType::LargeInt)
        DbError(QStringLiteral("%1: Feld '%2' ist kein ganzzahliges Feld").arg(m_name, c.Name));
    bool changed = false;
    for (quint32 r = 0; r < rows; ++r) {
        const int v = values[r];
        if (v == keep || (!c.IsNull(r) && c.IntAt(r) == v))
            continue;
        if (c.Type == FieldType::Integer)
            c.I32[r] = v;
        else
            c.I64[r] = v;
        c.SetNullBit(r, false);
        changed = true;
    }
    if (changed)
        m_store->ColStamp[size_t(field)] = ++m_store->Version;
}

// ------------------------------------------------------------------------------ row appender

ClientDataSet::RowAppender::RowAppender(ClientDataSet& ds)
    : m_ds(ds), m_store((ds.RequireBrowse(), *ds.m_store)), m_storeRows(&m_store.Rows),
      m_storeVersion(&m_store.Version), m_storeRowsStamp(&m_store.RowsStamp) {
    for (Column& c : m_store.Cols) {
        Slot slot;
        slot.Type = c.Type;
        switch (c.Type) {
        case FieldType::Integer: slot.I32 = &c.I32; break;
        case FieldType::LargeInt: slot.I64 = &c.I64; break;
        case FieldType::Float: slot.F64 = &c.F64; break;
        case FieldType::Boolean: slot.U8 = &c.U8; break;
        default: slot.Type = FieldType::String; break; // the general way
        }
        m_slots.push_back(slot);
    }
}

ClientDataSet::RowAppender::~RowAppender() {
    if (!m_open)
        return;
    const quint32 r = m_store.Rows;
    for (auto& c : m_store.Cols) {
        c.Truncate(r);
        // The word of the dropped row stays for the rows before it: its bit goes back to 0.
        if ((r & 63) != 0)
            c.SetNullBit(r, false);
    }
}

// Each cell is written once: a row's null bits start as 0 (a new word every 64 rows), the
// setters append their cell, and EndRow appends Null cells only for the fields no setter gave.
void ClientDataSet::RowAppender::BeginRowSlow() {
    if (m_open)
        DbError(QStringLiteral("%1: Zeile bereits begonnen").arg(m_ds.m_name));
    const quint32 r = m_store.Rows;
    if (r == std::numeric_limits<quint32>::max())
        DbError(QStringLiteral("Zu viele Datensätze"));
    if ((r & 63) == 0)
        for (auto& c : m_store.Cols)
            c.Nulls.push_back(0);
    m_row = r; // batches may have appended rows since the last one
    m_given = 0;
    m_open = true;
}

// The row's cell of a field for a conversion through Column::Set, which writes in place.
void ClientDataSet::RowAppender::Cell(Column& c) {
    if (c.Count() == m_store.Rows) {
        c.PushZero();
        ++m_given;
    }
}

template <class Vec, class T>
void ClientDataSet::RowAppender::Put(Column& c, Vec& cells, T value) {
    const quint32 r = m_store.Rows;
    if (cells.size() == r) {
        cells.push_back(value);
        ++m_given;
    } else {
        // The same field again in one row: the later value counts.
        cells[r] = value;
        c.SetNullBit(r, false);
    }
}

Column& ClientDataSet::RowAppender::Col(int field) {
    if (!m_open)
        DbError(QStringLiteral("%1: Keine Zeile begonnen").arg(m_ds.m_name));
    if (field < 0 || size_t(field) >= m_store.Cols.size())
        DbError(QStringLiteral("%1: Feldindex %2 außerhalb des gültigen Bereichs")
                    .arg(m_ds.m_name)
                    .arg(field));
    return m_store.Cols[size_t(field)];
}

void ClientDataSet::RowAppender::SetIntegerSlow(int field, qint64 v) {
    Column& c = Col(field);
    if (c.Type == FieldType::Integer && v >= std::numeric_limits<qint32>::min() &&
        v <= std::numeric_limits<qint32>::max())
        return Put(c, c.I32, qint32(v));
    if (c.Type == FieldType::LargeInt)
        return Put(c, c.I64, v);
    Cell(c);
    c.Set(m_store.Rows, QVariant(v));
}

void ClientDataSet::RowAppender::SetFloatSlow(int field, double v) {
    Column& c = Col(field);
    if (c.Type == FieldType::Float)
        return Put(c, c.F64, v);
    Cell(c);
    c.Set(m_store.Rows, QVariant(v));
}

void ClientDataSet::RowAppender::SetCurrency(int field, Currency v) {
    Column& c = Col(field);
    if (c.Type == FieldType::Currency)
        return Put(c, c.I64, v.Scaled);
    Cell(c);
    c.Set(m_store.Rows, QVariant(v.ToDouble()));
}

void ClientDataSet::RowAppender::SetBooleanSlow(int field, bool v) {
    Column& c = Col(field);
    if (c.Type == FieldType::Boolean)
        return Put(c, c.U8, quint8(v ? 1 : 0));
    Cell(c);
    c.Set(m_store.Rows, QVariant(v));
}

void ClientDataSet::RowAppender::SetString(int field, QStringView v) {
    Column& c = Col(field);
    Cell(c);
    if (c.Type != FieldType::String)
        return c.Set(m_store.Rows, QVariant(v.toString()));
    c.AppendToPool(m_store.Rows, reinterpret_cast<const char16_t*>(v.utf16()), size_t(v.size()));
}

void ClientDataSet::RowAppender::SetStringUtf8(int field, std::string_view utf8) {
    Column& c = Col(field);
    if (c.Type != FieldType::String) {
        Cell(c);
        return c.Set(m_store.Rows, QString::fromUtf8(utf8.data(), qsizetype(utf8.size())));
    }
    Cell(c);
    // Plain ASCII, the usual case, is stored as it comes.
    const bool ascii = std::all_of(utf8.begin(), utf8.end(), [](char ch) {
        return static_cast<unsigned char>(ch) < 0x80;
    });
    if (ascii)
        return c.AppendLatin1(m_store.Rows, utf8);
    const QString s = QString::fromUtf8(utf8.data(), qsizetype(utf8.size()));
    c.AppendToPool(m_store.Rows, reinterpret_cast<const char16_t*>(s.utf16()), size_t(s.size()));
}

void ClientDataSet::RowAppender::SetDate(int field, const QDate& d) {
    Column& c = Col(field);
    if (c.Type == FieldType::Date && d.isValid())
        return Put(c, c.I32, qint32(d.toJulianDay()));
    Cell(c);
    c.Set(m_store.Rows, QVariant(d));
}

void ClientDataSet::RowAppender::SetDateTime(int field, const QDate& d, int msecsOfDay) {
    Column& c = Col(field);
    if (c.Type == FieldType::DateTime && d.isValid() && msecsOfDay >= 0 &&
        msecsOfDay < kMsecsPerDay)
        return Put(c, c.I64, d.toJulianDay() * kMsecsPerDay + msecsOfDay);
    Cell(c);
    c.Set(m_store.Rows, QVariant(QDateTime(d, QTime::fromMSecsSinceStartOfDay(msecsOfDay))));
}

void ClientDataSet::RowAppender::SetValue(int field, const QVariant& v) {
    Column& c = Col(field);
    Cell(c);
    c.Set(m_store.Rows, v);
}

void ClientDataSet::RowAppender::EndRowSlow() {
    if (!m_open)
        DbError(QStringLiteral("%1: Keine Zeile begonnen").arg(m_ds.m_name));
    // The fields no setter gave are Null.
    if (m_given != m_store.Cols.size()) {
        const quint32 r = m_store.Rows;
        for (auto& c : m_store.Cols)
            if (c.Count() == r) {
                c.PushZero();
                c.SetNullBit(r, true);
            }
    }
    m_open = false;
    m_ds.m_row = m_store.Rows;
    ++m_store.Rows;
    m_store.RowsStamp = ++m_store.Version;
    m_ds.m_eof = m_ds.m_bof = false;
}

// ------------------------------------------------------------------------------ batch appender

ClientDataSet::BatchAppender::BatchAppender(ClientDataSet& ds, quint32 rows)
    : m_ds(ds), m_store((ds.RequireBrowse(), *ds.m_store)), m_rows(rows) {
    if (quint64(m_store.Rows) + rows >= std::numeric_limits<quint32>::max())
        DbError(QStringLiteral("Zu viele Datensätze"));
    // Null words for the batch, all clear: each cell sets its bit only when it is Null.
    const size_t words = (size_t(m_store.Rows) + rows + 63) / 64;
    for (auto& c : m_store.Cols)
        c.Nulls.resize(words, 0);
}

ClientDataSet::BatchAppender::~BatchAppender() {
    if (m_ended)
        return;
    const quint32 r = m_store.Rows;
    for (auto& c : m_store.Cols) {
        c.Truncate(r);
        // The kept rows' last word loses the bits of the dropped rows.
        if ((r & 63) != 0)
            c.Nulls[r >> 6] &= (quint64(1) << (r & 63)) - 1;
    }
}

Column& ClientDataSet::BatchAppender::Take(int field) {
    if (m_ended)
        DbError(QStringLiteral("%1: Stapel bereits abgeschlossen").arg(m_ds.m_name));
    if (field < 0 || size_t(field) >= m_store.Cols.size())
        DbError(QStringLiteral("%1: Feldindex %2 außerhalb des gültigen Bereichs")
                    .arg(m_ds.m_name)
                    .arg(field));
    Column& c = m_store.Cols[size_t(field)];
    if (c.Count() != m_store.Rows)
        DbError(QStringLiteral("%1: Feld '%2' hat seine Werte schon").arg(m_ds.m_name, c.Name));
    return c;
}

namespace {
// The batch's cells of one column: typed where the kinds agree, else through QVariant.
template <class Vec, class In, class Conv>
void AppendCells(Column& c, Vec& cells, quint32 first, quint32 n, const In* values,
                 const quint8* nulls, Conv convert) {
    if (!nulls) {
        if constexpr (std::is_same_v<typename Vec::value_type, In>)
            cells.insert(cells.end(), values, values + n); // a plain copy
        else
            for (quint32 i = 0; i < n; ++i)
                cells.push_back(convert(values[i]));
        return;
    }
    for (quint32 i = 0; i < n; ++i) {
        if (nulls && nulls[i]) {
            cells.push_back(0);
            c.SetNullBit(first + i, true);
        } else {
            cells.push_back(convert(values[i]));
        }
    }
}
template <class In, class ToVariant>
void AppendConverted(Column& c, quint32 first, quint32 n, const In* values, const quint8* nulls,
                     ToVariant toVariant) {
    for (quint32 i = 0; i < n; ++i) {
        c.PushZero();
        c.Set(first + i, nulls && nulls[i] ? QVariant() : toVariant(values[i]));
    }
}
} // namespace

void ClientDataSet::BatchAppender::Integers(int field, const qint64* values, const quint8* nulls) {
    Column& c = Take(field);
    const quint32 r = m_store.Rows;
    if (c.Type == FieldType::LargeInt)
        return AppendCells(c, c.I64, r, m_rows, values, nulls, [](qint64 v) { return v; });
    if (c.Type == FieldType::Integer) {
        bool fits = true;
        for (quint32 i = 0; i < m_rows && fits; ++i)
            fits = (nulls && nulls[i]) || (values[i] >= std::numeric_limits<qint32>::min() &&
                                           values[i] <= std::numeric_limits<qint32>::max());
        if (fits)
            return AppendCells(c, c.I32, r, m_rows, values, nulls,
                               [](qint64 v) { return qint32(v); });
    }
    AppendConverted(c, r, m_rows, values, nulls, [](qint64 v) { return QVariant(v); });
}

void ClientDataSet::BatchAppender::Integers(int field, const qint32* values, const quint8* nulls) {
    Column& c = Take(field);
    const quint32 r = m_store.Rows;
    if (c.Type == FieldType::Integer)
        return AppendCells(c, c.I32, r, m_rows, values, nulls, [](qint32 v) { return v; });
    if (c.Type == FieldType::LargeInt)
        return AppendCells(c, c.I64, r, m_rows, values, nulls, [](qint32 v) { return qint64(v); });
    AppendConverted(c, r, m_rows, values, nulls, [](qint32 v) { return QVariant(v); });
}

void ClientDataSet::BatchAppender::Floats(int field, const double* values, const quint8* nulls) {
    Column& c = Take(field);
    if (c.Type == FieldType::Float)
        return AppendCells(c, c.F64, m_store.Rows, m_rows, values, nulls, [](double v) { return v; });
    AppendConverted(c, m_store.Rows, m_rows, values, nulls, [](double v) { return QVariant(v); });
}

void ClientDataSet::BatchAppender::Booleans(int field, const quint8* values, const quint8* nulls) {
    Column& c = Take(field);
    if (c.Type == FieldType::Boolean)
        return AppendCells(c, c.U8, m_store.Rows, m_rows, values, nulls,
                           [](quint8 v) { return quint8(v ? 1 : 0); });
    AppendConverted(c, m_store.Rows, m_rows, values, nulls,
                    [](quint8 v) { return QVariant(v != 0); });
}

void ClientDataSet::BatchAppender::Dates(int field, const qint32* julianDays, const quint8* nulls) {
    Column& c = Take(field);
    if (c.Type == FieldType::Date)
        return AppendCells(c, c.I32, m_store.Rows, m_rows, julianDays, nulls,
                           [](qint32 v) { return v; });
    AppendConverted(c, m_store.Rows, m_rows, julianDays, nulls,
                    [](qint32 v) { return QVariant(QDate::fromJulianDay(v)); });
}

void ClientDataSet::BatchAppender::DateTimes(int field, const qint64* packed, const quint8* nulls) {
    Column& c = Take(field);
    if (c.Type == FieldType::DateTime)
        return AppendCells(c, c.I64, m_store.Rows, m_rows, packed, nulls,
                           [](qint64 v) { return v; });
    AppendConverted(c, m_store.Rows, m_rows, packed, nulls,
                    [](qint64 v) { return QVariant(UnpackDateTime(v)); });
}

void ClientDataSet::BatchAppender::StringsUtf8(int field, const std::string_view* values,
                                               const quint8* nulls) {
    Column& c = Take(field);
    const quint32 first = m_store.Rows;
    for (quint32 i = 0; i < m_rows; ++i) {
        const quint32 r = first + i;
        c.PushZero();
        if (nulls && nulls[i]) {
            c.SetNullBit(r, true);
            continue;
        }
        const std::string_view s = values[i];
        if (c.Type != FieldType::String) {
            c.Set(r, QString::fromUtf8(s.data(), qsizetype(s.size())));
            continue;
        }
        const bool ascii = std::all_of(s.begin(), s.end(), [](char ch) {
            return static_cast<unsigned char>(ch) < 0x80;
        });
        if (ascii) {
            c.AppendLatin1(r, s);
        } else {
            const QString text = QString::fromUtf8(s.data(), qsizetype(s.size()));
            c.AppendToPool(r, reinterpret_cast<const char16_t*>(text.utf16()), size_t(text.size()));
        }
    }
}

void ClientDataSet::BatchAppender::End() {
    if (m_ended)
        DbError(QStringLiteral("%1: Stapel bereits abgeschlossen").arg(m_ds.m_name));
    const quint32 first = m_store.Rows;
    for (auto& c : m_store.Cols)
        if (c.Count() == first)
            for (quint32 i = 0; i < m_rows; ++i) {
                c.PushZero();
                c.SetNullBit(first + i, true);
            }
    m_ended = true;
    if (m_rows == 0)
        return;
    m_store.Rows += m_rows;
    m_store.RowsStamp = ++m_store.Version;
    m_ds.m_row = m_store.Rows - 1;
    m_ds.m_eof = m_ds.m_bof = false;
}

// ------------------------------------------------------------------------------ editing

void ClientDataSet::Append() {
    RequireActive();
    if (m_state != DataSetState::Browse)
        Post();
    m_buffer.assign(size_t(FieldCount()), QVariant());
    m_state = DataSetState::Insert;
}

void ClientDataSet::Edit() {
    RequireActive();
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        return;
    if (m_row < 0)
        DbError(QStringLiteral("%1: Kein aktueller Datensatz").arg(m_name));
    m_buffer.resize(size_t(FieldCount()));
    for (int i = 0; i < FieldCount(); ++i)
        m_buffer[size_t(i)] = m_store->Cols[size_t(i)].Get(quint32(m_row));
    m_state = DataSetState::Edit;
}

void ClientDataSet::Post() {
    RequireActive();
    if (m_state == DataSetState::Insert) {
        // No sync here: appending many rows must not rebuild the index after every row.
        m_row = m_store->AppendRow(m_buffer);
        m_eof = m_bof = false;
    } else if (m_state == DataSetState::Edit) {
        m_store->UpdateRow(quint32(m_row), m_buffer);
    } else {
        return;
    }
    m_state = DataSetState::Browse;
}

void ClientDataSet::Cancel() {
    if (m_state == DataSetState::Edit || m_state == DataSetState::Insert)
        m_state = DataSetState::Browse;
}

// ------------------------------------------------------------------------------ indexes

void ClientDataSet::ResolveIndex() {
    m_keyFields.clear();
    m_indexOptions = {};
    if (m_indexName.isEmpty())
        return;
    const IndexDef* def = m_indexDefs.Find(m_indexName);
    if (!def)
        DbError(QStringLiteral("Index '%1' nicht gefunden").arg(m_indexName));
    std::vector<int> fields;
    for (const QString& f : def->Fields.split(u';', Qt::SkipEmptyParts))
        fields.push_back(FieldIndex(f.trimmed()));
    m_keyFields = std::move(fields);
    m_indexOptions = def->Options;
}

void ClientDataSet::SetIndexName(const QString& name) {
    const QString keepName = m_indexName;
    m_indexName = name;
    try {
        ResolveIndex();
    } catch (...) {
        m_indexName = keepName;
        ResolveIndex();
        throw;
    }
    m_rangeActive = false;
    m_rangeStart.clear();
    m_rangeEnd.clear();
    m_syncedVersion = ~quint64(0);
    InvalidateView();
    First();
}

void ClientDataSet::SetRange(const KeyList& start, const KeyList& end) {
    RequireBrowse();
    if (m_keyFields.empty())
        DbError(QStringLiteral("%1: Bereich ohne aktiven Index nicht möglich").arg(m_name));
    // The same range again (a reader locating row after row of one group): its bounds stand
    // unless the store changed, which Sync sees by itself.
    if (m_rangeActive && start == m_rangeStart && end == m_rangeEnd) {
        First();
        return;
    }
    m_rangeStart = start;
    m_rangeEnd = end;
    m_rangeActive = true;
    m_syncedVersion = ~quint64(0);
    First();
}

void ClientDataSet::CancelRange() {
    if (!m_rangeActive)
        return;
    m_rangeActive = false;
    m_rangeStart.clear();
    m_rangeEnd.clear();
    m_syncedVersion = ~quint64(0);
    First();
}

bool ClientDataSet::FindKey(const KeyList& key) {
    RequireBrowse();
    if (m_keyFields.empty())
        DbError(QStringLiteral("%1: Suche ohne aktiven Index nicht möglich").arg(m_name));
    Sync();
    const size_t n = std::min(key.size(), m_keyFields.size());
    quint32 lo = m_view.Lo, hi = m_view.Hi;
    while (lo < hi) {
        const quint32 mid = lo + (hi - lo) / 2;
        if (CompareRowKey(RowAt(mid), key, n) < 0)
            lo = mid + 1;
        else
            hi = mid;
    }
    for (quint32 p = lo; p < m_view.Hi && CompareRowKey(RowAt(p), key, n) == 0; ++p) {
        if (Visible(RowAt(p))) {
            m_pos = p;
            m_row = RowAt(p);
            m_eof = m_bof = false;
            return true;
        }
    }
    return false;
}

bool ClientDataSet::Locate(const QString& fields, const QVariantList& values,
                           LocateOptions options) {
    RequireBrowse();
    std::vector<int> cols;
    for (const QString& f : fields.split(u';', Qt::SkipEmptyParts))
        cols.push_back(FieldIndex(f.trimmed()));
    if (cols.size() != size_t(values.size()))
        DbError(QStringLiteral("%1: Anzahl der Suchwerte passt nicht zu den Feldern").arg(m_name));
    const bool ci = options & LocateOption::CaseInsensitive;
    const bool partial = options & LocateOption::PartialKey;
    KeyList keys;
    for (const QVariant& v : values)
        keys.push_back(KeyFromVariant(v));
    Sync();
    for (quint32 p = m_view.Lo; p < m_view.Hi; ++p) {
        const quint32 row = RowAt(p);
        bool match = true;
        for (size_t i = 0; i < cols.size() && match; ++i) {
            const Column& c = m_store->Cols[size_t(cols[i])];
            const KeyValue& k = keys[i];
            if (IsNullKey(k) || c.IsNull(row)) {
                match = IsNullKey(k) && c.IsNull(row);
            } else if (c.Type == FieldType::String && std::holds_alternative<QString>(k)) {
                const auto cs = ci ? Qt::CaseInsensitive : Qt::CaseSensitive;
                match = partial ? c.StartsWith(row, std::get<QString>(k), cs)
                                : QAnyStringView::compare(c.Str(row), std::get<QString>(k), cs) == 0;
            } else {
                match = c.CompareKey(row, k, ci) == 0;
            }
        }
        if (match && Visible(row)) {
            m_pos = p;
            m_row = row;
            m_eof = m_bof = false;
            return true;
        }
    }
    return false;
}

// ------------------------------------------------------------------------------ filter

ExprHooks ClientDataSet::Hooks() const {
    ExprHooks h;
    const FieldDefList defs = m_fieldDefs;
    h.FindField = [defs](const QString& name) -> std::optional<ExprField> {
        const int i = defs.IndexOf(name);
        if (i < 0)
            return std::nullopt;
        return ExprField{i, defs[i].DataType, defs[i].Calculated};
    };
    return h;
}

void ClientDataSet::CompileFilter() {
    m_filterExpr.reset();
    if (m_filtered && !m_filterText.trimmed().isEmpty())
        m_filterExpr = Expression::Compile(m_filterText, Hooks(), {}, m_filterOptions);
}

void ClientDataSet::SetFilter(const QString& text) {
    const QString keep = m_filterText;
    m_filterText = text;
    try {
        CompileFilter();
    } catch (...) {
        m_filterText = keep;
        CompileFilter();
        throw;
    }
    m_syncedVersion = ~quint64(0);
    First();
}

void ClientDataSet::SetFiltered(bool on) {
    const bool keep = m_filtered;
    m_filtered = on;
    try {
        CompileFilter();
    } catch (...) {
        m_filtered = keep;
        CompileFilter();
        throw;
    }
    m_syncedVersion = ~quint64(0);
    First();
}

void ClientDataSet::SetFilterOptions(FilterOptions options) {
    m_filterOptions = options;
    CompileFilter();
    m_syncedVersion = ~quint64(0);
    First();
}

// ------------------------------------------------------------------------------ groups

GroupPosInds ClientDataSet::GetGroupState(int level) const {
    if (!m_store || m_row < 0)
        return {};
    Sync();
    if (m_row < 0)
        return {};
    const quint32 cur = quint32(m_row);
    auto neighbour = [&](int dir) -> qint64 {
        for (qint64 p = m_pos + dir; p >= qint64(m_view.Lo) && p < qint64(m_view.Hi); p += dir)
            if (Visible(RowAt(quint32(p))))
                return RowAt(quint32(p));
        return -1;
    };
    const qint64 prev = neighbour(-1), next = neighbour(+1);
    GroupPosInds result;
    if (prev < 0 || CompareRowsOnKey(quint32(prev), cur, level) != 0)
        result |= GroupPos::First;
    if (next < 0 || CompareRowsOnKey(quint32(next), cur, level) != 0)
        result |= GroupPos::Last;
    if (!result)
        result = GroupPos::Middle;
    return result;
}

std::shared_ptr<const std::vector<quint32>> ClientDataSet::GroupStarts(int level) const {
    const bool filtered = m_filtered && m_filterExpr;
    auto build = [&] {
        std::vector<quint32> starts;
        qint64 prev = -1;
        const quint32 n = PositionCount();
        for (quint32 p = 0; p < n; ++p) {
            const quint32 row = RowAt(p);
            if (filtered && !Visible(row))
                continue;
            if (prev < 0 || CompareRowsOnKey(quint32(prev), row, level) != 0)
                starts.push_back(p);
            prev = row;
        }
        return std::make_shared<const std::vector<quint32>>(std::move(starts));
    };
    if (!filtered && m_perm) {
        std::lock_guard lock(m_perm->StartsMutex);
        auto& slot = m_perm->Starts[level];
        if (!slot)
            slot = build();
        return slot;
    }
    GroupStartsCache& c = m_groupStarts;
    const void* filter = filtered ? m_filterExpr.get() : nullptr;
    if (!c.Starts || c.Perm != m_perm.get() || c.Version != m_store->Version || c.Level != level ||
        c.Filter != filter)
        c = {m_perm.get(), m_store->Version, level, filter, build()};
    return c.Starts;
}

qint64 ClientDataSet::FirstVisibleInView() const {
    for (quint32 p = m_view.Lo; p < m_view.Hi; ++p)
        if (Visible(RowAt(p)))
            return p;
    return -1;
}

int ClientDataSet::GroupStartCount(int level) const {
    if (!m_store)
        return 0;
    Sync();
    const qint64 first = FirstVisibleInView();
    if (first < 0)
        return 0;
    const auto starts = GroupStarts(level);
    const auto from = std::upper_bound(starts->begin(), starts->end(), quint32(first));
    const auto to = std::lower_bound(from, starts->end(), m_view.Hi);
    return 1 + int(to - from);
}

bool ClientDataSet::GotoGroupStart(int level, int k) {
    RequireBrowse();
    Sync();
    if (k < 0)
        return false;
    const qint64 first = FirstVisibleInView();
    if (first < 0)
        return false;
    qint64 pos = first;
    if (k > 0) {
        const auto starts = GroupStarts(level);
        const auto from = std::upper_bound(starts->begin(), starts->end(), quint32(first));
        if (starts->end() - from < k)
            return false;
        pos = *(from + (k - 1));
        if (pos >= qint64(m_view.Hi))
            return false;
    }
    m_pos = pos;
    m_row = RowAt(quint32(pos));
    m_eof = m_bof = false;
    return true;
}

void ClientDataSet::SetAggregatesActive(bool on) {
    m_aggregatesActive = on;
    InvalidateView();
}

std::shared_ptr<const Expression> ClientDataSet::CompiledAggregate(int index) {
    auto& item = m_aggregates.m_items.at(size_t(index));
    if (!item.Compiled)
        item.Compiled = Expression::Compile(item.Def.Expression, Hooks(),
                                            ParserOption::ExtendedSyntax | ParserOption::Aggregate);
    return item.Compiled;
}

void ClientDataSet::CheckAggregate(int index) { CompiledAggregate(index); }

QVariant ClientDataSet::ComputeAggregate(const Expression& e, quint32 lo, quint32 hi) const {
    const bool filtered = m_filtered && m_filterExpr;
    if (auto simple = e.SimpleAggregate();
        simple && simple->Func != AggFunc::Min && simple->Func != AggFunc::Max) {
        qint64 count = 0;
        // Integers and scaled currency add up exactly; a total past 64 bits goes on in double.
        qint64 isum = 0;
        double sum = 0;
        bool exact = true;
        const Column* c = simple->Field >= 0 ? &m_store->Cols[size_t(simple->Field)] : nullptr;
        const bool scaled = c && c->Type == FieldType::Currency;
        const bool integral = c && (scaled || c->Type == FieldType::Integer ||
                                    c->Type == FieldType::LargeInt ||
                                    c->Type == FieldType::Boolean);
        if (!filtered && c && c->Type == FieldType::Float && simple->Func != AggFunc::Count) {
            // The common total of a float column: one pass over the positions, no type switch.
            const quint32* perm = m_perm ? m_perm->Perm.data() : nullptr;
            for (quint32 p = lo; p < hi; ++p) {
                const quint32 row = perm ? perm[p] : p;
                if (c->IsNull(row))
                    continue;
                ++count;
                sum += c->F64[row];
            }
            if (count == 0)
                return {};
            return simple->Func == AggFunc::Avg ? sum / double(count) : sum;
        }
        for (quint32 p = lo; p < hi; ++p) {
            const quint32 row = RowAt(p);
            if (filtered && !Visible(row))
                continue;
            if (!c) {
                ++count;
                continue;
            }
            if (c->IsNull(row))
                continue;
            ++count;
            if (simple->Func == AggFunc::Count)
                continue;
            if (!integral || !exact) {
                sum += c->NumAt(row);
                continue;
            }
            const qint64 x = scaled ? c->I64[row] : c->IntAt(row);
            qint64 r = 0;
            if (!__builtin_add_overflow(isum, x, &r)) {
                isum = r;
                continue;
            }
            exact = false;
            sum = (scaled ? Currency{isum}.ToDouble() : double(isum)) + c->NumAt(row);
        }
        if (simple->Func == AggFunc::Count)
            return count;
        if (count == 0)
            return {};
        const double total = integral && exact ? (scaled ? Currency{isum}.ToDouble() : double(isum))
                                               : sum;
        if (simple->Func == AggFunc::Avg)
            return total / double(count);
        if (integral && exact && !scaled)
            return isum;
        return total;
    }
    AggregateState st = e.NewAggregateState();
    for (quint32 p = lo; p < hi; ++p) {
        const quint32 row = RowAt(p);
        if (!filtered || Visible(row))
            st.Add(RowReader(*m_store, row));
    }
    return st.Result();
}

QVariant ClientDataSet::AggregateValue(int index) {
    if (index < 0 || index >= m_aggregates.Count())
        DbError(QStringLiteral("%1: Aggregat %2 nicht vorhanden").arg(m_name).arg(index));
    auto& item = m_aggregates.m_items[size_t(index)];
    if (!m_aggregatesActive || !item.Def.Active || !m_store)
        return {};
    const int level = item.Def.GroupingLevel;
    if (level > 0 && item.Def.IndexName.compare(m_indexName, Qt::CaseInsensitive) != 0)
        return {};
    auto expr = CompiledAggregate(index);
    Sync();
    quint32 lo = m_view.Lo, hi = m_view.Hi;
    if (level > 0) {
        if (m_row < 0)
            return {};
        const quint32 cur = quint32(m_row);
        quint32 a = m_view.Lo, b = quint32(m_pos);
        while (a < b) {
            const quint32 mid = a + (b - a) / 2;
            if (CompareRowsOnKey(RowAt(mid), cur, level) < 0)
                a = mid + 1;
            else
                b = mid;
        }
        lo = a;
        a = quint32(m_pos);
        b = m_view.Hi;
        while (a < b) {
            const quint32 mid = a + (b - a) / 2;
            if (CompareRowsOnKey(RowAt(mid), cur, level) <= 0)
                a = mid + 1;
            else
                b = mid;
        }
        hi = a;
    }
    if (item.CacheGeneration != m_generation) {
        item.Cache.clear();
        item.CacheGeneration = m_generation;
    }
    if (auto it = item.Cache.find(lo); it != item.Cache.end())
        return it->second;
    QVariant v = ComputeAggregate(*expr, lo, hi);
    item.Cache.emplace(lo, v);
    return v;
}

// ------------------------------------------------------------------------------ memory

qint64 ClientDataSet::StoreBytes() const {
    if (!m_store)
        return 0;
    qint64 n = 0;
    for (const auto& c : m_store->Cols)
        n += c.Bytes();
    return n;
}

qint64 ClientDataSet::IndexBytes() const { return m_store ? m_store->IndexBytes() : 0; }

} // namespace Cds
