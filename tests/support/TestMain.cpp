// Test main: the application class with the guarded notify on the offscreen platform, standard
// paths in test mode.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <cstdio>
#include <memory>

#include <unistd.h>

#ifdef KORVEX_TEST_HAVE_VCL
#include "DialogAnswerer.h"
#include "Vcl.Application.h"
using TestApplication = Vcl::TApplication;
#else
using TestApplication = QApplication;
#endif

namespace {

// GoogleTest reports the tests of a suite whose set-up failed as skipped, and ctest takes every
// "[  SKIPPED ]" for a skip: those tests are printed as failed instead, so ctest fails them.
class SetUpFailurePrinter final : public ::testing::TestEventListener {
public:
    explicit SetUpFailurePrinter(::testing::TestEventListener* inner) : m_inner(inner) {}

    void OnTestProgramStart(const ::testing::UnitTest& u) override { m_inner->OnTestProgramStart(u); }
    void OnTestIterationStart(const ::testing::UnitTest& u, int i) override {
        m_inner->OnTestIterationStart(u, i);
    }
    void OnEnvironmentsSetUpStart(const ::testing::UnitTest& u) override {
        m_inner->OnEnvironmentsSetUpStart(u);
    }
    void OnEnvironmentsSetUpEnd(const ::testing::UnitTest& u) override {
        m_inner->OnEnvironmentsSetUpEnd(u);
    }
    void OnTestSuiteStart(const ::testing::TestSuite& s) override { m_inner->OnTestSuiteStart(s); }
    void OnTestCaseStart(const ::testing::TestCase& s) override { m_inner->OnTestCaseStart(s); }
    void OnTestStart(const ::testing::TestInfo& t) override { m_inner->OnTestStart(t); }
    void OnTestDisabled(const ::testing::TestInfo& t) override { m_inner->OnTestDisabled(t); }
    void OnTestPartResult(const ::testing::TestPartResult& r) override {
        m_inner->OnTestPartResult(r);
    }
    void OnTestEnd(const ::testing::TestInfo& t) override {
        if (t.result()->Skipped() && suiteSetUpFailed()) {
            std::printf("[  FAILED  ] %s.%s (the set-up of its suite failed)\n",
                        t.test_suite_name(), t.name());
            std::fflush(stdout);
            return;
        }
        m_inner->OnTestEnd(t);
    }
    void OnTestSuiteEnd(const ::testing::TestSuite& s) override { m_inner->OnTestSuiteEnd(s); }
    void OnTestCaseEnd(const ::testing::TestCase& s) override { m_inner->OnTestCaseEnd(s); }
    void OnEnvironmentsTearDownStart(const ::testing::UnitTest& u) override {
        m_inner->OnEnvironmentsTearDownStart(u);
    }
    void OnEnvironmentsTearDownEnd(const ::testing::UnitTest& u) override {
        m_inner->OnEnvironmentsTearDownEnd(u);
    }
    void OnTestIterationEnd(const ::testing::UnitTest& u, int i) override {
        bool failed = false;
        for (int k = 0; k < u.total_test_suite_count(); ++k)
            if (const ::testing::TestSuite* s = u.GetTestSuite(k);
                s->ad_hoc_test_result().Failed()) {
                std::printf("[  FAILED  ] %s: set-up or tear-down of the suite\n", s->name());
                failed = true;
            }
        // The summary would list the suite's tests as skipped again.
        if (!failed)
            m_inner->OnTestIterationEnd(u, i);
        std::fflush(stdout);
    }
    void OnTestProgramEnd(const ::testing::UnitTest& u) override { m_inner->OnTestProgramEnd(u); }

private:
    static bool suiteSetUpFailed() {
        const ::testing::TestSuite* s = ::testing::UnitTest::GetInstance()->current_test_suite();
        return s && s->ad_hoc_test_result().Failed();
    }
    std::unique_ptr<::testing::TestEventListener> m_inner;
};

} // namespace

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    ::testing::TestEventListeners& listeners = ::testing::UnitTest::GetInstance()->listeners();
    listeners.Append(new SetUpFailurePrinter(
        listeners.Release(listeners.default_result_printer())));
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    // Tests only ever reach the build folder's private cluster, whatever the caller's environment.
    qputenv("PGHOST", KORVEX_TEST_PGHOST);
    qputenv("PGPORT", "5432");
    qputenv("PGUSER", "postgres");
    qunsetenv("PGSERVICE");
    qunsetenv("PGPASSWORD");
    if (qEnvironmentVariableIsEmpty("KORVEX_TEST_TEMPLATE"))
        qputenv("KORVEX_TEST_TEMPLATE", "korvex_template");
    qputenv("KORVEX_SOURCE_DIR", KORVEX_SOURCE_DIR);
    if (qEnvironmentVariableIsEmpty("XDG_RUNTIME_DIR")) {
        const QString runtime = QDir::tempPath() + QStringLiteral("/korvex-runtime-%1").arg(getuid());
        QDir().mkpath(runtime);
        QFile::setPermissions(runtime, QFile::ReadOwner | QFile::WriteOwner | QFile::ExeOwner);
        qputenv("XDG_RUNTIME_DIR", runtime.toUtf8());
    }
    QStandardPaths::setTestModeEnabled(true);
    TestApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("korvex-tests"));
    QApplication::setApplicationName(QStringLiteral("korvex-tests"));
#ifdef KORVEX_TEST_HAVE_VCL
    // Outside a test's own answerer, any question fails the test instead of waiting for a user,
    // and no program or URL is really started.
    testsupport::DialogAnswerer strict;
    return RUN_ALL_TESTS();
#else
    return RUN_ALL_TESTS();
#endif
}
