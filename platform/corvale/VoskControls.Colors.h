#pragma once
// Colours of the module windows' header: its background and its caption's text. The host may set
// them before the first module window opens; every module window takes them when it is made.

#include <QColor>

namespace Voskcontrols {
extern QColor ColorTopLabel;
extern QColor ColorTopLabelFont;
} // namespace Voskcontrols
