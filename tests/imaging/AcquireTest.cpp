// Acquisition through SANE's own test backend in the scan helper, a helper that crashes, hangs or
// talks nonsense, and the source of prepared pages.

#include <IEAcquire.h>
#include <ScanPages.h>

#include <gtest/gtest.h>

#include <QElapsedTimer>
#include <QTemporaryDir>

#include <cstdlib>
#include <unistd.h>

using namespace Imaging;

namespace {

class SaneAcquireTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() { scanpages::UseSaneTestBackend(); }
    void SetUp() override {
        TIEAcquire::SetDefaultBackend(nullptr);
        TIEAcquire::ClearSessionSettings();
    }
    QString option(TIEAcquire& a, const QString& name) {
        for (const TAcquireOption& o : a.Options())
            if (o.Name == name)
                return o.Value.toString();
        return {};
    }
};

TEST_F(SaneAcquireTest, ListsSelectsAndDescribesTheTestDevices) {
    TIEAcquire a;
    EXPECT_EQ(a.SelectedSourceApi(), ieaNone);
    const QStringList names = a.SourceNames(ieaTWAIN);
    ASSERT_TRUE(names.contains(QStringLiteral("test:0"))) << names.join(u',').toStdString();
    EXPECT_EQ(a.SourceNames(ieaWIA), names);
    EXPECT_TRUE(a.SourceNames(ieaNone).isEmpty());

    EXPECT_FALSE(a.SetSource(ieaTWAIN, QStringLiteral("gone:7")));
    EXPECT_EQ(a.SelectedSourceApi(), ieaNone);
    ASSERT_TRUE(a.SetSource(ieaWIA, -1));
    EXPECT_EQ(a.SelectedSource(), names.first());
    EXPECT_EQ(a.SelectedSourceApi(), ieaWIA);
    ASSERT_TRUE(a.SetSource(ieaTWAIN, QStringLiteral("test:1")));
    EXPECT_EQ(a.SelectedSourceApi(), ieaTWAIN);

    bool resolution = false, mode = false;
    for (const TAcquireOption& o : a.Options()) {
        if (o.Name == QLatin1String("resolution")) {
            resolution = true;
            EXPECT_EQ(o.Unit, QStringLiteral("dpi"));
            EXPECT_TRUE(o.HasRange);
            EXPECT_GT(o.Max, o.Min);
        }
        if (o.Name == QLatin1String("mode")) {
            mode = true;
            EXPECT_TRUE(o.Choices.contains(QStringLiteral("Color")));
        }
    }
    EXPECT_TRUE(resolution && mode);
    // The test device has a flatbed and a feeder, no duplex.
    EXPECT_FALSE(a.DuplexSupported());
    EXPECT_FALSE(a.DuplexEnabled());
}

TEST_F(SaneAcquireTest, FeederGivesAllItsPagesAtTheResolutionSet) {
    TIEAcquire a;
    ASSERT_TRUE(a.SetSource(ieaTWAIN, QStringLiteral("test:0")));
    ASSERT_TRUE(a.SetOption(QStringLiteral("resolution"), 75));
    EXPECT_DOUBLE_EQ(a.XResolution(), 75.0);
    int calls = 0;
    QList<QImage> pages;
    QString error;
    EXPECT_EQ(a.Acquire(true, pages, [&](int) { return ++calls > 0; }, error), TAcquireStatus::Good);
    ASSERT_EQ(pages.size(), 10); // the test feeder holds ten sheets
    EXPECT_GT(calls, 10);
    // 80 x 100 mm at 75 dpi, solid black.
    EXPECT_NEAR(pages[0].width(), 236, 2);
    EXPECT_NEAR(pages[0].height(), 295, 2);
    EXPECT_EQ(qGray(pages[9].pixel(10, 10)), 0);
    EXPECT_NEAR(pages[0].dotsPerMeterX() * 0.0254, 75.0, 0.5);

    // The feeder is empty now; a new batch refills it in the test device.
    QList<QImage> one;
    ASSERT_TRUE(a.SetOption(QStringLiteral("source"), QStringLiteral("Flatbed")));
    ASSERT_TRUE(a.SetOption(QStringLiteral("mode"), QStringLiteral("Color")));
    ASSERT_TRUE(a.SetOption(QStringLiteral("test-picture"), QStringLiteral("Color pattern")));
    EXPECT_EQ(a.Acquire(false, one, {}, error), TAcquireStatus::Good);
    ASSERT_EQ(one.size(), 1);
    EXPECT_EQ(one[0].format(), QImage::Format_RGB888);
}

TEST_F(SaneAcquireTest, BreakAndDeviceFailureEndTheBatch) {
    TIEAcquire a;
    ASSERT_TRUE(a.SetSource(ieaTWAIN, QStringLiteral("test:0")));
    QList<QImage> pages;
    QString error;
    EXPECT_EQ(a.Acquire(true, pages, [](int percent) { return percent < 50; }, error),
              TAcquireStatus::Cancelled);
    EXPECT_TRUE(pages.isEmpty());

    // After a break the device scans again.
    EXPECT_EQ(a.Acquire(false, pages, {}, error), TAcquireStatus::Good);
    EXPECT_EQ(pages.size(), 1);

    pages.clear();
    ASSERT_TRUE(a.SetOption(QStringLiteral("read-return-value"), QStringLiteral("SANE_STATUS_IO_ERROR")));
    EXPECT_EQ(a.Acquire(false, pages, {}, error), TAcquireStatus::Failed);
    EXPECT_FALSE(error.isEmpty());
    EXPECT_TRUE(pages.isEmpty());
    ASSERT_TRUE(a.SetOption(QStringLiteral("read-return-value"), QStringLiteral("SANE_STATUS_NO_DOCS")));
    EXPECT_EQ(a.Acquire(true, pages, {}, error), TAcquireStatus::NoDocs);
}

TEST_F(SaneAcquireTest, SessionSettingsComeBackWithTheDevice) {
    {
        TIEAcquire a;
        ASSERT_TRUE(a.SetSource(ieaTWAIN, QStringLiteral("test:0")));
        a.KeepForSession(QStringLiteral("resolution"), 120);
        // A value set without keeping it is the device's until the next selection.
        ASSERT_TRUE(a.SetOption(QStringLiteral("resolution"), 90));
        ASSERT_TRUE(a.SetSource(ieaTWAIN, QStringLiteral("test:1"))); // closes test:0
    }
    TIEAcquire b;
    ASSERT_TRUE(b.SetSource(ieaTWAIN, QStringLiteral("test:0")));
    EXPECT_DOUBLE_EQ(b.XResolution(), 120.0);
    TIEAcquire::ClearSessionSettings();
    ASSERT_TRUE(b.SetOption(QStringLiteral("resolution"), 90));
    ASSERT_TRUE(b.SetSource(ieaTWAIN, QStringLiteral("test:1")));
    ASSERT_TRUE(b.SetSource(ieaTWAIN, QStringLiteral("test:0")));
    EXPECT_DOUBLE_EQ(b.XResolution(), 90.0);
}

// Each scenario has a helper of its own whose limits let a hang cost a second.
class ScanHelperTest : public SaneAcquireTest {
protected:
    static constexpr TScanHelperLimits kLimits{1000, 1000};
    void SetUp() override {
        SaneAcquireTest::SetUp();
        m_helper = std::make_shared<TScanHelperBackend>(kLimits);
        TIEAcquire::SetDefaultBackend(m_helper);
    }
    void TearDown() override {
        TIEAcquire::SetDefaultBackend(nullptr);
        qunsetenv("KORVEX_SCAN_HELPER");
    }
    // A progress that sends signal to the helper once the sheet at (counted from 0) is under
    // way; a sheet starts where the percentage falls. Sheets of 250 dpi are larger than the
    // socket holds: what the helper sent before the signal cannot complete the sheet.
    TAcquireProgress signalAt(int at, int signal) {
        return [this, at, signal, sheet = 0, last = -1](int percent) mutable {
            if (percent < last)
                ++sheet;
            last = percent;
            if (sheet == at && percent > 0 && percent < 30 && !m_signalled) {
                m_signalled = m_helper->HelperPid();
                kill(m_signalled, signal);
            }
            if (m_signalled)
                ++m_callsAfter;
            return true;
        };
    }
    // The test device at 250 dpi.
    void selectLargeSheets() {
        ASSERT_TRUE(m_acquire.SetSource(ieaTWAIN, QStringLiteral("test:0")));
        ASSERT_TRUE(m_acquire.SetOption(QStringLiteral("resolution"), 250));
    }
    std::shared_ptr<TScanHelperBackend> m_helper;
    TIEAcquire m_acquire;
    QList<QImage> m_pages;
    QString m_error;
    pid_t m_signalled = 0;
    int m_callsAfter = 0;
};

TEST_F(ScanHelperTest, AHelperKilledPartWayKeepsThePagesBeforeAndTheNextScanStartsAfresh) {
    ASSERT_NO_FATAL_FAILURE(selectLargeSheets());
    EXPECT_EQ(m_acquire.Acquire(true, m_pages, signalAt(2, SIGKILL), m_error), TAcquireStatus::Failed);
    EXPECT_EQ(m_pages.size(), 2);
    EXPECT_TRUE(m_error.contains(QStringLiteral("Signal 9"))) << m_error.toStdString();
    EXPECT_EQ(m_helper->HelperPid(), 0);
    EXPECT_TRUE(scanpages::ProcessGone(m_signalled));

    // A fresh helper opens the device again with the value set on it: 80 mm at 250 dpi.
    m_pages.clear();
    EXPECT_EQ(m_acquire.Acquire(false, m_pages, {}, m_error), TAcquireStatus::Good);
    ASSERT_EQ(m_pages.size(), 1);
    EXPECT_NEAR(m_pages[0].width(), 787, 2);
    // The batch over, its helper is gone too.
    EXPECT_EQ(m_helper->HelperPid(), 0);
}

TEST_F(ScanHelperTest, AHelperThatStopsAnsweringIsEndedByTheWatchdog) {
    ASSERT_NO_FATAL_FAILURE(selectLargeSheets());
    QElapsedTimer clock;
    clock.start();
    EXPECT_EQ(m_acquire.Acquire(true, m_pages, signalAt(1, SIGSTOP), m_error), TAcquireStatus::Failed);
    EXPECT_LT(clock.elapsed(), 5000);
    EXPECT_EQ(m_pages.size(), 1);
    EXPECT_TRUE(m_error.contains(QStringLiteral("antwortet seit 1 s nicht"))) << m_error.toStdString();
    EXPECT_TRUE(scanpages::ProcessGone(m_signalled));
    // The window was told the progress while the helper was silent.
    EXPECT_GE(m_callsAfter, 5);
}

TEST_F(ScanHelperTest, CallsFromInsideTheProgressLeaveTheConversationAlone) {
    ASSERT_TRUE(m_acquire.SetSource(ieaTWAIN, QStringLiteral("test:0")));
    bool asked = false;
    const auto progress = [&](int) {
        if (!asked) {
            asked = true;
            QImage page;
            QString error;
            EXPECT_FALSE(m_helper->SetOption(QStringLiteral("resolution"), 200));
            EXPECT_EQ(m_helper->ReadPage(page, {}, error), TAcquireStatus::Failed);
            EXPECT_TRUE(m_helper->Devices().isEmpty());
            EXPECT_FALSE(m_helper->Options().isEmpty()); // as last read
        }
        return true;
    };
    EXPECT_EQ(m_acquire.Acquire(false, m_pages, progress, m_error), TAcquireStatus::Good)
        << m_error.toStdString();
    EXPECT_TRUE(asked);
    EXPECT_EQ(m_pages.size(), 1);
}

TEST_F(ScanHelperTest, AHelperThatIsMissingDiesOrTalksNonsenseGivesNoScanner) {
    QTemporaryDir dir;
    const auto script = [&](const char* name, const char* body) {
        const QString path = dir.filePath(QString::fromLatin1(name));
        QFile f(path);
        f.open(QIODevice::WriteOnly);
        f.write(QByteArray("#!/bin/sh\necho $$ >\"$0.pid\"\n") + body + '\n');
        f.close();
        f.setPermissions(QFileDevice::ReadOwner | QFileDevice::WriteOwner | QFileDevice::ExeOwner);
        return path;
    };
    const struct {
        QString program;
        QString fault;
    } cases[] = {
        {dir.filePath(QStringLiteral("missing")), QStringLiteral("nicht gefunden")},
        {script("exits", "exit 3"), QStringLiteral("Code 3")},
        // A length of 2 GB, which is never allocated.
        {script("huge", "printf '\\377\\377\\377\\177' >&3; exec sleep 30"), QStringLiteral("unverständlich")},
        {script("silent", "exec sleep 30"), QStringLiteral("antwortet seit 1 s nicht")},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.program.toStdString());
        qputenv("KORVEX_SCAN_HELPER", QFile::encodeName(c.program));
        TScanHelperBackend helper(kLimits);
        EXPECT_TRUE(helper.Devices().isEmpty());
        EXPECT_TRUE(helper.LastFault().contains(c.fault)) << helper.LastFault().toStdString();
        EXPECT_EQ(helper.HelperPid(), 0);
        QFile pidFile(c.program + QStringLiteral(".pid"));
        if (pidFile.open(QIODevice::ReadOnly)) {
            EXPECT_TRUE(scanpages::ProcessGone(pid_t(pidFile.readAll().trimmed().toInt())));
        }
    }
}

// The program dies while its helper is stuck where it never sees the socket close: the helper
// goes with it.
TEST_F(ScanHelperTest, AHelperEndsWithTheProgramEvenWhenItHangs) {
    int channel[2];
    ASSERT_EQ(pipe(channel), 0);
    const pid_t program = fork();
    ASSERT_GE(program, 0);
    if (program == 0) {
        TScanHelperBackend helper(kLimits);
        helper.Devices();
        pid_t pid = helper.HelperPid();
        kill(pid, SIGSTOP);
        [[maybe_unused]] const ssize_t n = write(channel[1], &pid, sizeof pid);
        _exit(0);
    }
    close(channel[1]);
    pid_t helperPid = 0;
    ASSERT_EQ(read(channel[0], &helperPid, sizeof helperPid), ssize_t(sizeof helperPid));
    close(channel[0]);
    ASSERT_GT(helperPid, 0);
    waitpid(program, nullptr, 0);
    // Not ours to reap: dead is gone, or a zombie of whoever adopted it.
    const auto dead = [&] {
        QFile stat(QStringLiteral("/proc/%1/stat").arg(helperPid));
        if (!stat.open(QIODevice::ReadOnly))
            return true;
        const QByteArray line = stat.readAll();
        return line.mid(line.lastIndexOf(')') + 2, 1) == "Z";
    };
    QElapsedTimer clock;
    clock.start();
    while (!dead() && clock.elapsed() < 3000)
        usleep(10000);
    EXPECT_TRUE(dead());
    if (!dead())
        kill(helperPid, SIGKILL);
}

TEST(MemoryAcquireTest, FeedsPreparedPagesWithDuplexAsASource) {
    auto memory = std::make_shared<TMemoryAcquire>();
    memory->SetPages({QImage(10, 10, QImage::Format_Grayscale8), QImage(20, 10, QImage::Format_Grayscale8),
                      QImage(30, 10, QImage::Format_Grayscale8)});
    memory->SetResolution(200);
    TIEAcquire::SetDefaultBackend(memory);
    TIEAcquire a;
    ASSERT_TRUE(a.SetSource(ieaWIA, -1));
    EXPECT_TRUE(a.DuplexSupported());
    EXPECT_FALSE(a.DuplexEnabled());
    a.SetDuplexEnabled(true);
    EXPECT_TRUE(a.DuplexEnabled());
    a.SetDuplexEnabled(false);
    EXPECT_FALSE(a.DuplexEnabled());
    QList<QImage> pages;
    QString error;
    // One page from the flatbed, then the feeder's rest.
    EXPECT_EQ(a.Acquire(false, pages, {}, error), TAcquireStatus::Good);
    EXPECT_EQ(a.Acquire(true, pages, {}, error), TAcquireStatus::Good);
    ASSERT_EQ(pages.size(), 3);
    EXPECT_EQ(pages[2].width(), 30);
    EXPECT_DOUBLE_EQ(a.XResolution(), 200.0);
    EXPECT_EQ(a.Acquire(true, pages, {}, error), TAcquireStatus::NoDocs);

    memory->SetPages({QImage(10, 10, QImage::Format_Grayscale8), QImage(10, 10, QImage::Format_Grayscale8)});
    memory->SetFailAfter(4); // fails on the second sheet of this batch
    EXPECT_EQ(a.Acquire(true, pages, {}, error), TAcquireStatus::Failed);
    EXPECT_EQ(pages.size(), 4);
    TIEAcquire::SetDefaultBackend(nullptr);
}

TEST(ScanLinesTest, SamplesBecomePixels) {
    // 1 bit: a set bit is black; lines are padded by the device.
    const QByteArray mono("\x80\x00\x01\x00", 4);
    const QImage m = ImageFromScanLines(mono, 2, 9, 2, false, 1);
    ASSERT_EQ(m.size(), QSize(9, 2));
    EXPECT_EQ(qGray(m.pixel(0, 0)), 0);
    EXPECT_EQ(qGray(m.pixel(1, 0)), 255);
    EXPECT_EQ(qGray(m.pixel(7, 1)), 0);
    // 16 bit keeps the high byte; an unknown line count comes from the data.
    QByteArray wide(8, '\0');
    const quint16 words[4] = {0xff00, 0x1200, 0x0000, 0x8000};
    memcpy(wide.data(), words, 8);
    const QImage g = ImageFromScanLines(wide, 4, 2, -1, false, 16);
    ASSERT_EQ(g.size(), QSize(2, 2));
    EXPECT_EQ(qGray(g.pixel(0, 0)), 255);
    EXPECT_EQ(qGray(g.pixel(1, 0)), 0x12);
    EXPECT_EQ(qGray(g.pixel(1, 1)), 0x80);
    // Short data leaves the missing lines white.
    const QImage rgb = ImageFromScanLines(QByteArray(6, '\0'), 6, 2, 3, true, 8);
    EXPECT_EQ(qGray(rgb.pixel(1, 0)), 0);
    EXPECT_EQ(qGray(rgb.pixel(1, 2)), 255);
    EXPECT_TRUE(ImageFromScanLines({}, 0, 0, 0, false, 8).isNull());
}

} // namespace
