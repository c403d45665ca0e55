// The engine check.
#include "app/engine_check.h"

#include <cstdio>
#include <exception>
#include <string>

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

// What creating a connection object showed about the engine; `why` holds the failure's text.
EngineState probeEngine(std::string& why) {
    try {
        db::Connection connection;
        return EngineState::Present;
    } catch (const db::Error& e) {
        why = e.description();
        if (e.number() == db::errc::kProviderNotFound ||
            QString::fromStdString(e.description())
                .contains(QLatin1String("provider cannot be found"), Qt::CaseInsensitive))
            return EngineState::ProviderMissing;
        return EngineState::OtherFailure;
    } catch (const std::exception& e) {
        why = e.what();
        return EngineState::OtherFailure;
    } catch (...) {
        why = "unknown failure";
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
        std::string why;
        switch (probeEngine(why)) {
            case EngineState::Present:
                return true;
            case EngineState::OtherFailure:
                // No window says why the program ends here; a terminal that started it does.
                std::fprintf(stderr, "dunmorrow: the data-access engine could not be started: %s\n",
                             why.c_str());
                return false;
            case EngineState::ProviderMissing:
                break;
        }
        const ui::Answer answer =
            ui::prompts().message({missingEngineMessage(), ui::applicationTitle(),
                                   ui::Buttons::YesNo, ui::Icon::Exclamation});
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
