// Benchmark: the two send commands end to end on a big table, as a user runs them.
//
//   browser_send_benchmark [--rows N]          (default 1,000,000; needs DM_TEST_MYSQL_*)
//
// 1. Makes a MySQL table `big` of N rows of twelve columns of the usual kinds.
// 2. "Send Table/s To Access" into a copy of an empty Access file: the time from the click to
//    the review window (the script built), from there to "Transfer finished." (the script
//    executed on the Access file), and the whole.
// 3. When the Access file then holds the table: the MySQL script of that table built in a fresh
//    process beside `mdb-export -I mysql` on the same table (transfer_script_benchmark, whose
//    figures are printed as they come), and
// 4. "Send Table/s To MySQL" from that file into a second database, timed the same way.
// Before those, "Send Table/s To Access" of a view of four rows that sleeps half a second for
// each on the server: a read where the window gets no row for seconds.
// Peak memory is the process's resident high-water mark after each part; the longest wait of a
// 10 ms timer tells how long the window took, at worst, to answer an event during each send. Runs
// on the offscreen platform unless QT_QPA_PLATFORM says otherwise. Figures go to standard output;
// nothing is asserted.
#include <sys/resource.h>
#include <unistd.h>

#include <QApplication>
#include <QTimer>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <optional>
#include <string>

#include "browser/form2.h"
#include "browser/list_tables.h"
#include "browser/table_list.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "review/form4.h"
#include "tests/support/heartbeat.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsBetween(Clock::time_point from, Clock::time_point to) {
    return std::chrono::duration<double>(to - from).count();
}

double peakMiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

// Answers every box OK (questions Yes) and notes when "Transfer finished." was shown.
class BenchPrompts : public ui::PromptService {
  public:
    ui::Answer message(const ui::MessageRequest& r) override {
        if (r.text == "Transfer finished.") finished = Clock::now();
        if (r.text == "Transfer problem. See Notes.") problem = true;
        if (r.title == "Application Error") std::printf("  report: %s\n", qPrintable(r.text));
        return r.buttons == ui::Buttons::YesNo ? ui::Answer::Yes : ui::Answer::Ok;
    }
    QString input(const ui::InputRequest&) override { return {}; }
    QString openFile(const ui::FileDialogRequest&) override { return {}; }
    QString saveFile(const ui::FileDialogRequest&) override { return {}; }

    std::optional<Clock::time_point> finished;
    bool problem = false;
};

void makeTable(testenv::MySqlScratch& db, long rows) {
    db.exec(
        "CREATE TABLE big (id INT PRIMARY KEY, name VARCHAR(60), city VARCHAR(40), "
        "amount DECIMAL(19,4), price DOUBLE, qty SMALLINT, ratio FLOAT, joined DATETIME, "
        "active BIT(1), notes TEXT, code VARCHAR(12), level TINYINT UNSIGNED)");
    db.exec(
        "INSERT INTO big SELECT seq, CONCAT('Customer number ', seq), "
        "ELT(1 + seq % 4, 'London', 'Tromsø', 'D''Arcy''s Cove', 'C:\\\\Temp'), "
        "seq * 37 / 10000, seq / 1000, seq % 30000, (seq % 1000) / 7, "
        "'2000-01-01' + INTERVAL (seq % 9000) DAY + INTERVAL (seq % 86400) SECOND, "
        "seq % 2, IF(seq % 5 = 0, NULL, 'A note that says it''s \"fine\"\\r\\nand more'), "
        "CONCAT('C-', seq % 100000), seq % 256 FROM seq_1_to_" +
        std::to_string(rows));
}

// Clicks one send button with `table` (of the source list) selected, executes the script when the
// review window appears, and prints the times. Returns true when the script ran to "Transfer
// finished.".
bool timedSend(browser::Form2& form, BenchPrompts& prompts, bool toMySql, const char* what,
               const QString& table = QStringLiteral("big")) {
    browser::TableList* source = toMySql ? form.list1() : form.list2();
    source->setRangeSelected(0, source->listCount() - 1, false);
    for (int i = 0; i < source->listCount(); ++i)
        if (source->itemText(i) == table) source->setItemSelected(i, true);
    source->setListIndex(0);
    prompts.finished.reset();
    prompts.problem = false;

    std::optional<Clock::time_point> shown;
    double executePeak = 0;
    QTimer poll;
    poll.setInterval(1);
    QObject::connect(&poll, &QTimer::timeout, [&] {
        review::Form4* w = form.form4();
        if (shown || !w || !w->isVisible()) return;
        shown = Clock::now();
        w->pushButton3Click();
        executePeak = peakMiB();
        if (w->isVisible()) {
            std::printf("  the review window reports: %s\n", qPrintable(w->notes().left(300)));
            w->reject();
        }
    });
    poll.start();
    const double before = peakMiB();
    testenv::Heartbeat beat;
    beat.start();
    const auto click = Clock::now();
    if (toMySql)
        form.pushButton3Click();
    else
        form.pushButton4Click();
    const auto end = Clock::now();
    beat.stop();
    poll.stop();

    std::printf("%s:\n", what);
    if (shown)
        std::printf("  click to the review window (script built): %.2f s\n",
                    secondsBetween(click, *shown));
    if (prompts.finished) {
        std::printf("  review window to \"Transfer finished.\" (executed): %.2f s\n",
                    secondsBetween(*shown, *prompts.finished));
        std::printf("  click to \"Transfer finished.\": %.2f s\n",
                    secondsBetween(click, *prompts.finished));
    } else {
        std::printf("  the script did not run to \"Transfer finished.\" (%.2f s in all)\n",
                    secondsBetween(click, end));
    }
    std::printf("  peak memory: %.1f MiB before, %.1f MiB after executing\n", before, executePeak);
    std::printf("  longest wait of a 10 ms timer for the window: %lld ms (%d beats)\n",
                static_cast<long long>(beat.longestGapMs()), beat.beats());
    return prompts.finished.has_value();
}

long rowsIn(const std::string& accessPath) {
    try {
        db::Connection c;
        c.open(db::buildAccessConnectionString({}, accessPath, ""));
        db::Recordset rs;
        rs.open("SELECT * FROM [big]", c);
        return rs.recordCount();
    } catch (const db::Error&) {
        return -1;
    }
}

}  // namespace

int main(int argc, char** argv) {
    if (!std::getenv("QT_QPA_PLATFORM")) setenv("QT_QPA_PLATFORM", "offscreen", 1);
    testenv::TempDir work;
    setenv("XDG_CONFIG_HOME", work.path().c_str(), 1);
    QApplication app(argc, argv);
    QApplication::setQuitOnLastWindowClosed(false);
    long rows = 1000000;
    for (int i = 1; i + 1 < argc; ++i)
        if (!std::strcmp(argv[i], "--rows")) rows = std::atol(argv[i + 1]);
    if (testenv::mysqlServer().host.empty()) {
        std::fprintf(stderr, "Set DM_TEST_MYSQL_HOST, _PORT, _USER and _PASSWORD.\n");
        return 2;
    }
    const auto empty = testenv::fixturesDir() / "access/empty/empty.mdb";
    if (!std::filesystem::exists(empty)) {
        std::fprintf(stderr, "No fixture %s.\n", empty.c_str());
        return 2;
    }
    BenchPrompts prompts;
    ui::setPromptService(&prompts);
    try {
        testenv::MySqlScratch source;
        auto start = Clock::now();
        makeTable(source, rows);
        std::printf("made a MySQL table of %ld rows of twelve columns in %.2f s\n", rows,
                    secondsBetween(start, Clock::now()));

        const std::string accessPath =
            work.copyFixture("access/empty/empty.mdb", "big.mdb").string();
        db::LoginFields login = source.login();
        login.accessPath = accessPath;
        ui::setLoginProvider([&] { return login; });
        browser::Form2 form;
        source.exec(
            "CREATE VIEW slow AS SELECT id, name, SLEEP(0.5) AS pause FROM big WHERE id <= 4");
        browser::listAccessTables(*form.list1(), QString::fromStdString(accessPath));
        browser::listMySqlTables(*form.list2());
        timedSend(form, prompts, false, "MySQL to Access, a view that sleeps 2 s",
                  QStringLiteral("slow"));
        const bool intoAccess = timedSend(form, prompts, false, "MySQL to Access");

        const long accessRows = rowsIn(accessPath);
        if (!intoAccess || accessRows != rows) {
            std::printf(
                "The Access file holds %ld rows of big: no Access table to compare the "
                "MySQL script on, nothing to send back.\n",
                accessRows);
        } else {
            const std::string scriptBench =
                (std::filesystem::path(argv[0]).parent_path().parent_path() / "transfer" /
                 "transfer_script_benchmark")
                    .string();
            std::printf("The MySQL script of the Access table, in a fresh process:\n");
            const auto r =
                testenv::runProgram({scriptBench, "--access", accessPath, "--table", "big"});
            std::printf("%s%s", r.out.c_str(), r.err.c_str());

            testenv::MySqlScratch target;
            const db::LoginFields t = target.login();
            login.database = t.database;
            browser::listMySqlTables(*form.list2());
            timedSend(form, prompts, true, "Access to MySQL");
            std::printf("  rows on the server: %s\n",
                        target.scalar("SELECT COUNT(*) FROM big").c_str());
        }
    } catch (const db::Error& e) {
        std::fprintf(stderr, "%s\n", e.description().c_str());
        return 1;
    }
    ui::setLoginProvider({});
    ui::setPromptService(nullptr);
    return 0;
}
