#pragma once
// Independent readers of what the mail sender writes: GMime's parser and Python's email and
// zipfile packages (/usr/bin/python3, Debian's own).

#include <QByteArray>
#include <QJsonObject>
#include <QList>
#include <QString>
#include <QStringList>

namespace mailtest {

struct Part {
    QString path;      // "1.2" : second child of the first child of the top part
    QString type;      // "text/html"
    QString contentId; // without angle brackets
    QString fileName;
    QString disposition; // "inline", "attachment" or empty
    QString charset;
    QString typeParam;  // the content type's "type" parameter (multipart/related)
    QByteArray content; // decoded; empty for multiparts
    QByteArray encoded; // the content as it stands in the file (base64 lines, say)
};

struct Draft {
    QString subject;
    QStringList to;
    QString xUnsent;
    QList<Part> parts; // depth first, the top part first
    const Part* Find(const QString& type) const;
    QList<const Part*> All(const QString& type) const;
};

Draft ParseWithGMime(const QString& fileName);
// The draft as Python's email package reads it: {"subject", "to", "x_unsent", "defects",
// "parts": [{"type", "cid", "filename", "size", "sha256", "text"}]}; sha256 is the hex digest
// of the decoded content.
QJsonObject ParseWithPython(const QString& fileName);
// The entries of a zip archive as Python's zipfile reads them: name -> content.
QList<QPair<QString, QByteArray>> ZipEntriesWithPython(const QString& fileName);

} // namespace mailtest
