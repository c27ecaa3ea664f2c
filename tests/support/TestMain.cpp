// Test main: the application class with the guarded notify on the offscreen platform, standard
// paths in test mode.
#include <gtest/gtest.h>

#include <QApplication>
#include <QDir>
#include <QFile>
#include <QStandardPaths>

#include <unistd.h>

#ifdef KORVEX_TEST_HAVE_VCL
#include "DialogAnswerer.h"
#include "Vcl.Application.h"
using TestApplication = Vcl::TApplication;
#else
using TestApplication = QApplication;
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
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
