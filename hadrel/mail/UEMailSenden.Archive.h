#pragma once
// The attachment archive of the mail sender: a new zip archive written in process with libarchive.

#include <QString>
#include <QStringList>

namespace UEMailSenden {

// Packs files into a new zip archive target (deflate, level 6) under their own names; a name
// that occurs twice gets " (2)", " (3)", ... before its extension. The sources stay as they are.
// The archive replaces target only when complete. Throws EVoskException with a German message.
void WriteZipArchive(const QString& target, const QStringList& files);

} // namespace UEMailSenden
