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

// The pages of files, one after the other, copied by libtiff's tiffcp with args (byte order,
// compression, tiles, planes); empty when tiffcp fails.
inline QByteArray Tiffcp(const QList<QByteArray>& files, QStringList args) {
    QTemporaryDir dir;
    for (int i = 0; i < files.size(); ++i) {
        const QString in = dir.filePath(QStringLiteral("in%1.tif").arg(i));
        QFile f(in);
        f.open(QIODevice::WriteOnly);
        f.write(files[i]);
        args << in;
    }
    const QString out = dir.filePath(QStringLiteral("out.tif"));
    args << out;
    if (QProcess::execute(QStringLiteral("tiffcp"), args) != 0)
        return {};
    QFile o(out);
    o.open(QIODevice::ReadOnly);
    return o.readAll();
}
inline QByteArray Tiffcp(const QByteArray& file, const QStringList& args) {
    return Tiffcp(QList<QByteArray>{file}, args);
}

// The TIFF that libtiff's raw2tiff makes of raw samples with args (size, bands, sample type,
// compression); empty when it fails.
inline QByteArray Raw2tiff(const QByteArray& raw, QStringList args) {
    QTemporaryDir dir;
    const QString in = dir.filePath(QStringLiteral("in.raw"));
    QFile f(in);
    f.open(QIODevice::WriteOnly);
    f.write(raw);
    f.close();
    const QString out = dir.filePath(QStringLiteral("out.tif"));
    args << in << out;
    if (QProcess::execute(QStringLiteral("raw2tiff"), args) != 0)
        return {};
    QFile o(out);
    o.open(QIODevice::ReadOnly);
    return o.readAll();
}

// The TIFF that ImageMagick's convert writes from args (a picture and its options), or from the
// file input with args; empty when it fails.
inline QByteArray MagickFile(QStringList args, const QByteArray& input = {}) {
    QTemporaryDir dir;
    if (!input.isEmpty()) {
        const QString in = dir.filePath(QStringLiteral("in.tif"));
        QFile f(in);
        f.open(QIODevice::WriteOnly);
        f.write(input);
        args.prepend(in);
    }
    const QString out = dir.filePath(QStringLiteral("out.tif"));
    args << out;
    if (QProcess::execute(QStringLiteral("/usr/bin/convert"), args) != 0)
        return {};
    QFile o(out);
    o.open(QIODevice::ReadOnly);
    return o.readAll();
}

} // namespace testsupport
