// The program: the connection window's start-up sequence starts everything; closing it or the
// table browser ends the program. The command line (app/start_arguments.h) may name the Access
// file to open, or ask for the start-up report instead of the event loop.
#include <QApplication>
#include <QStringList>
#include <iostream>
#include <optional>

#include "app/form1.h"
#include "app/start_arguments.h"
#include "app/startup_report.h"
#include "browser/form2_handoff.h"
#include "db/read_only_folders.h"
#include "ui/home_page.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"
#include "ui/url_opener.h"

namespace {

QStringList argumentsOf(int argc, char** argv) {
    QStringList arguments;
    for (int i = 1; i < argc; ++i)
        arguments << QString::fromLocal8Bit(argv[i]);
    return arguments;
}

}  // namespace

int main(int argc, char** argv) {
    // --help and --version answer before the toolkit starts, so they need no display.
    const app::StartArguments early = app::parseStartArguments(argumentsOf(argc, argv));
    if (early.help) {
        std::cout << app::startHelpText().toStdString();
        return 0;
    }
    if (early.version) {
        std::cout << app::startVersionText().toStdString();
        return 0;
    }

    QApplication application(argc, argv);
    // Read again without the toolkit's own options, which QApplication has taken out.
    const app::StartArguments start =
        app::parseStartArguments(QCoreApplication::arguments().mid(1));
    if (!start.error.isEmpty()) {
        std::cerr << "dunmorrow: " << start.error.toStdString()
                  << "\nTry 'dunmorrow --help' for more information.\n";
        return 2;
    }

    // The report waits for nobody: message boxes are printed and declined, pages not opened.
    app::ReportingPrompts reporting(std::cerr);
    std::optional<ui::ScopedPromptService> reportingPrompts;
    if (start.startupReport) {
        reportingPrompts.emplace(&reporting);
        ui::setUrlOpener([](const QString& address) {
            std::cerr << "Not opened during a start-up report: " << address.toStdString() << '\n';
            return true;
        });
        // The occasional home-page visit is not drawn, so that the same start always gives
        // the same report.
        ui::setHomePageRandomSource([] { return 0.0; });
    }

    // The installation's own files (the sample database) are read, never written into.
    db::addReadOnlyFolder(ui::installedDataFolder().toStdString());

    // "Next >" creates the table browser through the handoff on first use.
    browser::Form2Handoff browser;
    ui::setBrowserHandoff(&browser);
    app::Form1 form1;
    // A failed engine check ends the program before any window shows.
    const bool started = form1.formLoad(start.accessFile);
    int status = 1;
    if (start.startupReport) {
        std::cout << app::startupReport(form1).toStdString();
        std::cout.flush();
        status = started && reporting.requests() == 0 ? 0 : 1;
    } else if (started) {
        status = QApplication::exec();
    }
    ui::setBrowserHandoff(nullptr);
    return status;
}
