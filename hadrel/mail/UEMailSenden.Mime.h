#pragma once
// The MIME side of the mail sender: unsent drafts built and written with GMime, attachments
// streamed from their files, and the address check the hand-off relies on.
//
// A draft is
//   multipart/mixed
//     multipart/alternative
//       text/plain
//       multipart/related; type="text/html"
//         text/html
//         the linked parts (inline, each with its content id)
//     the attachments (each with its content id)
// with the header "X-Unsent: 1", which mail programs take for a message still to be sent.

#include <QByteArray>
#include <QList>
#include <QPair>
#include <QString>
#include <QStringList>

namespace UEMailSenden {

struct TMimeFile final {
    QString path;      // read when the draft is written, never whole in memory
    QString contentId; // without angle brackets
    QString fileName;  // the name the mail shows; empty: the file's own name
};

struct TMimeDraft final {
    QString subject;
    QStringList to;
    QString plainText;
    QString html;
    QList<TMimeFile> linked;
    QList<TMimeFile> attachments;
};

// Writes draft to fileName through a temporary file in the same folder that replaces it only
// when complete. Throws EVoskException with a German message naming the file at fault; nothing
// is left behind then.
void WriteMimeDraft(const TMimeDraft& draft, const QString& fileName);

// Whether address is one plain mail address that the mail program takes as it is: the MIME parser
// reads exactly that address from it, it holds an "@", and neither blanks, quotes, "?", "&" nor
// control characters, which would become parameters of the mailto URL that carries it.
bool IsPlainAddress(const QString& address);

// The MIME type of a file by its name; application/octet-stream when unknown.
QByteArray MimeTypeOfFile(const QString& path);

} // namespace UEMailSenden
