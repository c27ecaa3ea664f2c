// The configuration file: names in any letter case, strict types, a private file written whole.
#include "VoskBaseConfiguration.h"

#include <QFile>
#include <QFileInfo>
#include <VoskExceptions.h>
#include <QTemporaryDir>

#include <gtest/gtest.h>

namespace {

TEST(Configuration, KeysInAnyCaseKeepTheirSpellingAndTheFileStaysPrivate) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("korvex/korvex.ini"));
    {
        TVoskBaseConfiguration cfg(file);
        cfg.Write(QStringLiteral("DB3"), QStringLiteral("HOST"), QStringLiteral("db.local"));
        cfg.Write(QStringLiteral("db3"), QStringLiteral("Port"), 5433);
        cfg.Write(QStringLiteral("Login"), QStringLiteral("Password"), QStringLiteral("a=b c"));
        cfg.Write(QStringLiteral("db3"), QStringLiteral("host"), QStringLiteral("db2.local"));
    }
    EXPECT_EQ(QFile::permissions(file), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                            QFileDevice::ReadUser | QFileDevice::WriteUser);
    TVoskBaseConfiguration cfg(file);
    EXPECT_EQ(cfg.Read(QStringLiteral("Db3"), QStringLiteral("Host"), QString()).toString(),
              u"db2.local");
    EXPECT_EQ(cfg.Keys(QStringLiteral("DB3")), (QStringList{"HOST", "Port"}));
    EXPECT_EQ(cfg.Read(QStringLiteral("DB3"), QStringLiteral("port"), 5432).toInt(), 5433);
    EXPECT_EQ(cfg.Read(QStringLiteral("Login"), QStringLiteral("Password"), QString()).toString(),
              u"a=b c");
    // A default of another type: text that does not convert gives the default.
    EXPECT_EQ(cfg.Read(QStringLiteral("DB3"), QStringLiteral("HOST"), 7).toInt(), 7);
    EXPECT_FALSE(cfg.KeyExists(QStringLiteral("DB3"), QStringLiteral("Database")));
    EXPECT_EQ(cfg.Read(QStringLiteral("DB9"), QStringLiteral("Host"), QStringLiteral("localhost"))
                  .toString(),
              u"localhost");
}

TEST(Configuration, UnwritableFolderRaisesAndKeepsTheOldFile) {
    QTemporaryDir dir;
    const QString file = dir.filePath(QStringLiteral("korvex.ini"));
    TVoskBaseConfiguration cfg(file);
    cfg.Write(QStringLiteral("Login"), QStringLiteral("Server"), 1);
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::ExeOwner);
    if (QFileInfo(dir.path()).isWritable())
        GTEST_SKIP() << "running with rights that ignore folder permissions";
    EXPECT_THROW(cfg.Write(QStringLiteral("Login"), QStringLiteral("Server"), 2), EVoskException);
    QFile::setPermissions(dir.path(), QFileDevice::ReadOwner | QFileDevice::WriteOwner |
                                          QFileDevice::ExeOwner);
    EXPECT_EQ(TVoskBaseConfiguration(file).Read(QStringLiteral("Login"), QStringLiteral("Server"), 0)
                  .toInt(),
              1);
}

} // namespace
