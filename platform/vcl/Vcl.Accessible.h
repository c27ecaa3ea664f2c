#pragma once
// Labels that show content (a message, a record's stamps) under a fixed caption. A fixed
// accessible name would hide what they show from screen readers; such a label reads as
// "caption: text" in the accessibility tree instead, whatever its text is at the time.

#include <QString>

class QLabel;
class QWidget;

namespace Vcl {

// Marks label as showing content under caption; its accessible name stays caption, so that the
// control is named even while it is empty.
void SetContentCaption(QLabel* label, const QString& caption);

// A message window (a question, an error, a balloon, a wait dialog) read out by what it says:
// its description is the message as the window shows it (plain text, markup not interpreted),
// so that a screen reader announcing the window reads the message with it.
void SetMessageDescription(QWidget* window, const QString& text);

} // namespace Vcl
