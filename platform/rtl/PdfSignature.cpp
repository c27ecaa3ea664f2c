#include "PdfSignature.h"

#include <QFile>
#include <QIODevice>

#include <algorithm>

namespace Rtl {

bool HasPdfSignature(QByteArrayView head) {
    return head.first(std::min<qsizetype>(head.size(), PdfHeaderWindow)).contains("%PDF-");
}

bool HasPdfSignature(QIODevice& device) {
    return device.isReadable() && HasPdfSignature(QByteArrayView(device.peek(PdfHeaderWindow)));
}

bool FileHasPdfSignature(const QString& fileName) {
    QFile file(fileName);
    return file.open(QIODevice::ReadOnly) && HasPdfSignature(file);
}

} // namespace Rtl
