// The main of window tests: a QApplication on the offscreen platform, settings kept in a
// scratch folder so that no test touches the user's own.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <cstdlib>

#include "tests/support/test_env.h"
#include "ui/url_opener.h"

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testenv::TempDir settingsDir;
    // QSettings and everything else under XDG paths land in the scratch folder.
    setenv("XDG_CONFIG_HOME", settingsDir.path().c_str(), 1);
    QStandardPaths::setTestModeEnabled(true);
    QApplication app(argc, argv);
    QSettings::setPath(QSettings::NativeFormat, QSettings::UserScope,
                       QString::fromStdString(settingsDir.path().string()));
    // No test opens a real browser: pages are refused unless a test installs its own opener.
    ui::setUrlOpener([](const QString&) { return false; });
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
