// Runs the widget tests inside one QApplication, offscreen unless a
// platform was chosen. Each test program gets its own settings and data
// folders: ctest runs the tests as separate processes side by side, and
// they must neither share the recent-file list nor write into the user's
// own configuration.
#include <QApplication>
#include <QDir>
#include <QTemporaryDir>
#include <gtest/gtest.h>

int main(int argc, char** argv) {
    if (qEnvironmentVariableIsEmpty("QT_QPA_PLATFORM"))
        qputenv("QT_QPA_PLATFORM", "offscreen");
    QTemporaryDir home(QDir::tempPath() + QStringLiteral("/vocomet-gui-test-XXXXXX"));
    if (home.isValid()) {
        qputenv("XDG_CONFIG_HOME", QFile::encodeName(home.filePath(QStringLiteral("config"))));
        qputenv("XDG_DATA_HOME", QFile::encodeName(home.filePath(QStringLiteral("data"))));
        qputenv("XDG_CACHE_HOME", QFile::encodeName(home.filePath(QStringLiteral("cache"))));
    }
    QApplication app(argc, argv);
    QApplication::setOrganizationName(QStringLiteral("Halvern"));
    QApplication::setApplicationName(QStringLiteral("VocometTests"));
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
