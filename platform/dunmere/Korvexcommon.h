#pragma once
// Helpers of the database layer on configuration texts.

#include <QString>

namespace Korvexcommon {

// The value of key in a text of "name=value" lines (CR LF or LF; names without regard to case,
// blanks around name and value ignored); def when the key is missing or its value empty.
QString SL_GetValue(const QString& text, const QString& key, const QString& def = {});

} // namespace Korvexcommon
