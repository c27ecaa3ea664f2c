#include "IEVectTypes.h"

namespace Imaging {

QColor ColorOf(TColor color) {
    const quint32 c = quint32(color);
    if ((c & 0xFF000000u) == 0xFF000000u) {
        // The desktop defaults of the system colours the viewers use; others read as grey.
        switch (c & 0xFFu) {
        case 0x05:
            return QColor(0xFF, 0xFF, 0xFF); // window
        case 0x08:
            return QColor(0x00, 0x00, 0x00); // window text
        case 0x0F:
            return QColor(0xF0, 0xF0, 0xF0); // button face
        case 0x12:
            return QColor(0x00, 0x00, 0x00); // button text
        case 0x17:
            return QColor(0x00, 0x00, 0x00); // info text
        case 0x18:
            return QColor(0xFF, 0xFF, 0xE1); // info background
        default:
            return QColor(0x80, 0x80, 0x80);
        }
    }
    return QColor(int(c & 0xFFu), int((c >> 8) & 0xFFu), int((c >> 16) & 0xFFu));
}

TColor TColorOf(const QColor& color) {
    return TColor(quint32(color.red()) | (quint32(color.green()) << 8) |
                  (quint32(color.blue()) << 16));
}

} // namespace Imaging
