// The component layer's tests run under its own application class, so that the guard in notify is
// the real one. The shared test main creates a plain QApplication; this main replaces it.
#include "Vcl.Application.h"

#include <gtest/gtest.h>

#include <QStandardPaths>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    Vcl::TApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("korvex-tests"));
    QApplication::setApplicationName(QStringLiteral("korvex-tests"));
    return RUN_ALL_TESTS();
}
