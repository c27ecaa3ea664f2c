#include "RtfInternal.h"

#include <QTextListFormat>

namespace Rtf {

namespace {
// 0x80..0x9F of code page 1252; the rest of its upper half is Latin-1. Unassigned bytes keep
// their value, as Windows maps them.
constexpr char16_t Cp1252High[32] = {
    0x20AC, 0x0081, 0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0x008D, 0x017D, 0x008F, 0x0090, 0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0x009D, 0x017E, 0x0178};
} // namespace

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
    if (b >= 0x80 && b < 0xA0)
        return Cp1252High[b - 0x80];
    return b;
}

int EncodeCp1252(char16_t c) {
    if (c >= 0xA0 && c <= 0xFF)
        return c;
    for (int i = 0; i < 32; ++i)
        if (Cp1252High[i] == c && c > 0xFF)
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
