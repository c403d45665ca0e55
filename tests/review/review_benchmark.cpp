// Benchmark: the review window with a script of a million INSERT lines into a ten-column table.
//
//   review_benchmark [--lines N] [--cli-lines N] [--no-cli] [--no-access] [--flush 0|1|2]
//
// Prints, each with the peak memory so far: the time to show the script in the window, to run
// Replace All over it, to save it, to copy it, and to execute it against the MariaDB server of
// DM_TEST_MYSQL_* (as the window does, "Transfer finished." included); then the time the
// `mariadb` command-line client takes to run the same lines from a file (`mariadb db <
// script.sql`, each line ended with ";" as that client needs), over --cli-lines of them (default
// all). Then it executes the script against a new Access file of the Jet 4 format (Access
// 2000-2003) that the engine makes, unless --no-access says not to. --flush sets the server's
// innodb_flush_log_at_trx_commit for the run (1, the server's own default, makes every commit
// durable on disk; the test server runs with 2) and puts the old value back afterwards.
// Nothing is asserted.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <QApplication>
#include <QClipboard>
#include <QLineEdit>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <fstream>
#include <string>

#include "db/connection.h"
#include "db/jet/write/new_database.h"
#include "review/form4.h"
#include "review/form5.h"
#include "review/script_editor.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/test_env.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

double peakMiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// The memory the process holds now (resident), from /proc.
double currentMiB() {
    long pages = 0, resident = 0;
    if (FILE* f = std::fopen("/proc/self/statm", "r")) {
        if (std::fscanf(f, "%ld %ld", &pages, &resident) != 2) resident = 0;
        std::fclose(f);
    }
    return static_cast<double>(resident) * static_cast<double>(sysconf(_SC_PAGESIZE)) /
           (1024.0 * 1024.0);
}

void report(const char* what, double seconds, const std::string& extra = {}) {
    std::printf("%-44s %9.3f s   peak %8.1f MiB%s%s\n", what, seconds, peakMiB(),
                extra.empty() ? "" : "   ", extra.c_str());
    std::fflush(stdout);
}

// The lines a send command writes for a ten-column table.
std::string makeScript(long lines) {
    std::string s;
    s.reserve(static_cast<std::size_t>(lines) * 215);
    for (long i = 0; i < lines; ++i) {
        const std::string n = std::to_string(i);
        s += "INSERT INTO `bench` VALUES('" + n + "', 'Customer " + n +
             "', 'Tromsø', '1234.5600', '3.14159265358979', '" + std::to_string(i % 30000) +
             "', '0.25', '2024-01-15 09:30:00', " + (i % 2 ? "1" : "0") +
             ", 'A note with an apostrophe '' and a backslash \\\\ in it')\r\n";
    }
    return s;
}

const char* kCreateMySql =
    "CREATE TABLE `bench`(`ID` INT PRIMARY KEY, `Name` VARCHAR(100), `City` VARCHAR(100), "
    "`Amount` DECIMAL(19,4), `Price` DOUBLE, `Quantity` INT, `Ratio` FLOAT, `Joined` DATETIME, "
    "`Active` BIT(1), `Notes` LONGTEXT)";

// Runs `mariadb` on `file` as its standard input; returns seconds, or -1 on failure.
double runCli(const testenv::MySqlServer& server, const std::string& database,
              const fs::path& file) {
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int in = ::open(file.c_str(), O_RDONLY);
        if (in < 0) _exit(127);
        dup2(in, 0);
        const std::string host = "--host=" + server.host;
        const std::string port = "--port=" + server.port;
        const std::string user = "--user=" + server.user;
        const std::string password = "--password=" + server.password;
        execlp("mariadb", "mariadb", "--no-defaults", host.c_str(), port.c_str(), user.c_str(),
               password.c_str(), database.c_str(), static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    waitpid(pid, &status, 0);
    if (!WIFEXITED(status) || WEXITSTATUS(status) != 0) return -1;
    return since(start);
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    long lines = 1'000'000;
    long cliLines = -1;
    bool cli = true;
    bool access = true;
    int flush = -1;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--lines") && i + 1 < argc)
            lines = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--cli-lines") && i + 1 < argc)
            cliLines = std::atol(argv[++i]);
        else if (!std::strcmp(argv[i], "--no-cli"))
            cli = false;
        else if (!std::strcmp(argv[i], "--no-access"))
            access = false;
        else if (!std::strcmp(argv[i], "--flush") && i + 1 < argc)
            flush = std::atoi(argv[++i]);
    }
    if (cliLines < 0 || cliLines > lines) cliLines = lines;
    QApplication app(argc, argv);
    ui::ScriptedPrompts prompts;
    ui::setPromptService(&prompts);
    testenv::TempDir dir;

    auto start = Clock::now();
    std::string script = makeScript(lines);
    const double scriptMiB = static_cast<double>(script.size()) / (1 << 20);
    char info[160];
    std::snprintf(info, sizeof info, "%ld lines, %.1f MiB", lines, scriptMiB);
    report("making the script (not the window's work)", since(start), info);
    const double baseMiB = peakMiB();

    review::Form4 form;
    form.appendText(std::move(script));
    start = Clock::now();
    form.show();
    QApplication::processEvents();
    report("show in the window (first paint included)", since(start));

    {
        review::Form5 dialog(form.RichTextBox1, &form);
        dialog.Text1->setText(QStringLiteral("Customer "));
        dialog.Text2->setText(QStringLiteral("Client "));
        start = Clock::now();
        dialog.pushButton3Click();
        report("Replace All ('Customer ' by 'Client ')", since(start));
    }

    const fs::path saved = dir.path() / "script.txt";
    prompts.queueFile(QString::fromStdString(saved.string()));
    start = Clock::now();
    form.pushButton2Click();
    std::snprintf(info, sizeof info, "%.1f MiB written",
                  static_cast<double>(fs::file_size(saved)) / (1 << 20));
    report("Save SQL Commands As Text File", since(start), info);

    start = Clock::now();
    form.pushButton4Click();
    report("Copy SQL Commands To Clipboard", since(start));
    // The clipboard keeps the script from here on, as it would for a user who pasted it later.

    const testenv::MySqlServer server = testenv::mysqlServer();
    if (server.host.empty()) {
        std::printf("no MariaDB server configured (DM_TEST_MYSQL_*): execution not measured\n");
    } else {
        testenv::MySqlScratch scratch;
        scratch.exec(kCreateMySql);
        const std::string oldFlush =
            scratch.scalar("SELECT @@GLOBAL.innodb_flush_log_at_trx_commit");
        if (flush >= 0)
            scratch.exec("SET GLOBAL innodb_flush_log_at_trx_commit = " + std::to_string(flush));
        std::printf("server %s, innodb_flush_log_at_trx_commit = %s\n",
                    scratch.scalar("SELECT VERSION()").c_str(),
                    scratch.scalar("SELECT @@GLOBAL.innodb_flush_log_at_trx_commit").c_str());
        ui::setLoginProvider([login = scratch.login()] { return login; });
        // The client's file, written first so that no second copy of the script is held.
        const fs::path cliFile = dir.path() / "script.sql";
        {
            std::ofstream out(cliFile, std::ios::binary);
            const review::ScriptText& text = form.RichTextBox1->script();
            for (long i = 0; i < cliLines && i < static_cast<long>(text.lineCount()); ++i) {
                const std::string_view l = text.line(static_cast<std::size_t>(i));
                if (l.empty()) continue;
                out << l << ";\n";
            }
        }
        start = Clock::now();
        form.pushButton3Click();
        const double seconds = since(start);
        const std::string rows = scratch.scalar("SELECT COUNT(*) FROM bench");
        std::snprintf(info, sizeof info, "%s rows, %.0f rows/s, %s", rows.c_str(),
                      static_cast<double>(lines) / seconds,
                      ui::SqlExecuted ? "Transfer finished." : form.notes().toStdString().c_str());
        report("Execute SQL Commands Now (MySQL)", seconds, info);

        if (cli) {
            scratch.exec("TRUNCATE TABLE bench");
            const double cliSeconds = runCli(server, scratch.name(), cliFile);
            const std::string cliRows = scratch.scalar("SELECT COUNT(*) FROM bench");
            std::snprintf(
                info, sizeof info,
                "%s rows, %.0f rows/s; for %ld lines: %.1f s, %.1fx the window's time",
                cliRows.c_str(), static_cast<double>(cliLines) / cliSeconds, lines,
                cliSeconds * static_cast<double>(lines) / static_cast<double>(cliLines),
                cliSeconds * static_cast<double>(lines) / static_cast<double>(cliLines) / seconds);
            report("mariadb db < script.sql (command-line client)", cliSeconds, info);
        }

        if (flush >= 0) scratch.exec("SET GLOBAL innodb_flush_log_at_trx_commit = " + oldFlush);

        std::printf(
            "one window through show, Replace All, Save, Copy and Execute: peak %.1f MiB, "
            "%.2f times the script\n",
            peakMiB(), peakMiB() / scriptMiB);
        if (access) {
            // A second window with a second copy of the script, for the Access run; its own peak is
            // what the process holds beyond what it held before the copy was made.
            const double beforeMiB = currentMiB();
            const fs::path file = dir.path() / "bench.mdb";
            jet::createDatabase(file.string(), jet::Version::Jet4);
            review::Form4 accessForm;
            accessForm.m_SendType = 1;
            db::LoginFields login;
            login.accessPath = file.string();
            ui::setLoginProvider([login] { return login; });
            std::string accessScript(
                "CREATE TABLE `bench`(`ID` INT, `Name` TEXT(100), `City` TEXT(100), `Amount` "
                "CURRENCY, `Price` DOUBLE, `Quantity` INT, `Ratio` REAL, `Joined` DATETIME, "
                "`Active` BIT, `Notes` MEMO);\r\n");
            accessScript.reserve(accessScript.size() + form.RichTextBox1->script().size());
            form.RichTextBox1->script().forEachPiece(
                [&](std::string_view piece) { accessScript.append(piece); });
            accessForm.appendText(std::move(accessScript));
            accessForm.show();
            ui::SqlExecuted = false;
            start = Clock::now();
            accessForm.pushButton3Click();
            report("Execute SQL Commands Now (new Access file)", since(start),
                   ui::SqlExecuted ? std::string("Transfer finished.")
                                   : "failed: " + accessForm.notes().toStdString().substr(0, 200));
            std::printf(
                "the Access window: peak %.1f MiB beyond the %.1f MiB held before it, "
                "%.2f times the script\n",
                peakMiB() - beforeMiB, beforeMiB, (peakMiB() - beforeMiB) / scriptMiB);
        }
    }
    std::printf(
        "script %.1f MiB; peak memory %.1f MiB, %.2f times the script (%.1f MiB before the "
        "window got it)\n",
        scriptMiB, peakMiB(), peakMiB() / scriptMiB, baseMiB);
    ui::setPromptService(nullptr);
    return 0;
}
