// Acquisition through SANE's own test backend and through the source of prepared pages.

#include <IEAcquire.h>
#include <ScanPages.h>

#include <gtest/gtest.h>

#include <cstdio>
#include <cstdlib>
#include <unistd.h>

using namespace Imaging;

namespace {

// SANE ends a pass by cancelling the backend's reader thread asynchronously. A cancel that lands
// while that thread holds a C library lock (strerror's locale lock after the closed pipe wakes
// it, the allocator's) leaves the lock taken for good, and the process then hangs in its exit
// handlers. A scenario that scans therefore runs in a process of its own that leaves with _Exit
// once its expectations are checked; the alarm turns any hang into a reported failure.
template <class Scenario>
void InScanProcess(Scenario&& scenario) {
    EXPECT_EXIT(
        {
            alarm(120);
            scenario();
            std::fflush(stdout);
            std::_Exit(::testing::Test::HasFailure() ? 1 : 0);
        },
        ::testing::ExitedWithCode(0), "");
}

class SaneAcquireTest : public ::testing::Test {
protected:
    static void SetUpTestSuite() {
        scanpages::UseSaneTestBackend();
        // A fresh process per scenario, not a fork of this one with whatever it holds.
        GTEST_FLAG_SET(death_test_style, "threadsafe");
    }
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
    InScanProcess([&] {
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
    });
}

TEST_F(SaneAcquireTest, BreakAndDeviceFailureEndTheBatch) {
    InScanProcess([&] {
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
    });
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
