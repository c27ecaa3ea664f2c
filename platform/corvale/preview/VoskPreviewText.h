#pragma once
// Text for the document preview: whether a file's first bytes look like text, and those bytes
// decoded. German files are often Windows-1252 rather than UTF-8, so bytes that are not valid
// UTF-8 are read as Windows-1252 (a superset of Latin-1's printable characters); a byte-order
// mark picks UTF-8 or UTF-16. Qt Core only.

#include <QByteArrayView>
#include <QString>

namespace VoskPreview {

// How much of a file the preview reads to sniff its kind, and at most to show it as text.
inline constexpr qint64 SniffBytes = 4096;
inline constexpr qint64 MaxTextBytes = 1 << 20;

// Whether head, the beginning of a file, is text: no NUL byte (unless UTF-16 with its mark),
// hardly any control characters.
bool LooksLikeText(QByteArrayView head);

struct TDecodedText final {
    QString text;     // line ends as "\n"
    QString encoding; // "UTF-8", "UTF-16LE", "UTF-16BE" or "Windows-1252"
};

// bytes decoded as above. cut: they are the beginning of a longer file, so a character that the
// cut splits is left out instead of being taken for a wrong encoding.
TDecodedText DecodeText(QByteArrayView bytes, bool cut = false);

// The 32 characters that Windows-1252 puts where Latin-1 has control codes; 0 is unassigned.
inline constexpr char16_t Cp1252High[32] = {
    0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021, 0x02C6, 0x2030, 0x0160,
    0x2039, 0x0152, 0,      0x017D, 0,      0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022,
    0x2013, 0x2014, 0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

// The character of byte b in Windows-1252; 0 for its five unassigned bytes.
inline char16_t Cp1252Char(uchar b) { return b >= 0x80 && b < 0xA0 ? Cp1252High[b - 0x80] : b; }

// Windows-1252; its five unassigned bytes become U+FFFD.
QString DecodeCp1252(QByteArrayView bytes);

// bytes in a charset named by a mail (UTF-8, ISO-8859-1, Windows-1252, US-ASCII, ...); an
// unknown name, or bytes invalid in UTF-8, fall back to DecodeText's choice.
QString DecodeCharset(QByteArrayView bytes, QByteArrayView charset);

} // namespace VoskPreview
