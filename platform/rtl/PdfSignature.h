#pragma once
// Whether bytes claim to be a PDF, asked before anything is handed to the PDF library: it is
// meant for PDF files, and what it makes of anything else is its own affair.

#include <QByteArrayView>
#include <QString>

class QIODevice;

namespace Rtl {

// How far into a file the "%PDF-" header may lie: readers accept a few bytes of junk before it.
inline constexpr qint64 PdfHeaderWindow = 1024;

bool HasPdfSignature(QByteArrayView head);
// Peeks: the device's position stays where it was.
bool HasPdfSignature(QIODevice& device);
bool FileHasPdfSignature(const QString& fileName);

} // namespace Rtl
