#pragma once
// Class functions on caller-owned dynamic arrays, instantiated for strings and for components.
// Equality is ordinal and case-sensitive for strings and identity for components.

#include "VoskExceptions.h"

#include <QList>
#include <QString>
#include <QVariant>

#include <initializer_list>
#include <type_traits>

class QObject;

namespace Uvoskrtl::Collections {

enum class TArrayModeItem { amFirst, amIfNotExists };
struct TArrayMode final {
    bool amFirst = false;
    bool amIfNotExists = false;
    constexpr TArrayMode() = default;
    constexpr TArrayMode(std::initializer_list<TArrayModeItem> items) {
        for (auto i : items)
            (i == TArrayModeItem::amFirst ? amFirst : amIfNotExists) = true;
    }
};
inline constexpr TArrayModeItem amFirst = TArrayModeItem::amFirst;
inline constexpr TArrayModeItem amIfNotExists = TArrayModeItem::amIfNotExists;

// Use counters of the instantiations (their class constructor and destructor).
int ArrayHelperUseCount(const char* instantiation);
void ArrayHelperUse(const char* instantiation, int delta);

namespace detail {
template <class T> QString ElementText(const T& v) {
    if constexpr (std::is_same_v<T, QString>)
        return v;
    else if constexpr (std::is_same_v<T, QChar> || std::is_same_v<T, char> ||
                       std::is_same_v<T, char16_t>)
        return QString(QChar(v));
    else if constexpr (std::is_same_v<T, bool>)
        return v ? QStringLiteral("True") : QStringLiteral("False");
    else if constexpr (std::is_integral_v<T>)
        return QString::number(v);
    else if constexpr (std::is_floating_point_v<T>)
        return QString::number(v, 'g', std::is_same_v<T, float> ? 7 : 15);
    else if constexpr (std::is_same_v<T, QByteArray>)
        return QString::fromLatin1(v);
    else if constexpr (std::is_same_v<T, QVariant>)
        return v.toString();
    else
        throw EVoskException(
            QStringLiteral("ArrayHelper<T>.AsString: Array-Typ<T> kann nicht in String umgewandelt werden."));
}

template <class T> constexpr bool kReadable = std::is_same_v<T, QString> || std::is_integral_v<T> ||
                                              std::is_floating_point_v<T>;
} // namespace detail

template <class T> class ArrayHelper final {
public:
    using TArray = QList<T>;

    static TArray Create(std::initializer_list<T> values) { return TArray(values); }

    static int IndexOf(const TArray& a, const T& value) {
        for (qsizetype i = 0; i < a.size(); ++i)
            if (Equal(a[i], value))
                return int(i);
        return -1;
    }
    static bool Exists(const TArray& a, const T& value) { return IndexOf(a, value) >= 0; }

    static void Append(TArray& a, const T& value, TArrayMode mode = {}) {
        if (mode.amIfNotExists && Exists(a, value))
            return;
        if (mode.amFirst)
            a.prepend(value);
        else
            a.append(value);
    }
    static void AppendIfNotExists(TArray& a, const T& value) { Append(a, value, {amIfNotExists}); }

    static TArray Union(const TArray& a, const TArray& b) {
        TArray result;
        for (const auto& v : a)
            AppendIfNotExists(result, v);
        for (const auto& v : b)
            AppendIfNotExists(result, v);
        return result;
    }

    static TArray FromString(const QString& text, const QString& separator) {
        if constexpr (!detail::kReadable<T>) {
            throw EVoskException(QStringLiteral(
                "ArrayHelper<T>.FromString: Der Typ T kann aus einem String ausgelesen werden."));
        } else {
            TArray result;
            if (text.isEmpty())
                return result;
            for (const QString& part : text.split(separator)) {
                if constexpr (std::is_same_v<T, QString>) {
                    result.append(part);
                } else {
                    bool ok = false;
                    T v{};
                    if constexpr (std::is_floating_point_v<T>)
                        v = T(part.trimmed().toDouble(&ok));
                    else
                        v = T(part.trimmed().toLongLong(&ok));
                    if (!ok)
                        throw EConvertError(
                            QStringLiteral("'%1' ist kein gültiger Wert").arg(part));
                    result.append(v);
                }
            }
            return result;
        }
    }
    // The overload with a format argument: each part is taken as it stands after formatting with %1.
    static TArray FromString(const QString& text, const QString& separator, const QString& format) {
        TArray parts = FromString(text, separator);
        if constexpr (std::is_same_v<T, QString>) {
            if (!format.isEmpty())
                for (auto& p : parts)
                    p = format.arg(p);
        }
        return parts;
    }

    static QString ToString(const TArray& a, const QString& separator, const QString& quote = {},
                            int perLine = 0) {
        QString out;
        for (qsizetype i = 0; i < a.size(); ++i) {
            if (i > 0) {
                out += separator;
                if (perLine != 0 && i % perLine == 0)
                    out += QStringLiteral("\r\n");
            }
            out += quote + detail::ElementText(a[i]) + quote;
        }
        return out;
    }

private:
    static bool Equal(const T& x, const T& y) {
        if constexpr (std::is_same_v<T, QString>)
            return QString::compare(x, y, Qt::CaseSensitive) == 0;
        else
            return x == y;
    }
};

using TStringArrayHelper = ArrayHelper<QString>;
using TComponentArrayHelper = ArrayHelper<QObject*>;

} // namespace Uvoskrtl::Collections
