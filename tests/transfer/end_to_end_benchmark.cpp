// Benchmark: one table's way through a send command, with the databases in it.
//
//   transfer_end_to_end_benchmark [--rows N]     (default 200,000; needs DM_TEST_MYSQL_*)
//
// MySQL to Access: a table of N rows of twelve columns is made on the server; the figure is the
// time from opening the connection to the finished script (the table's steps of the command,
// reading included). Access to MySQL: the script of N generated rows is built, then executed on
// the server line by line as the review window executes it; the figures show how the time
// divides between the program and the database. Figures go to standard output.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <string>

#include "db/connection.h"
#include "db/connection_string.h"
#include "tests/support/test_env.h"
#include "tests/transfer/script_runner.h"
#include "transfer/column_mapping.h"
#include "transfer/table_script.h"
#include "transfer/table_transfer.h"
#include "typecustom/form3.h"
#include "ui/command.h"

namespace {

using Clock = std::chrono::steady_clock;

double seconds(Clock::time_point from) {
    return std::chrono::duration<double>(Clock::now() - from).count();
}

long peakKiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return u.ru_maxrss;
}

db::LoginFields login(const std::string& database) {
    const auto s = testenv::mysqlServer();
    db::LoginFields f;
    f.server = s.host;
    f.port = s.port;
    f.user = s.user;
    f.password = s.password;
    f.database = database;
    return f;
}

void makeTable(db::Connection& c, long rows) {
    c.execute(
        "CREATE TABLE big (id INT PRIMARY KEY, name VARCHAR(60), city VARCHAR(40), "
        "amount DECIMAL(19,4), price DOUBLE, qty SMALLINT, ratio FLOAT, joined DATETIME, "
        "active BIT(1), notes TEXT, code VARCHAR(12), level TINYINT UNSIGNED)");
    c.execute(
        "INSERT INTO big SELECT seq, CONCAT('Customer number ', seq), "
        "ELT(1 + seq % 4, 'London', 'Tromsø', 'D''Arcy''s Cove', 'C:\\\\Temp'), "
        "seq * 37 / 10000, seq / 1000, seq % 30000, (seq % 1000) / 7, "
        "'2000-01-01' + INTERVAL (seq % 9000) DAY + INTERVAL (seq % 86400) SECOND, "
        "seq % 2, IF(seq % 5 = 0, NULL, 'A note that says it''s \"fine\"\\r\\nand more'), "
        "CONCAT('C-', seq % 100000), seq % 256 FROM seq_1_to_" +
        std::to_string(rows));
}

}  // namespace

int main(int argc, char** argv) {
    long rows = 200000;
    for (int i = 1; i + 1 < argc; i += 2)
        if (!std::strcmp(argv[i], "--rows")) rows = std::atol(argv[i + 1]);
    if (testenv::mysqlServer().host.empty()) {
        std::fprintf(stderr, "Set DM_TEST_MYSQL_HOST, _PORT, _USER and _PASSWORD.\n");
        return 2;
    }
    const std::string name = "dmbench_" + std::to_string(::getpid());
    try {
        db::Connection admin;
        admin.open(db::mySqlConnectionString(login("")));
        admin.execute("CREATE DATABASE `" + name + "` CHARACTER SET utf8mb4");
        {
            db::Connection c;
            c.open(db::mySqlConnectionString(login(name)));
            auto start = Clock::now();
            makeTable(c, rows);
            std::printf("made a MySQL table of %ld rows in %.2f s\n", rows, seconds(start));
        }

        // MySQL to Access: the table's steps of the command, reading included.
        {
            auto start = Clock::now();
            db::Connection c;
            c.setCursorLocation(db::kAdUseClient);
            c.open(db::mySqlConnectionString(login(name)));
            transfer::ScriptBuilder script(transfer::Direction::MySqlToAccess);
            std::string statement;
            ui::Command cmd("Form2", "PushButton4_Click");
            cmd.attachSql(&statement);
            typecustom::Form3 form3;
            long reports = 0;
            transfer::TableWindowHooks hooks;
            hooks.setProgress = [&](double) { ++reports; };
            transfer::transferTable(cmd, transfer::Direction::MySqlToAccess, c, "big", std::nullopt,
                                    false, form3, script, statement, hooks);
            const double took = seconds(start);
            std::printf(
                "MySQL to Access: script of %ld rows in %.2f s (%.0f rows/s), %.1f MiB, "
                "%ld progress reports, peak memory %.1f MiB\n",
                rows, took, rows / took, script.text().size() / 1048576.0, reports,
                peakKiB() / 1024.0);
        }

        // Access to MySQL: build the script of the same rows, then execute it on the server.
        {
            db::Connection c;
            c.setCursorLocation(db::kAdUseClient);
            c.open(db::mySqlConnectionString(login(name)));
            db::Recordset source;
            source.open("SELECT * FROM big", c);
            auto start = Clock::now();
            transfer::ScriptBuilder script(transfer::Direction::AccessToMySql);
            std::string create = transfer::createTableHead("copy");
            transfer::completeDefaultCreate(create, transfer::Direction::AccessToMySql, source);
            script.appendCreateTable(create);
            transfer::appendTableRows(script, source, "copy");
            script.endTable();
            const double build = seconds(start);
            start = Clock::now();
            const int statements = testenv::runScript(c, script.text());
            const double run = seconds(start);
            std::printf(
                "Access to MySQL: script built in %.2f s, executed (%d statements) in "
                "%.2f s (%.0f statements/s): the program's share %.1f %%\n",
                build, statements, run, statements / run, 100.0 * build / (build + run));
        }
        admin.execute("DROP DATABASE `" + name + "`");
    } catch (const db::Error& e) {
        std::fprintf(stderr, "%s\n", e.description().c_str());
        return 1;
    }
    return 0;
}
