// The engine check.
#include "app/engine_check.h"

#include "db/connection.h"
#include "db/error.h"
#include "ui/app_title.h"
#include "ui/command.h"
#include "ui/prompt_service.h"
#include "ui/url_opener.h"
#include "ui/web_addresses.h"

namespace app {

namespace {

enum class EngineState { Present, ProviderMissing, OtherFailure };

EngineState probeEngine() {
    try {
        db::Connection connection;
        return EngineState::Present;
    } catch (const db::Error& e) {
        if (e.number() == db::errc::kProviderNotFound ||
            QString::fromStdString(e.description())
                .contains(QLatin1String("provider cannot be found"), Qt::CaseInsensitive))
            return EngineState::ProviderMissing;
        return EngineState::OtherFailure;
    } catch (...) {
        return EngineState::OtherFailure;
    }
}

}  // namespace

QString missingEngineMessage() {
    const QString brk = QStringLiteral("\r\n\r\n");
    return QStringLiteral(
               "Error #3706: Provider cannot be found. It may not be properly installed.") +
           brk + QStringLiteral("You are getting this error because:") + brk +
           QStringLiteral("1. Microsoft Access is not installed on your computer.") + brk +
           QStringLiteral(
               "2. A set of Microsoft components to transfer data is not installed on your "
               "computer.") +
           brk +
           QStringLiteral(
               "You need to download and install Microsoft Access Database Engine 2010 or 2016 "
               "to solve this problem.") +
           brk +
           QStringLiteral("Would you like me to open the Microsoft site now so you can do this?") +
           brk +
           QStringLiteral(
               "(If you have any further questions please email a screenshot of this error "
               "message to ") +
           ui::kSupportEmail + QStringLiteral(")");
}

bool checkDatabaseEngine() {
    try {
        switch (probeEngine()) {
            case EngineState::Present:
                return true;
            case EngineState::OtherFailure:
                return false;
            case EngineState::ProviderMissing:
                break;
        }
        const ui::Answer answer = ui::prompts().message(
            {missingEngineMessage(), ui::applicationTitle(), ui::Buttons::YesNo, ui::Icon::None});
        if (answer == ui::Answer::Yes) {
            // A page the desktop refuses to open changes nothing: the program ends either way.
            ui::openUrl(ui::kEngine2010DownloadAddress);
            ui::openUrl(ui::kEngine2016DownloadAddress);
        }
    } catch (...) {
        // The check reports nothing beyond its own question.
    }
    return false;
}

}  // namespace app
