#include "RtfInternal.h"

#include <QTextListFormat>
#include <VoskPreviewText.h>

namespace Rtf {

int CodePageOfCharset(int charset) {
    switch (charset) {
    case 0: return 1252;
    case 238: return 1250;
    case 204: return 1251;
    case 161: return 1253;
    case 162: return 1254;
    case 177: return 1255;
    case 178: return 1256;
    case 186: return 1257;
    case 163: return 1258;
    case 222: return 874;
    case 128: return 932;  // Shift-JIS
    case 129: return 949;  // Hangul
    case 130: return 1361; // Johab
    case 134: return 936;  // GB2312
    case 136: return 950;  // Big5
    case 77: return 10000; // Mac Roman
    case 255: return 437;  // OEM
    default: return 0; // symbol and OEM sets: the document's code page
    }
}

bool IsDoubleByte(int codePage) {
    return codePage == 932 || codePage == 936 || codePage == 949 || codePage == 950 ||
           codePage == 1361;
}

char32_t DecodeByte(int, uchar b) {
    // Unassigned bytes keep their value, as Windows maps them.
    const char16_t c = VoskPreview::Cp1252Char(b);
    return c ? c : b;
}

int EncodeCp1252(char16_t c) {
    if (c >= 0xA0 && c <= 0xFF)
        return c;
    for (int i = 0; i < 32; ++i)
        if (VoskPreview::Cp1252High[i] == c && c > 0xFF)
            return 0x80 + i;
    return -1;
}

ListKind KindOfList(const QTextListFormat& f) {
    switch (f.style()) {
    case QTextListFormat::ListDisc:
    case QTextListFormat::ListCircle:
    case QTextListFormat::ListSquare: return ListKind::Bullet;
    case QTextListFormat::ListDecimal: return ListKind::Decimal;
    case QTextListFormat::ListLowerAlpha: return ListKind::LowerAlpha;
    case QTextListFormat::ListUpperAlpha: return ListKind::UpperAlpha;
    case QTextListFormat::ListLowerRoman: return ListKind::LowerRoman;
    case QTextListFormat::ListUpperRoman: return ListKind::UpperRoman;
    default: return ListKind::Bullet;
    }
}

} // namespace Rtf
