// Program-wide state.
#include "ui/program_state.h"

#include <QCoreApplication>

namespace ui {

bool CustomizeCancelled = false;
bool SqlExecuted = false;

namespace {
std::function<db::LoginFields()> gLoginProvider;
QString gProgramFolder;
}  // namespace

db::LoginFields currentLogin() {
    return gLoginProvider ? gLoginProvider() : db::LoginFields{};
}

void setLoginProvider(std::function<db::LoginFields()> provider) {
    gLoginProvider = std::move(provider);
}

QString programFolder() {
    return gProgramFolder.isEmpty() ? QCoreApplication::applicationDirPath() : gProgramFolder;
}

void setProgramFolder(const QString& folder) {
    gProgramFolder = folder;
}

}  // namespace ui
