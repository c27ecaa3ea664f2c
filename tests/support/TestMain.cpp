// Test main: a real QApplication on the offscreen platform, standard paths in test mode.
#include <gtest/gtest.h>

#include <QApplication>
#include <QStandardPaths>

int main(int argc, char** argv) {
    ::testing::InitGoogleTest(&argc, argv);
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("korvex-tests"));
    QApplication::setApplicationName(QStringLiteral("korvex-tests"));
    return RUN_ALL_TESTS();
}
