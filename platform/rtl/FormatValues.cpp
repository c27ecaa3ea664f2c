#include "FormatValues.h"

#include <QLocale>

#include <cmath>

namespace Rtl {

namespace {

void FillNames(TFormatSettings& s, const QLocale& locale) {
    for (int m = 1; m <= 12; ++m) {
        s.ShortMonthNames << locale.monthName(m, QLocale::ShortFormat);
        s.LongMonthNames << locale.monthName(m, QLocale::LongFormat);
    }
    for (int d : {7, 1, 2, 3, 4, 5, 6}) { // Sunday first
        s.ShortDayNames << locale.dayName(d, QLocale::ShortFormat);
        s.LongDayNames << locale.dayName(d, QLocale::LongFormat);
    }
}

TFormatSettings& Global() {
    static TFormatSettings settings = TFormatSettings::German();
    return settings;
}

// Splits at ';' outside quotes.
QStringList Sections(const QString& format) {
    QStringList out;
    QString cur;
    QChar quote;
    for (QChar c : format) {
        if (!quote.isNull()) {
            if (c == quote)
                quote = QChar();
        } else if (c == u'\'' || c == u'"') {
            quote = c;
        } else if (c == u';') {
            out << cur;
            cur.clear();
            continue;
        }
        cur += c;
    }
    out << cur;
    return out;
}

QString FormatSection(const QString& section, double value, bool withSign,
                      const TFormatSettings& s) {
    QString prefix, suffix;
    int intZeros = 0, fracZeros = 0, fracHashes = 0;
    bool placeholders = false, inFraction = false, thousands = false;
    for (qsizetype i = 0; i < section.size(); ++i) {
        const QChar c = section[i];
        if (c == u'\'' || c == u'"') {
            const qsizetype end = section.indexOf(c, i + 1);
            const QString text = section.mid(i + 1, end < 0 ? -1 : end - i - 1);
            (placeholders ? suffix : prefix) += text;
            i = end < 0 ? section.size() : end;
            continue;
        }
        if (c == u'0' || c == u'#') {
            placeholders = true;
            if (inFraction)
                (c == u'0' ? fracZeros : fracHashes) += 1;
            else if (c == u'0')
                ++intZeros;
            continue;
        }
        if (c == u'.' && placeholders && !inFraction) {
            inFraction = true;
            continue;
        }
        if (c == u'.' && !placeholders && !inFraction) { // ".00": no integer digits asked
            placeholders = true;
            inFraction = true;
            continue;
        }
        if (c == u',' && placeholders && !inFraction) {
            thousands = true;
            continue;
        }
        (placeholders ? suffix : prefix) += c;
    }
    if (!placeholders)
        return prefix;

    const int maxFrac = fracZeros + fracHashes;
    // One step up first, so that an exact half rounds away from zero as on paper.
    const double magnitude = std::nextafter(std::fabs(value), HUGE_VAL);
    const QString digits = QString::number(magnitude, 'f', maxFrac);
    const qsizetype dot = digits.indexOf(u'.');
    QString intPart = dot < 0 ? digits : digits.left(dot);
    QString frac = dot < 0 ? QString() : digits.mid(dot + 1);
    while (frac.size() > fracZeros && frac.endsWith(u'0'))
        frac.chop(1);
    if (intPart == QLatin1String("0") && intZeros == 0)
        intPart.clear();
    while (intPart.size() < intZeros)
        intPart.prepend(u'0');
    if (thousands && intPart.size() > 3) {
        QString grouped;
        const qsizetype lead = intPart.size() % 3;
        for (qsizetype i = 0; i < intPart.size(); ++i) {
            if (i > 0 && (i - lead) % 3 == 0)
                grouped += s.ThousandSeparator;
            grouped += intPart[i];
        }
        intPart = grouped;
    }
    QString number = intPart;
    if (!frac.isEmpty())
        number += s.DecimalSeparator + frac;
    bool allZero = true;
    for (QChar c : intPart + frac)
        if (c.isDigit() && c != u'0')
            allZero = false;
    if (withSign && value < 0 && !allZero)
        number.prepend(u'-');
    return prefix + number + suffix;
}

int RunLength(const QString& f, qsizetype i) {
    const QChar c = f[i].toLower();
    int n = 1;
    while (i + n < f.size() && f[i + n].toLower() == c)
        ++n;
    return n;
}

QString Two(int v) {
    return QString::number(v).rightJustified(2, u'0');
}

} // namespace

TFormatSettings TFormatSettings::German() {
    TFormatSettings s;
    FillNames(s, QLocale(QLocale::German, QLocale::Germany));
    return s;
}

TFormatSettings TFormatSettings::Neutral() {
    TFormatSettings s;
    s.DecimalSeparator = u'.';
    s.ThousandSeparator = u',';
    s.DateSeparator = u'/';
    s.ShortDateFormat = QStringLiteral("mm/dd/yyyy");
    FillNames(s, QLocale::c());
    return s;
}

const TFormatSettings& FormatSettings() {
    return Global();
}

void SetFormatSettings(const TFormatSettings& settings) {
    Global() = settings;
}

QString FormatFloat(const QString& format, double value, const TFormatSettings& s) {
    if (std::isnan(value))
        return QStringLiteral("NAN");
    if (std::isinf(value))
        return value > 0 ? QStringLiteral("INF") : QStringLiteral("-INF");
    if (format.isEmpty()) {
        QString text = QString::number(value, 'g', 15);
        text.replace(u'.', s.DecimalSeparator);
        return text;
    }
    const QStringList sections = Sections(format);
    if (value == 0 && sections.size() > 2 && !sections[2].isEmpty())
        return FormatSection(sections[2], value, false, s);
    if (value < 0 && sections.size() > 1 && !sections[1].isEmpty())
        return FormatSection(sections[1], value, false, s);
    return FormatSection(sections[0], value, true, s);
}

QString FormatFloat(const QString& format, double value) {
    return FormatFloat(format, value, FormatSettings());
}

QString FormatDateTime(const QString& format, const QDateTime& value, const TFormatSettings& s) {
    const QDate d = value.date();
    const QTime t = value.time();
    QString out;
    bool afterHour = false;
    for (qsizetype i = 0; i < format.size();) {
        const QChar c = format[i];
        const QChar lc = c.toLower();
        if (c == u'\'' || c == u'"') {
            const qsizetype end = format.indexOf(c, i + 1);
            out += format.mid(i + 1, end < 0 ? -1 : end - i - 1);
            i = end < 0 ? format.size() : end + 1;
            continue;
        }
        const int n = lc.isLetter() ? RunLength(format, i) : 1;
        switch (lc.unicode()) {
        case 'd':
            if (n == 1)
                out += QString::number(d.day());
            else if (n == 2)
                out += Two(d.day());
            else if (n == 3)
                out += s.ShortDayNames.value(d.dayOfWeek() % 7);
            else if (n == 4)
                out += s.LongDayNames.value(d.dayOfWeek() % 7);
            else
                out += FormatDateTime(s.ShortDateFormat, value, s);
            break;
        case 'm':
            if (afterHour && n <= 2) {
                out += n == 1 ? QString::number(t.minute()) : Two(t.minute());
            } else if (n == 1) {
                out += QString::number(d.month());
            } else if (n == 2) {
                out += Two(d.month());
            } else {
                const QStringList& names = n == 3 ? s.ShortMonthNames : s.LongMonthNames;
                out += names.value(d.month() - 1);
            }
            break;
        case 'y':
            out += n <= 2 ? Two(d.year() % 100) : QString::number(d.year()).rightJustified(4, u'0');
            break;
        case 'h':
            out += n == 1 ? QString::number(t.hour()) : Two(t.hour());
            break;
        case 'n':
            out += n == 1 ? QString::number(t.minute()) : Two(t.minute());
            break;
        case 's':
            out += n == 1 ? QString::number(t.second()) : Two(t.second());
            break;
        case 'z':
            out += n < 3 ? QString::number(t.msec())
                         : QString::number(t.msec()).rightJustified(3, u'0');
            break;
        case 'c':
            out += FormatDateTime(s.ShortDateFormat, value, s);
            if (t != QTime(0, 0))
                out += u' ' + FormatDateTime(s.LongTimeFormat, value, s);
            break;
        case '/':
            out += s.DateSeparator;
            break;
        case ':':
            out += s.TimeSeparator;
            break;
        default:
            out += QString(n, c);
            break;
        }
        if (lc == u'h')
            afterHour = true;
        else if (lc.isLetter())
            afterHour = false;
        i += n;
    }
    return out;
}

QString FormatDateTime(const QString& format, const QDateTime& value) {
    return FormatDateTime(format, value, FormatSettings());
}

} // namespace Rtl
