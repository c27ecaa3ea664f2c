#include "Korvexcommon.h"

#include <StrUtils.h>

#include <QRegularExpression>

namespace Korvexcommon {

QString SL_GetValue(const QString& text, const QString& key, const QString& def) {
    static const QRegularExpression lineBreak(QStringLiteral("\r\n|\n|\r"));
    const QString value =
        Rtl::ValueOf(text.split(lineBreak, Qt::SkipEmptyParts), key.trimmed()).trimmed();
    return value.isEmpty() ? def : value;
}

} // namespace Korvexcommon
