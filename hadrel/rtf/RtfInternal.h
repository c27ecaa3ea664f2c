#pragma once
// Pieces shared by the RTF reader and writer.

#include <QImage>
#include <QString>
#include <QTextFormat>

namespace Rtf {

enum class ListKind { None, Bullet, Decimal, LowerAlpha, UpperAlpha, LowerRoman, UpperRoman };

// Start number of a list, kept on its format for writing back (Qt numbers every list from 1).
inline constexpr int ListStartProperty = QTextFormat::UserProperty + 0x51;
QTextListFormat ListFormat(ListKind kind, int start, const QString& suffix);
ListKind KindOfList(const QTextListFormat& format);

// A picture's original header words and bytes live beside its image under this resource name.
QString RawPictureUrl(const QString& imageName);
// A device-independent bitmap (info header, colours, pixels) as an image; null when malformed.
QImage ImageOfDib(const QByteArray& dib);
QImage PlaceholderImage(const QString& kind);

// Code page of a font's \fcharset; 0 for "the document's".
int CodePageOfCharset(int charset);
// Code pages whose characters above 0x80 take a lead and a trail byte.
bool IsDoubleByte(int codePage);
// A byte of code page 1252.
char32_t DecodeByte(int codePage, uchar b);
// The byte of c in code page 1252 above 0x7F, or -1.
int EncodeCp1252(char16_t c);

} // namespace Rtf
