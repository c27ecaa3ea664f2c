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

// Windows-1252; its five unassigned bytes become U+FFFD.
QString DecodeCp1252(QByteArrayView bytes);

// bytes in a charset named by a mail (UTF-8, ISO-8859-1, Windows-1252, US-ASCII, ...); an
// unknown name, or bytes invalid in UTF-8, fall back to DecodeText's choice.
QString DecodeCharset(QByteArrayView bytes, QByteArrayView charset);

} // namespace VoskPreview
