#include "MailReaders.h"
#include "UEMailSenden.Archive.h"

#include "VoskExceptions.h"

#include <gtest/gtest.h>

#include <QDir>
#include <QFile>
#include <QTemporaryDir>

using namespace UEMailSenden;

namespace {
QString Write(const QString& path, const QByteArray& bytes) {
    QDir().mkpath(QFileInfo(path).path());
    QFile f(path);
    EXPECT_TRUE(f.open(QIODevice::WriteOnly));
    f.write(bytes);
    return path;
}
} // namespace

TEST(MailArchive, PacksCopiesUnderUniqueNamesAndKeepsTheSources) {
    QTemporaryDir dir;
    const QString a = Write(dir.filePath(QStringLiteral("a/Bericht.pdf")), QByteArray(70000, 'a'));
    const QString b = Write(dir.filePath(QStringLiteral("b/Bericht.pdf")), "zweiter Bericht");
    const QString c = Write(dir.filePath(QStringLiteral("b/Übersicht")), "ohne Endung");
    const QString zip = dir.filePath(QStringLiteral("anlagen.zip"));
    WriteZipArchive(zip, {a, b, c});

    EXPECT_TRUE(QFile::exists(a) && QFile::exists(b) && QFile::exists(c));
    const auto entries = mailtest::ZipEntriesWithPython(zip);
    ASSERT_EQ(entries.size(), 3);
    EXPECT_EQ(entries[0], qMakePair(QStringLiteral("Bericht.pdf"), QByteArray(70000, 'a')));
    EXPECT_EQ(entries[1],
              qMakePair(QStringLiteral("Bericht (2).pdf"), QByteArray("zweiter Bericht")));
    EXPECT_EQ(entries[2], qMakePair(QStringLiteral("Übersicht"), QByteArray("ohne Endung")));
    EXPECT_LT(QFileInfo(zip).size(), 70000); // deflated

    // Written again, the archive holds only the new files.
    WriteZipArchive(zip, {c});
    const auto again = mailtest::ZipEntriesWithPython(zip);
    ASSERT_EQ(again.size(), 1);
    EXPECT_EQ(again[0].first, QStringLiteral("Übersicht"));

    // A source that cannot be read: the old archive stays as it was, no part file is left.
    EXPECT_THROW(WriteZipArchive(zip, {c, dir.filePath(QStringLiteral("fehlt.txt"))}),
                 EVoskException);
    EXPECT_EQ(mailtest::ZipEntriesWithPython(zip).size(), 1);
    EXPECT_EQ(QDir(dir.path()).entryList(QDir::Files), QStringList({"anlagen.zip"}));
}
