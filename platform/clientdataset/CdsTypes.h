#pragma once
// Shared vocabulary of the in-memory client dataset: field types, key values with explicit
// minimum and maximum sentinels, and the library's database error.

#include "VoskExceptions.h"

#include <QDate>
#include <QDateTime>
#include <QString>
#include <QVariant>

#include <variant>
#include <vector>

namespace Cds {

enum class FieldType : unsigned char {
    Integer,  // 32 bit
    LargeInt, // 64 bit
    Float,    // double
    Currency, // fixed point, 4 decimals, stored as scaled 64-bit integer
    Boolean,
    String,
    Date,
    DateTime,
};
QString FieldTypeName(FieldType type);

class EDatabaseError : public EVoskException {
public:
    explicit EDatabaseError(const QString& message) : EVoskException(message) {}
    const char* ClassName() const noexcept override { return "EDatabaseError"; }
};

// Below and above every other key, so that padded range ends never cut off real values.
struct MinKey final {
    friend bool operator==(MinKey, MinKey) { return true; }
};
struct MaxKey final {
    friend bool operator==(MaxKey, MaxKey) { return true; }
};
struct Currency final {
    qint64 Scaled = 0; // value * 10000
    friend bool operator==(Currency a, Currency b) { return a.Scaled == b.Scaled; }
    double ToDouble() const { return double(Scaled) / 10000.0; }
    static Currency FromDouble(double v);
};

// A key value is a value: copying one copies its content.
using KeyValue = std::variant<std::monostate, MinKey, MaxKey, bool, qint64, double, Currency,
                              QString, QDate, QDateTime>;
using KeyList = std::vector<KeyValue>;

inline bool IsNullKey(const KeyValue& k) { return std::holds_alternative<std::monostate>(k); }
// Total order: MinKey < Null < values < MaxKey; numbers compare across kinds, a date against a
// date-time as that day's midnight; values of unrelated kinds order by kind.
int CompareKeys(const KeyValue& a, const KeyValue& b, bool caseInsensitive = false);
KeyValue KeyFromVariant(const QVariant& v);
QVariant VariantFromKey(const KeyValue& k);
QString KeyToString(const KeyValue& k);

} // namespace Cds
