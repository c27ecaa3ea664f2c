#include "AnnotData.h"

#include <UDM1.h>

#include <cmath>

namespace {

const QDate kDayZero(1899, 12, 30);

} // namespace

QString ShortString(const QString& s) {
    // Most names are short: count bytes only when the text could exceed the limit.
    if (s.size() * 3 <= ShortStringBytes)
        return s;
    int bytes = 0;
    qsizetype i = 0;
    while (i < s.size()) {
        const char32_t c =
            s.at(i).isHighSurrogate() && i + 1 < s.size() && s.at(i + 1).isLowSurrogate()
                ? QChar::surrogateToUcs4(s.at(i), s.at(i + 1))
                : s.at(i).unicode();
        const int len = c < 0x80 ? 1 : c < 0x800 ? 2 : c < 0x10000 ? 3 : 4;
        if (bytes + len > ShortStringBytes)
            break;
        bytes += len;
        i += c >= 0x10000 ? 2 : 1;
    }
    return s.left(i);
}

QString AllowedText(const QString& s) {
    QString out = s;
    for (QChar& c : out)
        if (c.unicode() < 32 && c != u'\r' && c != u'\n')
            c = u' ';
    return out;
}

double DateTimeToDays(const QDateTime& local) {
    const QDateTime t = local.toLocalTime();
    return double(kDayZero.daysTo(t.date())) + t.time().msecsSinceStartOfDay() / 86400000.0;
}

QDateTime DaysToDateTime(double days) {
    const double whole = std::floor(days);
    // Wall-clock time of that day, as the date form means it (no zone arithmetic).
    const int ms = int(std::min<qint64>(std::llround((days - whole) * 86400000.0), 86399999));
    return QDateTime(kDayZero.addDays(qint64(whole)), QTime::fromMSecsSinceStartOfDay(ms));
}

qint64 DaysToMinutes(double days) {
    // nearbyint rounds halves to even in the default rounding mode.
    return qint64(std::nearbyint(days * 1440.0));
}

QString UnknownAnnotationText(const QString& kind) {
    return TDM1::FormatLogText(makeText(17117, QStringLiteral("Unbekannte Anmerkung (%s)")), {kind});
}
