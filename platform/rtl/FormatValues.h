#pragma once
// Display formats of numbers and points in time as the runtime library writes them: FormatFloat
// with digit placeholders and sections, FormatDateTime with its date and time codes. Separators
// and names come from format settings; the process-wide settings are German.

#include <QDateTime>
#include <QString>
#include <QStringList>

namespace Rtl {

struct TFormatSettings final {
    QChar DecimalSeparator = u',';
    QChar ThousandSeparator = u'.';
    QChar DateSeparator = u'.';
    QChar TimeSeparator = u':';
    QString ShortDateFormat = QStringLiteral("dd.mm.yyyy");
    QString LongTimeFormat = QStringLiteral("hh:nn:ss");
    QStringList ShortMonthNames, LongMonthNames; // 12 each
    QStringList ShortDayNames, LongDayNames;     // 7 each, Sunday first

    static TFormatSettings German();
    // Point and comma, English names: the same text on every machine.
    static TFormatSettings Neutral();
};

// The settings that FormatFloat and FormatDateTime use without an explicit one. Set them at
// start-up, before other threads format.
const TFormatSettings& FormatSettings();
void SetFormatSettings(const TFormatSettings& settings);

// Sections "positive;negative;zero"; '0' a digit always shown, '#' a digit shown when
// significant, '.' the decimal separator, ',' thousands grouping, quoted text literal.
// An empty format gives the shortest exact text.
QString FormatFloat(const QString& format, double value, const TFormatSettings& settings);
QString FormatFloat(const QString& format, double value);

// d dd ddd dddd ddddd, m mm mmm mmmm (minutes after h), yy yyyy, h hh, n nn, s ss, z zzz,
// c, '/' and ':' as the settings' separators, quoted text literal.
QString FormatDateTime(const QString& format, const QDateTime& value,
                       const TFormatSettings& settings);
QString FormatDateTime(const QString& format, const QDateTime& value);

} // namespace Rtl
