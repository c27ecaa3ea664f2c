#pragma once
// Small string helpers of the runtime that several packages use.

#include <QString>
#include <QStringList>

namespace Rtl {

// Cuts text to at most maxChars UTF-16 units without splitting a surrogate pair.
QString TruncateText(const QString& text, int maxChars);
// Boolean text as the database layer stores it: "-1", "1", "True", "T", "Y", "J" are true.
bool StrToBoolDef(const QString& text, bool def);
QString BoolToStr(bool value);
// "name=value" lines to a value by name (case-insensitive), like TStrings.Values.
QString ValueOf(const QStringList& lines, const QString& name, bool* found = nullptr);

} // namespace Rtl
