#pragma once
// Reading libpq text-format values (DateStyle ISO, as every TVoskDatabase sets it): whole values as
// the QVariant that query fields give, and typed parsers for bulk loaders that fill typed columns
// without a QVariant per value. The parsers read the whole text and return false for anything
// else, infinite dates and times included.

#include <QByteArray>
#include <QDate>
#include <QVariant>

#include <libpq-fe.h>

#include <string_view>

enum class TFieldType {
    Unknown, String, SmallInt, Integer, LargeInt, Float, Numeric, Boolean, Date, Time, DateTime,
    DateTimeTz, Bytes
};
TFieldType FieldTypeOfOid(Oid oid);

namespace Dunmere {

// int, qint64, double (numeric too), bool, QDate, QTime, QDateTime (local time), QByteArray
// (bytea), else QString. The server's "infinity" and "-infinity" of dates and timestamps stay
// that text (no calendar date holds them); unreadable dates and times give an invalid, non-null
// value.
QVariant VariantFromText(std::string_view text, TFieldType type);
QVariant VariantFromText(std::string_view text, Oid oid);

// Whole text only; on false *value is 0 or the leading digits.
bool ParsePgInt(std::string_view text, int* value);
bool ParsePgInt64(std::string_view text, qint64* value);
// Also NaN, ±Infinity and numerics beyond a double's range (as ±Infinity or 0).
bool ParsePgDouble(std::string_view text, double* value);
// "t" or "f"; *value is true iff the text starts with "t".
bool ParsePgBool(std::string_view text, bool* value);
// Hex or escape format.
QByteArray ByteaFromText(std::string_view text);
// "Y...Y-MM-DD[ BC]"; BC years become negative, as QDate counts them (-1 is 1 BC).
bool ParsePgDate(std::string_view text, QDate* date);
// "HH:MM:SS[.ffffff]", cut to milliseconds; 24:00:00 is refused, as QTime cannot hold it.
bool ParsePgTime(std::string_view text, int* msecsOfDay);
// timestamp "date HH:MM:SS[.ffffff][ BC]" as the stored wall-clock time.
bool ParsePgTimestamp(std::string_view text, QDate* date, int* msecsOfDay);
// timestamptz "date time±HH[:MM[:SS]][ BC]" converted to local wall-clock time.
bool ParsePgTimestampTz(std::string_view text, QDate* date, int* msecsOfDay);
// timestamptz as milliseconds since 1970-01-01 UTC, with no time-zone lookup.
bool ParsePgTimestampTzUtc(std::string_view text, qint64* msecsSinceEpoch);

} // namespace Dunmere
