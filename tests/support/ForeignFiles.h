#pragma once
// Files written by other programs than ours: Pillow, libtiff's tiffcp and raw2tiff, ImageMagick.

#include <QByteArray>
#include <QFile>
#include <QProcess>
#include <QStringList>
#include <QTemporaryDir>

namespace testsupport {

// The file that a Python program with Pillow (Debian's python3-pil) writes to the path in
// sys.argv[1]; on failure the text "python3: " and the program's error output.
inline QByteArray PillowFile(const QString& program) {
    QTemporaryDir dir;
    const QString path = dir.filePath(QStringLiteral("pil.tif"));
    QProcess proc;
    proc.start(QStringLiteral("/usr/bin/python3"), {QStringLiteral("-c"), program, path});
    proc.waitForFinished(30000);
    QFile f(path);
    if (proc.exitCode() != 0 || !f.open(QIODevice::ReadOnly))
        return QByteArray("python3: ") + proc.readAllStandardError();
    return f.readAll();
}

// What tool writes to the last of its arguments: args, then inputs as files (named name0, name1,
// ... in a folder of their own) where args holds no "%in" or in its place, then that file's
// path. Empty when the tool fails.
inline QByteArray ToolOutput(const QString& tool, const QList<QByteArray>& inputs, QStringList args,
                             const QString& name = QStringLiteral("in.tif")) {
    QTemporaryDir dir;
    QStringList paths;
    for (int i = 0; i < inputs.size(); ++i) {
        paths << dir.filePath(QString::number(i) + name);
        QFile f(paths.last());
        f.open(QIODevice::WriteOnly);
        f.write(inputs[i]);
    }
    const qsizetype at = args.indexOf(QStringLiteral("%in"));
    if (at >= 0) {
        args.removeAt(at);
        for (qsizetype i = 0; i < paths.size(); ++i)
            args.insert(at + i, paths[i]);
    } else {
        args << paths;
    }
    const QString out = dir.filePath(QStringLiteral("out.tif"));
    args << out;
    if (QProcess::execute(tool, args) != 0)
        return {};
    QFile o(out);
    o.open(QIODevice::ReadOnly);
    return o.readAll();
}

// The pages of files, one after the other, copied by libtiff's tiffcp with args (byte order,
// compression, tiles, planes); empty when tiffcp fails.
inline QByteArray Tiffcp(const QList<QByteArray>& files, const QStringList& args) {
    return ToolOutput(QStringLiteral("tiffcp"), files, args);
}
inline QByteArray Tiffcp(const QByteArray& file, const QStringList& args) {
    return Tiffcp(QList<QByteArray>{file}, args);
}

// The TIFF that libtiff's raw2tiff makes of raw samples with args (size, bands, sample type,
// compression); empty when it fails.
inline QByteArray Raw2tiff(const QByteArray& raw, const QStringList& args) {
    return ToolOutput(QStringLiteral("raw2tiff"), {raw}, args, QStringLiteral("in.raw"));
}

// The TIFF that ImageMagick's convert writes from args (a picture and its options), or from the
// file input with args; empty when it fails.
inline QByteArray MagickFile(const QStringList& args, const QByteArray& input = {}) {
    if (input.isEmpty())
        return ToolOutput(QStringLiteral("/usr/bin/convert"), {}, args);
    return ToolOutput(QStringLiteral("/usr/bin/convert"), {input}, QStringList{QStringLiteral("%in")} + args);
}

// 16-bit grey whose high and low bytes both change from pixel to pixel, as Pillow writes it
// (little-endian, uncompressed).
inline QByteArray PillowGrey16(int width, int height) {
    return PillowFile(QStringLiteral("import sys\nfrom PIL import Image\nw, h = %1, %2\n"
                                     "im = Image.new('I;16', (w, h))\n"
                                     "im.putdata([(x * 1093 + y * 4099 + x * y * 7) % 65536 "
                                     "for y in range(h) for x in range(w)])\n"
                                     "im.save(sys.argv[1])\n")
                          .arg(width)
                          .arg(height));
}

// 16-bit colour, every channel a gradient of its own, as raw2tiff makes it of raw samples
// (little-endian, uncompressed).
inline QByteArray Raw2tiffColour16(int width, int height) {
    QByteArray raw;
    for (int y = 0; y < height; ++y)
        for (int x = 0; x < width; ++x)
            for (int c = 0; c < 3; ++c) {
                const quint16 v = quint16(x * 997 + y * 1499 + c * 20011);
                raw.append(char(v & 0xff)).append(char(v >> 8));
            }
    return Raw2tiff(raw, {QStringLiteral("-w"), QString::number(width), QStringLiteral("-l"),
                          QString::number(height), QStringLiteral("-b"), QStringLiteral("3"),
                          QStringLiteral("-d"), QStringLiteral("short"), QStringLiteral("-p"),
                          QStringLiteral("rgb")});
}

} // namespace testsupport
