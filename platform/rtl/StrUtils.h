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
// name cut to at most maxBytes in the file system's encoding (a file name's limit), between two
// characters, keeping its extension and, when the part before the extension ends in keepTail
// (a time stamp and unique suffix, say), that tail too; a name that fits is returned as it is.
QString FitFileName(const QString& name, qsizetype maxBytes = 255, const QString& keepTail = {});

} // namespace Rtl
