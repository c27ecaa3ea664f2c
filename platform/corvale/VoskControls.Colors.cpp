#include "VoskControls.Colors.h"

namespace Voskcontrols {
QColor ColorTopLabel(0x9E, 0xE2, 0xFE);
QColor ColorTopLabelFont(Qt::black);
} // namespace Voskcontrols
