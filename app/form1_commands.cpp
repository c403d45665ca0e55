// Form1's commands and the start-up sequence, each a numbered ui::Command.
#include <QLineEdit>
#include <memory>
#include <string>

#include "app/engine_check.h"
#include "app/form1.h"
#include "app/mysql_probe.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "ui/app_title.h"
#include "ui/browser_handoff.h"
#include "ui/busy_window.h"
#include "ui/command.h"
#include "ui/home_page.h"
#include "ui/prompt_service.h"
#include "ui/settings.h"
#include "ui/web_addresses.h"
#include "ui/window_helpers.h"
#include "ui/window_size.h"
#include "ui/worker.h"

namespace app {

namespace {

const QString kForm = QStringLiteral("Form1");

const QString kConnectionSuccessful = QStringLiteral("Connection successful.");
const QString kCouldNotConnect = QStringLiteral(
    "Could not connect. Please check with your administrator. Make sure you are allowed to "
    "connect to your database remotely and not just through web-based control panels.");

const QString kBrowseTitle = QStringLiteral("Select Access Database");
const QString kBrowseFilter = QStringLiteral(
    "All Microsoft Databases (*.mdb,*.accdb)|*.*db|Microsoft Database (*.mdb)|*.mdb|"
    "Microsoft 2007 Database (*.accdb)|*.accdb|");
// Read-only box initially ticked, Explorer-style dialog, long file names.
constexpr unsigned kBrowseFlags = 0x280001;

}  // namespace

QString Form1::helpText() {
    return QStringLiteral(
               "If you are having trouble connecting, make sure you are entering the correct "
               "login information. Please try logging in with MySQL Query Browser, which is an "
               "official admin tool from ") +
           ui::kMySqlSiteAddress +
           QStringLiteral(
               ". By using MySQL Query Browser, you will establish if the problem exists with "
               "your login information (likely) or this software.") +
           QStringLiteral("\r\n\r\n") +
           QStringLiteral(
               "If you do not want to install MySQL locally on your computer, you can get a "
               "MySQL remote login from ") +
           ui::kFreeMySqlHostingAddress;
}

bool Form1::formLoad(const QString& accessFile) {
    ui::Command cmd(kForm, QStringLiteral("Form_Load"));
    cmd.step(100, [&] { ui::applySkin(this, skinFramework1_); });
    cmd.step(104, [&] { ui::maybeOpenHomePage(); });
    cmd.step(106, [&] {
        setWindowTitle(ui::kProductName);
        ui::setApplicationIcon(this);
        ui::setApplicationTitle();
    });
    if (cmd.test(124, [&] { return ui::handPointerFileExists(); }))
        cmd.step(126, [&] { ui::loadHandPointer(this); });

    // Each assignment that changes a field saves it again through the field's change handler.
    cmd.step(128,
             [&] { text1_->setText(ui::getSetting(ui::kKeyServer, QStringLiteral("localhost"))); });
    cmd.step(130, [&] { text2_->setText(ui::getSetting(ui::kKeyUser)); });
    cmd.step(132, [&] { text3_->setText(ui::getSetting(ui::kKeyPassword)); });
    cmd.step(134, [&] { text4_->setText(ui::getSetting(ui::kKeyDatabase)); });
    cmd.step(136, [&] { text7_->setText(ui::getSetting(ui::kKeyPort, QStringLiteral("3306"))); });
    cmd.step(138, [&] {
        text5_->setText(accessFile.isEmpty() ? ui::getSetting(ui::kKeyAccessFile) : accessFile);
    });
    cmd.step(140, [&] { text6_->setText(ui::getSetting(ui::kKeyAccessPassword)); });

    // Saved logins that still work go straight on to the table browser.
    if (cmd.test(142, [&] { return probeMySqlLogin(); }))
        if (cmd.test(144, [&] { return ui::fileExists(text5_->text()); }))
            cmd.step(146, [&] { pushButton2Click(); });

    const bool engineReady = cmd.value(148, false, [] { return checkDatabaseEngine(); });
    if (!engineReady) return false;
    // The size the user gave the window in an earlier run, if any, before it first shows.
    sizeMemory_->restore();
    if (!hiddenByNext_) show();
    return true;
}

void Form1::pushButton1Click() {
    ui::Command cmd(kForm, QStringLiteral("PushButton1_Click"));
    ui::FileDialogRequest request;
    cmd.step(100, [&] { request.fileName.clear(); });
    cmd.step(102, [&] { request.flags = kBrowseFlags; });
    cmd.step(104, [&] { request.title = kBrowseTitle; });
    cmd.step(106, [&] { request.filter = kBrowseFilter; });
    QString chosen;
    cmd.step(108, [&] { chosen = ui::prompts().openFile(request); });
    if (cmd.test(110, [&] { return !chosen.isEmpty(); }))
        cmd.step(112, [&] { text5_->setText(chosen); });
}

void Form1::pushButton2Click() {
    ui::Command cmd(kForm, QStringLiteral("PushButton2_Click"));
    // The probe and the listings run in worker threads: the window paints meanwhile, with its
    // buttons disabled; a request to end the program stops the command before the browser shows.
    const ui::EndWatch ending;
    const ui::BusyWindow busy(this);
    cmd.step(100, [&] { ui::setMousePointer(this, ui::kPointerBusy); });
    // Steps 102 to 106 end the command without a message: "Test Connection" tells why.
    [&] {
        if (cmd.test(102, [&] { return text1_->text().isEmpty(); })) return;
        if (cmd.test(104, [&] { return !probeMySqlLogin(); })) return;
        if (cmd.test(106, [&] { return !ui::fileExists(text5_->text()); })) return;
        ui::BrowserHandoff* browser = ui::browserHandoff();
        if (!browser) return;
        if (ending.programEnding()) return;
        cmd.step(108, [&] { browser->listAccessTables(); });
        if (ending.programEnding()) return;
        cmd.step(110, [&] { browser->listMySqlTables(); });
        if (ending.programEnding()) return;
        bool browserShown = false;
        cmd.step(112, [&] {
            browser->showBrowser();
            browserShown = true;
        });
        // Hiding this window while no browser is shown would leave the program running with no
        // window at all, so the window stays when step 112 failed.
        if (browserShown)
            cmd.step(114, [&] {
                hide();
                hiddenByNext_ = true;
            });
    }();
    cmd.step(116, [&] { ui::setMousePointer(this, ui::kPointerDefault); });
}

void Form1::pushButton3Click() {
    ui::Command cmd(kForm, QStringLiteral("PushButton3_Click"));
    std::unique_ptr<db::Connection> connection;
    cmd.step(100, [&] { connection = std::make_unique<db::Connection>(); });
    // From here on any failure means the login did not work.
    bool failed = false;
    try {
        ui::setMousePointer(this, ui::kPointerBusy);  // 102
        ui::processPendingEvents();                   // 104
        if (!connection)                              // 106
            throw db::Error(db::errc::kGeneric, "There is no connection object to open.");
        const std::string target = db::mySqlConnectionString(loginFields());
        {
            const ui::BusyWindow busy(this);
            ui::runInWorker([&] { connection->open(target); });
        }
        ui::inform(kConnectionSuccessful);               // 108
        ui::setMousePointer(this, ui::kPointerDefault);  // 110
    } catch (...) {
        failed = true;
    }
    if (failed) {                                        // 112
        ui::reportProblem(kCouldNotConnect);             // 114
        ui::setMousePointer(this, ui::kPointerDefault);  // 116
    }
}

void Form1::pushButton4Click() {
    ui::Command cmd(kForm, QStringLiteral("PushButton4_Click"));
    cmd.step(100, [&] { ui::inform(helpText()); });
}

void Form1::pushButton7Click() {
    ui::Command cmd(kForm, QStringLiteral("PushButton7_Click"));
    cmd.step(100, [&] { text5_->setText(ui::programFile(QStringLiteral("Samples/sample.mdb"))); });
}

}  // namespace app
