// A working copy held by another program: a reader makes it busy, a writer also unreadable, and
// an office lock file beside it counts as well; none of it outlives the holder.
#include "Korvexutils.h"

#include <gtest/gtest.h>

#include <QCoreApplication>
#include <QDir>
#include <QFile>
#include <QProcess>
#include <QTemporaryDir>

namespace {

class FileUse : public ::testing::Test {
protected:
    void SetUp() override {
        ASSERT_TRUE(m_dir.isValid());
        m_file = m_dir.filePath(QStringLiteral("brief.txt"));
        QFile f(m_file);
        ASSERT_TRUE(f.open(QIODevice::WriteOnly));
        f.write("Inhalt");
    }
    void TearDown() override {
        if (m_holder.state() != QProcess::NotRunning) {
            m_holder.kill();
            m_holder.waitForFinished();
        }
    }
    // Another process keeps the file open until killed; the shell opens it before it says so.
    void hold(const char* redirect) {
        m_holder.start(QStringLiteral("/bin/sh"),
                       {QStringLiteral("-c"),
                        QStringLiteral("exec 3%1\"$0\"; echo bereit; exec sleep 60")
                            .arg(QLatin1String(redirect)),
                        m_file});
        ASSERT_TRUE(m_holder.waitForStarted());
        ASSERT_TRUE(m_holder.waitForReadyRead(10000));
    }
    void release() {
        m_holder.kill();
        m_holder.waitForFinished();
    }

    QTemporaryDir m_dir;
    QString m_file;
    QProcess m_holder;
};

TEST_F(FileUse, AFreeFileIsReadableAndAMissingOneIsNeither) {
    EXPECT_FALSE(Korvexutils::IsFileInUse(m_file));
    EXPECT_TRUE(Korvexutils::CanFileRead(m_file));
    // This process's own handles never make the file busy.
    QFile mine(m_file);
    ASSERT_TRUE(mine.open(QIODevice::ReadWrite));
    EXPECT_FALSE(Korvexutils::IsFileInUse(m_file));
    EXPECT_TRUE(Korvexutils::CanFileRead(m_file));
    mine.close();

    const QString gone = m_dir.filePath(QStringLiteral("fehlt.txt"));
    EXPECT_FALSE(Korvexutils::IsFileInUse(gone));
    EXPECT_FALSE(Korvexutils::CanFileRead(gone));
}

TEST_F(FileUse, AReaderMakesItBusyAWriterAlsoUnreadableUntilItEnds) {
    hold("<");
    EXPECT_TRUE(Korvexutils::IsFileInUse(m_file));
    EXPECT_TRUE(Korvexutils::CanFileRead(m_file));
    release();
    EXPECT_FALSE(Korvexutils::IsFileInUse(m_file));

    hold(">>");
    EXPECT_TRUE(Korvexutils::IsFileInUse(m_file));
    EXPECT_FALSE(Korvexutils::CanFileRead(m_file));
    release();
    EXPECT_FALSE(Korvexutils::IsFileInUse(m_file));
    EXPECT_TRUE(Korvexutils::CanFileRead(m_file));

    // An editor that saved by rename holds the old inode, not the new file.
    hold("<");
    const QString fresh = m_dir.filePath(QStringLiteral("neu.tmp"));
    QFile f(fresh);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.write("Neu");
    f.close();
    ASSERT_TRUE(QFile::remove(m_file));
    ASSERT_TRUE(QFile::rename(fresh, m_file));
    EXPECT_FALSE(Korvexutils::IsFileInUse(m_file));
}

TEST_F(FileUse, AnOfficeLockFileBesideItCountsForThatFileOnly) {
    const QString lock = m_dir.filePath(QStringLiteral(".~lock.brief.txt#"));
    QFile f(lock);
    ASSERT_TRUE(f.open(QIODevice::WriteOnly));
    f.close();
    EXPECT_TRUE(Korvexutils::IsFileInUse(m_file));
    QFile other(m_dir.filePath(QStringLiteral("brief.txt.bak")));
    ASSERT_TRUE(other.open(QIODevice::WriteOnly));
    other.close();
    EXPECT_FALSE(Korvexutils::IsFileInUse(other.fileName()));
    ASSERT_TRUE(QFile::remove(lock));
    EXPECT_FALSE(Korvexutils::IsFileInUse(m_file));
}

} // namespace
