#include "VoskTextValue.h"

#include <QDateTime>
#include <QString>
#include <QTime>

#include <charconv>
#include <string>

namespace {

constexpr qint64 kMsecsPerDay = 86400000;
constexpr qint64 kUnixEpochJulianDay = 2440588;

bool isDigit(char c) { return c >= '0' && c <= '9'; }

bool digits(std::string_view s, size_t pos, size_t n, int* v) {
    if (pos + n > s.size())
        return false;
    int r = 0;
    for (size_t i = pos; i < pos + n; ++i) {
        if (!isDigit(s[i]))
            return false;
        r = r * 10 + (s[i] - '0');
    }
    *v = r;
    return true;
}

// "Y...Y-MM-DD" at the start of s; the server writes at least four year digits and up to seven.
// Returns the position after it, 0 when there is none.
size_t readDate(std::string_view s, int* y, int* m, int* d) {
    size_t i = 0;
    int year = 0;
    for (; i < s.size() && i < 8 && isDigit(s[i]); ++i)
        year = year * 10 + (s[i] - '0');
    if (i < 4 || i + 6 > s.size() || s[i] != '-' || s[i + 3] != '-' || !digits(s, i + 1, 2, m) ||
        !digits(s, i + 4, 2, d))
        return 0;
    *y = year;
    return i + 6;
}

// "HH:MM:SS[.ffffff]" from pos; returns the position after it, 0 when there is none.
size_t readTime(std::string_view s, size_t pos, int* msecs) {
    int h = 0, mi = 0, se = 0;
    if (!digits(s, pos, 2, &h) || !digits(s, pos + 3, 2, &mi) || !digits(s, pos + 6, 2, &se) ||
        s[pos + 2] != ':' || s[pos + 5] != ':' || h > 23 || mi > 59 || se > 59)
        return 0;
    pos += 8;
    int ms = 0;
    if (pos < s.size() && s[pos] == '.') {
        const size_t first = ++pos;
        // Microseconds are cut to what QTime holds, not rounded: rounding could reach the next day.
        for (int scale = 100; pos < s.size() && isDigit(s[pos]); ++pos, scale /= 10)
            ms += (s[pos] - '0') * scale;
        if (pos == first)
            return 0;
    }
    *msecs = ((h * 60 + mi) * 60 + se) * 1000 + ms;
    return pos;
}

// The era suffix comes last, after time and offset: "0044-03-15 12:00:00+00 BC".
bool readEra(std::string_view s, size_t pos, bool* bc) {
    const std::string_view rest = s.substr(pos);
    *bc = rest == " BC";
    return *bc || rest.empty();
}

// The day of a proleptic Gregorian date as a Julian day, by arithmetic alone (a million rows
// parse their dates here). The server's era labels are turned into astronomical years, where
// 1 BC is year 0; Qt numbers that year -1, and QDate::fromJulianDay needs no year at all.
bool makeDate(int y, int m, int d, bool bc, QDate* date) {
    static constexpr unsigned char kDays[12] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    const qint64 year = bc ? 1 - qint64(y) : qint64(y);
    const bool leap = (year % 4 == 0 && year % 100 != 0) || year % 400 == 0;
    if (m < 1 || m > 12 || d < 1 || d > kDays[m - 1] + (m == 2 && leap) || y == 0) {
        *date = QDate();
        return false;
    }
    // Days from 1970-01-01 (Howard Hinnant's days_from_civil), shifted to the Julian day.
    const qint64 ys = m <= 2 ? year - 1 : year;
    const qint64 era = (ys >= 0 ? ys : ys - 399) / 400;
    const qint64 yoe = ys - era * 400;
    const qint64 doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const qint64 doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    *date = QDate::fromJulianDay(era * 146097 + doe - 719468 + kUnixEpochJulianDay);
    return date->isValid();
}

// Date and time of a timestamp; returns the position after the time, 0 when there is none.
size_t readDateTime(std::string_view s, int* y, int* m, int* d, int* msecs) {
    const size_t pos = readDate(s, y, m, d);
    if (pos == 0 || pos >= s.size() || (s[pos] != ' ' && s[pos] != 'T'))
        return 0;
    return readTime(s, pos + 1, msecs);
}

// The server's dates and timestamps beyond every other: no calendar date holds them, so they
// stay the text the server wrote (and is given back the same way).
bool IsPgInfinity(std::string_view text) { return text == "infinity" || text == "-infinity"; }

int hexValue(char c) {
    if (isDigit(c))
        return c - '0';
    if (c >= 'a' && c <= 'f')
        return c - 'a' + 10;
    if (c >= 'A' && c <= 'F')
        return c - 'A' + 10;
    return -1;
}

} // namespace

TFieldType FieldTypeOfOid(Oid oid) {
    switch (oid) {
    case 16: return TFieldType::Boolean;
    case 17: return TFieldType::Bytes;
    case 20: case 26: return TFieldType::LargeInt; // oid is unsigned 32-bit
    case 21: return TFieldType::SmallInt;
    case 23: return TFieldType::Integer;
    case 700: case 701: return TFieldType::Float;
    case 1700: return TFieldType::Numeric;
    case 1082: return TFieldType::Date;
    case 1083: return TFieldType::Time;
    case 1114: return TFieldType::DateTime;
    case 1184: return TFieldType::DateTimeTz;
    case 18: case 19: case 25: case 1042: case 1043: return TFieldType::String;
    default: return TFieldType::Unknown; // read as text
    }
}

namespace Dunmere {

bool ParsePgInt(std::string_view text, int* value) {
    *value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), *value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool ParsePgInt64(std::string_view text, qint64* value) {
    *value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), *value);
    return r.ec == std::errc() && r.ptr == text.data() + text.size();
}

bool ParsePgDouble(std::string_view text, double* value) {
    *value = 0;
    const auto r = std::from_chars(text.data(), text.data() + text.size(), *value);
    const bool whole = r.ptr == text.data() + text.size();
    if (r.ec == std::errc())
        return whole;
    // Numerics beyond the range of a double; Qt gives the infinity or zero they come closest to.
    bool ok = false;
    *value = QString::fromUtf8(text.data(), qsizetype(text.size())).toDouble(&ok);
    return ok || (r.ec == std::errc::result_out_of_range && whole);
}

bool ParsePgBool(std::string_view text, bool* value) {
    *value = !text.empty() && text[0] == 't';
    return text == "t" || text == "f";
}

QByteArray ByteaFromText(std::string_view text) {
    // The server writes hex unless bytea_output says otherwise; decoding it here spares the copy
    // libpq needs for its NUL-terminated input.
    if (text.size() >= 2 && text[0] == '\\' && text[1] == 'x' && text.size() % 2 == 0) {
        QByteArray out(qsizetype((text.size() - 2) / 2), Qt::Uninitialized);
        bool ok = true;
        for (size_t i = 2, k = 0; i < text.size() && ok; i += 2, ++k) {
            const int hi = hexValue(text[i]), lo = hexValue(text[i + 1]);
            ok = hi >= 0 && lo >= 0;
            out[qsizetype(k)] = char(hi << 4 | lo);
        }
        if (ok)
            return out;
    }
    size_t len = 0;
    const std::string copy(text);
    unsigned char* p = PQunescapeBytea(reinterpret_cast<const unsigned char*>(copy.c_str()), &len);
    QByteArray out(reinterpret_cast<const char*>(p), qsizetype(len));
    PQfreemem(p);
    return out;
}

bool ParsePgDate(std::string_view text, QDate* date) {
    int y = 0, m = 0, d = 0;
    bool bc = false;
    const size_t pos = readDate(text, &y, &m, &d);
    if (pos == 0 || !readEra(text, pos, &bc)) {
        *date = QDate();
        return false;
    }
    return makeDate(y, m, d, bc, date);
}

bool ParsePgTime(std::string_view text, int* msecsOfDay) {
    return readTime(text, 0, msecsOfDay) == text.size() && !text.empty();
}

bool ParsePgTimestamp(std::string_view text, QDate* date, int* msecsOfDay) {
    int y = 0, m = 0, d = 0;
    bool bc = false;
    const size_t pos = readDateTime(text, &y, &m, &d, msecsOfDay);
    if (pos == 0 || !readEra(text, pos, &bc)) {
        *date = QDate();
        return false;
    }
    return makeDate(y, m, d, bc, date);
}

bool ParsePgTimestampTzUtc(std::string_view text, qint64* msecsSinceEpoch) {
    int y = 0, m = 0, d = 0, msecs = 0;
    size_t pos = readDateTime(text, &y, &m, &d, &msecs);
    if (pos == 0)
        return false;
    int offset = 0;
    if (pos < text.size() && (text[pos] == '+' || text[pos] == '-')) {
        const int sign = text[pos] == '-' ? -1 : 1;
        int h = 0, mi = 0, se = 0;
        if (!digits(text, pos + 1, 2, &h))
            return false;
        pos += 3;
        // Minutes and seconds appear only when not zero; seconds in local mean times before 1900.
        if (pos < text.size() && text[pos] == ':') {
            if (!digits(text, pos + 1, 2, &mi))
                return false;
            pos += 3;
            if (pos < text.size() && text[pos] == ':') {
                if (!digits(text, pos + 1, 2, &se))
                    return false;
                pos += 3;
            }
        }
        offset = sign * ((h * 60 + mi) * 60 + se);
    }
    bool bc = false;
    QDate date;
    if (!readEra(text, pos, &bc) || !makeDate(y, m, d, bc, &date))
        return false;
    *msecsSinceEpoch = (date.toJulianDay() - kUnixEpochJulianDay) * kMsecsPerDay + msecs -
                       qint64(offset) * 1000;
    return true;
}

bool ParsePgTimestampTz(std::string_view text, QDate* date, int* msecsOfDay) {
    qint64 utc = 0;
    if (!ParsePgTimestampTzUtc(text, &utc)) {
        *date = QDate();
        return false;
    }
    const QDateTime local = QDateTime::fromMSecsSinceEpoch(utc, Qt::LocalTime);
    *date = local.date();
    *msecsOfDay = local.time().msecsSinceStartOfDay();
    return date->isValid();
}

QVariant VariantFromText(std::string_view text, TFieldType type) {
    switch (type) {
    case TFieldType::SmallInt:
    case TFieldType::Integer: {
        int v = 0;
        ParsePgInt(text, &v);
        return v;
    }
    case TFieldType::LargeInt: {
        qint64 v = 0;
        ParsePgInt64(text, &v);
        return v;
    }
    case TFieldType::Float:
    case TFieldType::Numeric: {
        double v = 0;
        ParsePgDouble(text, &v);
        return v;
    }
    case TFieldType::Boolean: {
        bool v = false;
        ParsePgBool(text, &v);
        return v;
    }
    case TFieldType::Date: {
        QDate d;
        if (!ParsePgDate(text, &d) && IsPgInfinity(text))
            return QString::fromLatin1(text.data(), qsizetype(text.size()));
        return d;
    }
    case TFieldType::Time: {
        int ms = 0;
        return ParsePgTime(text, &ms) ? QTime::fromMSecsSinceStartOfDay(ms) : QTime();
    }
    case TFieldType::DateTime: {
        QDate d;
        int ms = 0;
        if (!ParsePgTimestamp(text, &d, &ms))
            return IsPgInfinity(text) ? QVariant(QString::fromLatin1(text.data(), qsizetype(text.size())))
                                      : QVariant(QDateTime());
        return QDateTime(d, QTime::fromMSecsSinceStartOfDay(ms));
    }
    case TFieldType::DateTimeTz: {
        qint64 utc = 0;
        if (!ParsePgTimestampTzUtc(text, &utc))
            return IsPgInfinity(text) ? QVariant(QString::fromLatin1(text.data(), qsizetype(text.size())))
                                      : QVariant(QDateTime());
        return QDateTime::fromMSecsSinceEpoch(utc, Qt::LocalTime);
    }
    case TFieldType::Bytes:
        return ByteaFromText(text);
    default:
        return QString::fromUtf8(text.data(), qsizetype(text.size()));
    }
}

QVariant VariantFromText(std::string_view text, Oid oid) {
    return VariantFromText(text, FieldTypeOfOid(oid));
}

} // namespace Dunmere
