#pragma once
// RTF as the memo editor stores it, read into and written from a QTextDocument. The reader knows the
// subset a rich-edit control writes (fonts with their code pages, colours, paragraph and character
// formats, numbering of both the old and the list-table kind, pictures, simple tables); everything
// else is skipped. Pictures keep their original bytes beside the displayed image, so a picture the
// editor cannot show is written back as it came. The writer writes 7-bit RTF the reader reads back.
//
// Hostile input is bounded: group depth, numbers and data lengths are clamped, and malformed input
// gives the text read so far.

#include <QByteArray>
#include <QStringList>

class QTextCursor;
class QTextDocument;

namespace Rtf {

struct ReadResult final {
    bool isRtf = false;      // the input began with "{\rtf"
    bool complete = true;    // the input ended where its groups ended, without a broken part
    int placeholders = 0;    // pictures kept as bytes only, shown as a placeholder
    QStringList problems;    // what was skipped or broken, one line each, for the log
    // Whether the document lacks something the input held (beyond the ignorable destinations).
    bool Skipped() const { return !complete || placeholders > 0 || !problems.isEmpty(); }
};

// Whether data looks like RTF (after leading blanks).
bool IsRtf(const QByteArray& data);

// Replaces the document's content with data.
ReadResult Read(const QByteArray& data, QTextDocument* doc);
// Inserts data at the cursor as a fragment; the cursor ends behind it.
ReadResult Insert(const QByteArray& data, QTextCursor& cursor);

// The whole document as 7-bit RTF.
QByteArray Write(const QTextDocument* doc);

// Limits of the reader.
inline constexpr int MaxGroupDepth = 200;
inline constexpr qint64 MaxImagePixels = 100'000'000;

} // namespace Rtf
