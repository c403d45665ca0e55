// The main of window tests: a QApplication on the offscreen platform, settings kept in a
// scratch folder so that no test touches the user's own. A Qt warning raised off the window
// thread, or one that says an object was used from another thread, fails the test running:
// work in a worker must reach the windows through the window thread.
#include <gtest/gtest.h>

#include <QApplication>
#include <QSettings>
#include <QStandardPaths>
#include <QThread>
#include <cstdlib>

#include "tests/support/test_env.h"
#include "ui/url_opener.h"

namespace {

QtMessageHandler gQtHandler = nullptr;

void failOnThreadWarnings(QtMsgType type, const QMessageLogContext& context, const QString& text) {
    const bool offUiThread = QCoreApplication::instance() &&
                             QThread::currentThread() != QCoreApplication::instance()->thread();
    const bool aboutThreads = text.contains(QStringLiteral("different thread")) ||
                              text.contains(QStringLiteral("another thread"));
    if (type != QtDebugMsg && type != QtInfoMsg && (offUiThread || aboutThreads))
        ADD_FAILURE() << (offUiThread ? "Qt warning off the window thread: " : "Qt warning: ")
                      << text.toStdString();
    if (gQtHandler) gQtHandler(type, context, text);
}

}  // namespace

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
    gQtHandler = qInstallMessageHandler(failOnThreadWarnings);
    ::testing::InitGoogleTest(&argc, argv);
    return RUN_ALL_TESTS();
}
