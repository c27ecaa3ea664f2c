#pragma once
// Pages for scan tests: barcodes drawn by ZXing's writer on a page, and a private SANE
// configuration that knows only the "test" backend, so that no network backend is probed.

#include <ZXing/BitMatrix.h>
#include <ZXing/MultiFormatWriter.h>

#include <QDir>
#include <QFile>
#include <QFileInfo>
#include <QImage>
#include <QPainter>
#include <QRandomGenerator>
#include <QTemporaryDir>

#include <dlfcn.h>
#include <link.h>
#include <memory>

namespace scanpages {

// The code drawn with modules of scale pixels (with its quiet zone).
inline QImage Barcode(const QString& text, ZXing::BarcodeFormat format, int scale = 3) {
    ZXing::MultiFormatWriter writer(format);
    writer.setMargin(10);
    const ZXing::BitMatrix m = writer.encode(text.toStdWString(), 0, 0);
    QImage image(m.width() * scale, (format == ZXing::BarcodeFormat::QRCode ? m.height() : 40) * scale,
                 QImage::Format_Grayscale8);
    image.fill(255);
    for (int y = 0; y < image.height(); ++y) {
        uchar* line = image.scanLine(y);
        const int my = format == ZXing::BarcodeFormat::QRCode ? y / scale : 0;
        for (int x = 0; x < image.width(); ++x)
            if (m.get(x / scale, my))
                line[x] = 0;
    }
    return image;
}

// A grey page with light noise (fixed seed) and the codes placed top left, one under the other.
inline QImage Page(int width, int height, const QList<QImage>& codes = {}, quint32 seed = 1) {
    QImage page(width, height, QImage::Format_Grayscale8);
    QRandomGenerator rng(seed);
    for (int y = 0; y < height; ++y) {
        uchar* line = page.scanLine(y);
        for (int x = 0; x < width; ++x)
            line[x] = uchar(225 + rng.bounded(30));
    }
    QPainter p(&page);
    int top = height / 20;
    for (const QImage& code : codes) {
        p.drawImage(width / 20, top, code);
        top += code.height() + height / 20;
    }
    return page;
}

// Points SANE_CONFIG_DIR at a folder whose dll.conf lists only "test"; SANE must not have been
// initialised before in the process.
inline void UseSaneTestBackend() {
    static std::unique_ptr<QTemporaryDir> dir;
    if (dir)
        return;
    dir = std::make_unique<QTemporaryDir>();
    QFile conf(dir->filePath(QStringLiteral("dll.conf")));
    conf.open(QIODevice::WriteOnly);
    conf.write("test\n");
    conf.close();
    qputenv("SANE_CONFIG_DIR", QFile::encodeName(dir->path()));
    // SANE unloads its backends when it exits, and what the test backend's reader thread leaves
    // behind would then be a leak of no known library: it stays loaded, named in leak reports.
    void* sane = dlopen("libsane.so.1", RTLD_LAZY | RTLD_NOLOAD);
    link_map* map = nullptr;
    if (sane && dlinfo(sane, RTLD_DI_LINKMAP, &map) == 0 && map && map->l_name) {
        const QString backend = QFileInfo(QFile::decodeName(map->l_name)).absolutePath() +
                                QStringLiteral("/sane/libsane-test.so.1");
        dlopen(QFile::encodeName(backend).constData(), RTLD_LAZY | RTLD_LOCAL);
    }
    if (sane)
        dlclose(sane);
}

} // namespace scanpages
