// Program-wide state.
#include "ui/program_state.h"

#include <QApplication>
#include <QCoreApplication>
#include <QDir>

#include "ui/worker.h"

#ifndef DM_DATA_FROM_PROGRAM
#define DM_DATA_FROM_PROGRAM "../share/dunmorrow"
#endif

namespace ui {

bool CustomizeCancelled = false;
bool SqlExecuted = false;

namespace {
std::function<db::LoginFields()> gLoginProvider;
QString gProgramFolder;
QWidget* gConnectionWindow = nullptr;
}  // namespace

db::LoginFields currentLogin() {
    return gLoginProvider ? gLoginProvider() : db::LoginFields{};
}

void setLoginProvider(std::function<db::LoginFields()> provider) {
    gLoginProvider = std::move(provider);
}

QWidget* connectionWindow() {
    return gConnectionWindow;
}

void setConnectionWindow(QWidget* window) {
    gConnectionWindow = window;
}

void endProgram() {
    static bool ending = false;
    if (ending) return;
    ending = true;
    noteEndRequested();  // work under way stops where it safely can
    for (QWidget* w : QApplication::topLevelWidgets())
        w->hide();
    QCoreApplication::exit(0);
    ending = false;
}

QString programFolder() {
    return gProgramFolder.isEmpty() ? QCoreApplication::applicationDirPath() : gProgramFolder;
}

void setProgramFolder(const QString& folder) {
    gProgramFolder = folder;
}

QString installedDataFolder() {
    return QDir::cleanPath(programFolder() + QStringLiteral("/" DM_DATA_FROM_PROGRAM));
}

}  // namespace ui
