// Test main: the application class with the guarded notify on the offscreen platform, standard
// paths in test mode.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

#ifdef KORVEX_TEST_HAVE_VCL
#include "Vcl.Application.h"
using TestApplication = Vcl::TApplication;
#else
using TestApplication = QApplication;
#endif

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    TestApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("korvex-tests"));
    QApplication::setApplicationName(QStringLiteral("korvex-tests"));
    return RUN_ALL_TESTS();
}
