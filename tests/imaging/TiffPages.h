#pragma once
// Test pages and the independent readers: libtiff's command-line tools.

#include <QImage>
#include <QPainter>
#include <QRegularExpression>
#include <QProcess>
#include <QRandomGenerator>
#include <QTemporaryDir>
#include <QTemporaryFile>

#include <cstring>

namespace tiffpages {

// The bytes as a file in dir, for the readers that take a path; that path.
inline QString WriteIn(const QTemporaryDir& dir, const QByteArray& bytes,
                       const QString& name = QStringLiteral("in.tif")) {
    const QString path = dir.filePath(name);
    QFile f(path);
    f.open(QIODevice::WriteOnly);
    f.write(bytes);
    return path;
}

// A text page: black lines of text on white, as a scan of a letter looks.
inline QImage TextPage(int width = 620, int height = 877, int seed = 1) {
    QImage page(width, height, QImage::Format_Grayscale8);
    page.fill(Qt::white);
    QPainter p(&page);
    p.setPen(Qt::black);
    QFont font;
    font.setPixelSize(qMax(8, height / 60));
    p.setFont(font);
    QRandomGenerator rng{quint32(seed)};
    for (int y = height / 10; y < height - height / 10; y += height / 40) {
        QString line;
        const int words = 4 + int(rng.bounded(8));
        for (int w = 0; w < words; ++w)
            line += QString(QChar(u'A' + rng.bounded(26))).repeated(1 + int(rng.bounded(7))) + u' ';
        p.drawText(width / 12, y, line);
    }
    p.end();
    return page.convertToFormat(QImage::Format_Mono, Qt::ThresholdDither);
}

inline QImage GreyPage(int width = 400, int height = 300) {
    QImage page(width, height, QImage::Format_Grayscale8);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            page.scanLine(y)[x] = uchar((x * 255 / width + y) & 0xff);
    return page;
}

inline QImage ColourPage(int width = 320, int height = 240, bool alpha = false) {
    QImage page(width, height, alpha ? QImage::Format_ARGB32 : QImage::Format_RGB32);
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            page.setPixel(x, y, qRgba(x * 255 / width, y * 255 / height, (x + y) & 0xff,
                                      alpha ? (x * 7) & 0xff : 255));
    return page;
}

// Output of a libtiff tool run on bytes written to a temporary file.
inline QString RunTool(const QString& tool, const QByteArray& bytes, QStringList args = {}) {
    QTemporaryFile file;
    if (!file.open())
        return {};
    file.write(bytes);
    file.flush();
    QProcess proc;
    args << file.fileName();
    proc.start(tool, args);
    proc.waitForFinished(30000);
    return QString::fromLocal8Bit(proc.readAllStandardOutput() + proc.readAllStandardError());
}

// One directory of a TIFF as libtiff's tiffinfo prints it: its field lines and the bytes of its
// strips or tiles in order, decoded (samples in this machine's byte order) or raw as stored.
struct TiffInfoPage {
    QStringList fields;
    QByteArray data;
    // The text after "name: " in the field lines ("Bits/Sample" gives "16").
    QString Field(const QString& name) const {
        const QString key = name + QStringLiteral(": ");
        for (const QString& line : fields)
            if (const qsizetype at = line.indexOf(key); at >= 0) {
                const QString rest = line.mid(at + key.size());
                // Two fields share a line ("Image Width: 6 Image Length: 2").
                const qsizetype next = rest.indexOf(QStringLiteral(" Image "));
                return (next >= 0 ? rest.left(next) : rest).trimmed();
            }
        return {};
    }
    // The samples as 16-bit words.
    QList<quint16> Words() const {
        QList<quint16> words(data.size() / 2);
        std::memcpy(words.data(), data.constData(), size_t(words.size()) * 2);
        return words;
    }
};

inline QList<TiffInfoPage> TiffInfo(const QByteArray& tiff, bool raw = false) {
    const QString text = RunTool(QStringLiteral("tiffinfo"), tiff,
                                 raw ? QStringList{QStringLiteral("-d"), QStringLiteral("-r")}
                                     : QStringList{QStringLiteral("-d")});
    QList<TiffInfoPage> pages;
    for (const QString& line : text.split(u'\n')) {
        if (line.startsWith(QStringLiteral("=== TIFF directory"))) {
            pages.append(TiffInfoPage{});
            continue;
        }
        if (pages.isEmpty())
            continue;
        const QString trimmed = line.trimmed();
        static const QRegularExpression hex(QStringLiteral("^([0-9a-f]{2}( |$))+$"));
        if (hex.match(trimmed).hasMatch())
            pages.last().data += QByteArray::fromHex(trimmed.toLatin1());
        else if (!trimmed.isEmpty())
            pages.last().fields << line;
    }
    return pages;
}

// Every page of a picture file as Pillow reads it, in RGB on white paper; empty when Pillow
// fails.
inline QList<QImage> PillowPagesOnWhite(const QByteArray& file) {
    QTemporaryDir dir;
    const QString path = WriteIn(dir, file);
    QProcess proc;
    proc.start(
        QStringLiteral("/usr/bin/python3"),
        {QStringLiteral("-c"),
         QStringLiteral("import sys\nfrom PIL import Image, ImageSequence\n"
                        "for n, im in enumerate(ImageSequence.Iterator(Image.open(sys.argv[1]))):\n"
                        "    im = im.convert('RGBA')\n"
                        "    paper = Image.new('RGB', im.size, 'white')\n"
                        "    paper.paste(im, mask=im.getchannel('A'))\n"
                        "    paper.save('%s/p%d.png' % (sys.argv[2], n))\n"),
         path, dir.path()});
    proc.waitForFinished(30000);
    QList<QImage> pages;
    if (proc.exitCode() != 0) {
        qWarning("Pillow: %s", proc.readAllStandardError().constData());
        return pages;
    }
    for (int n = 0;; ++n) {
        const QImage page(dir.filePath(QStringLiteral("p%1.png").arg(n)));
        if (page.isNull())
            return pages;
        pages << page;
    }
}

// Mean absolute difference per channel of two images of the same size.
inline double MeanDifference(const QImage& a, const QImage& b) {
    const QImage x = a.convertToFormat(QImage::Format_RGB32);
    const QImage y = b.convertToFormat(QImage::Format_RGB32);
    if (x.size() != y.size())
        return 1e9;
    double sum = 0;
    for (int r = 0; r < x.height(); ++r)
        for (int c = 0; c < x.width(); ++c) {
            const QRgb p = x.pixel(c, r), q = y.pixel(c, r);
            sum += std::abs(qRed(p) - qRed(q)) + std::abs(qGreen(p) - qGreen(q)) +
                   std::abs(qBlue(p) - qBlue(q));
        }
    return sum / (3.0 * x.width() * x.height());
}

} // namespace tiffpages
