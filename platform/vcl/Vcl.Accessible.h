#pragma once
// Labels that show content (a message, a record's stamps) under a fixed caption. A fixed
// accessible name would hide what they show from screen readers; such a label reads as
// "caption: text" in the accessibility tree instead, whatever its text is at the time.

#include <QString>

class QLabel;

namespace Vcl {

// Marks label as showing content under caption; its accessible name stays caption, so that the
// control is named even while it is empty.
void SetContentCaption(QLabel* label, const QString& caption);

} // namespace Vcl
