// Benchmark: dunmorrow-cli's two sends on big tables, as a scheduler runs them.
//
//   cli_send_benchmark speed  [--rows N]   (default 1,000,000; needs DM_TEST_MYSQL_*)
//   cli_send_benchmark memory [--rows N]   (default 5,000,000)
//   cli_send_benchmark keys   [--rows N]   (default 1,000,000)
//
// speed:  makes a MySQL table `big` of N rows of twelve columns of the usual kinds, sends it into
//         a new Access file (to-access), then times `to-mysql` of that table into an empty
//         database, from the start of the process (opening the file) to its end (the last row
//         committed), beside `mdb-export -I mysql FILE big | mariadb DB` into another empty
//         database holding the table as `mdb-schema` makes it.
// memory: makes a MySQL table of N narrow rows, sends it into a new Access file and back into
//         another database, and prints each process's peak resident memory (the goal: under
//         100 MiB however big the table) and its time.
// keys:   makes a MySQL table of N rows with a primary key and two indexes (one unique), and
//         times each send both ways with and without --keys, side by side: MySQL into a new
//         Access file, and that file's table into an empty database. With --keys the indexes
//         are built after the rows; the difference is what building them costs.
// Figures go to standard output; nothing is asserted.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/mysql_scratch.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"

namespace {

using Clock = std::chrono::steady_clock;

struct Run {
    int status = -1;
    double seconds = 0;
    double peakMiB = 0;
};

// Runs `argv` with its output discarded and returns its status, wall time and peak memory.
Run timed(const std::vector<std::string>& argv) {
    std::vector<char*> args;
    for (const auto& a : argv)
        args.push_back(const_cast<char*>(a.c_str()));
    args.push_back(nullptr);
    std::fflush(stdout);  // or the child would print what is still buffered
    const auto start = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        std::freopen("/dev/null", "w", stdout);
        execvp(args[0], args.data());
        _exit(127);
    }
    int status = 0;
    rusage usage{};
    wait4(pid, &status, 0, &usage);
    Run r;
    r.seconds = std::chrono::duration<double>(Clock::now() - start).count();
    r.status = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    r.peakMiB = static_cast<double>(usage.ru_maxrss) / 1024.0;
    return r;
}

void print(const char* what, const Run& r, long rows) {
    std::printf("%-58s %8.2f s  %10.0f rows/s  peak %7.1f MiB%s\n", what, r.seconds,
                r.seconds > 0 ? static_cast<double>(rows) / r.seconds : 0.0, r.peakMiB,
                r.status == 0 ? "" : "  (FAILED)");
    std::fflush(stdout);
}

std::string address(const testenv::MySqlScratch& db) {
    const auto s = testenv::mysqlServer();
    return "mysql://" + s.user + "@" + s.host + ":" + s.port + "/" + db.name();
}

std::string shellQuoted(const std::string& s) {
    std::string out = "'";
    for (char c : s) {
        if (c == '\'')
            out += "'\\''";
        else
            out += c;
    }
    return out + "'";
}

void speed(long rows) {
    testenv::TempDir dir;
    testenv::MySqlScratch source;
    source.exec(
        "CREATE TABLE big (id INT PRIMARY KEY, name VARCHAR(60), city VARCHAR(40), "
        "amount DECIMAL(19,4), price DOUBLE, qty SMALLINT, ratio FLOAT, joined DATETIME, "
        "active BIT(1), notes TEXT, code VARCHAR(12), level TINYINT UNSIGNED)");
    source.exec(
        "INSERT INTO big SELECT seq, CONCAT('Customer number ', seq), "
        "ELT(1 + seq % 4, 'London', 'Tromsø', 'D''Arcy''s Cove', 'C:\\\\Temp'), "
        "seq * 37 / 10000, seq / 1000, seq % 30000, (seq % 1000) / 7, "
        "'2000-01-01' + INTERVAL (seq % 9000) DAY + INTERVAL (seq % 86400) SECOND, "
        "seq % 2, IF(seq % 5 = 0, NULL, 'A note that says it''s \"fine\"\\r\\nand more'), "
        "CONCAT('C-', seq % 100000), seq % 256 FROM seq_1_to_" +
        std::to_string(rows));
    const std::string file = (dir.path() / "big.accdb").string();
    print("to-access: MySQL table into a new Access file",
          timed({DM_CLI_PATH, "to-access", address(source), file, "big", "--quiet"}), rows);

    testenv::MySqlScratch target;
    print("to-mysql: the Access table into an empty MySQL database",
          timed({DM_CLI_PATH, "to-mysql", file, address(target), "big", "--quiet"}), rows);

    if (testenv::findOnPath("mdb-export").empty() || testenv::findOnPath("mariadb").empty()) {
        std::printf("mdb-export or mariadb is not installed: no comparison\n");
        return;
    }
    testenv::MySqlScratch peer;
    const auto s = testenv::mysqlServer();
    const std::string client = "mariadb -h " + shellQuoted(s.host) + " -P " + shellQuoted(s.port) +
                               " -u " + shellQuoted(s.user) + " " + shellQuoted(peer.name());
    ::setenv("MYSQL_PWD", s.password.c_str(), 1);
    const Run schema =
        timed({"/bin/sh", "-c", "mdb-schema -T big " + shellQuoted(file) + " mysql | " + client});
    if (schema.status != 0) std::printf("mdb-schema | mariadb failed\n");
    print("mdb-export -I mysql FILE big | mariadb DB (same table)",
          timed({"/bin/sh", "-c", "mdb-export -I mysql " + shellQuoted(file) + " big | " + client}),
          rows);
    ::unsetenv("MYSQL_PWD");
    std::printf("rows arrived: dunmorrow-cli %s, mdb-export %s\n",
                target.scalar("SELECT COUNT(*) FROM big").c_str(),
                peer.scalar("SELECT COUNT(*) FROM big").c_str());
}

void memory(long rows) {
    testenv::TempDir dir;
    testenv::MySqlScratch source;
    source.exec(
        "CREATE TABLE wide (id INT PRIMARY KEY, name VARCHAR(40), amount DOUBLE, "
        "made DATETIME)");
    source.exec(
        "INSERT INTO wide SELECT seq, CONCAT('Item ', seq), seq / 7, "
        "'2001-01-01' + INTERVAL (seq % 100000) MINUTE FROM seq_1_to_" +
        std::to_string(rows));
    const std::string file = (dir.path() / "five-million.accdb").string();
    print("to-access: MySQL table into a new Access file",
          timed({DM_CLI_PATH, "to-access", address(source), file, "wide", "--quiet"}), rows);
    std::printf("Access file: %.1f MiB\n",
                static_cast<double>(std::filesystem::file_size(file)) / (1024.0 * 1024.0));
    testenv::MySqlScratch back;
    print("to-mysql: and back into an empty MySQL database",
          timed({DM_CLI_PATH, "to-mysql", file, address(back), "wide", "--quiet"}), rows);
    std::printf("rows back: %s\n", back.scalar("SELECT COUNT(*) FROM wide").c_str());
}

// One send with and without the keys: the seconds of each and how much the keys add.
void printPair(const char* what, const Run& off, const Run& on, long rows) {
    std::printf("%-40s %8.2f s %8.2f s %+7.1f %%  %9.0f rows/s%s\n", what, off.seconds, on.seconds,
                off.seconds > 0 ? (on.seconds / off.seconds - 1.0) * 100.0 : 0.0,
                on.seconds > 0 ? static_cast<double>(rows) / on.seconds : 0.0,
                off.status == 0 && on.status == 0 ? "" : "  (FAILED)");
    std::fflush(stdout);
}

void keys(long rows) {
    testenv::TempDir dir;
    testenv::MySqlScratch source;
    source.exec(
        "CREATE TABLE keyed (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, code VARCHAR(20) NOT "
        "NULL, city VARCHAR(40), amount INT, made DATETIME, UNIQUE KEY code (code), "
        "KEY city_made (city, made))");
    source.exec(
        "INSERT INTO keyed SELECT seq, CONCAT('K-', seq * 7919 % 1000003, '-', seq), "
        "ELT(1 + seq % 5, 'London', 'Tromsø', 'Oslo', 'D''Arcy''s Cove', 'Paris'), "
        "CAST(seq % 100000 AS SIGNED) - 50000, '2000-01-01' + INTERVAL (seq % 9000) DAY + INTERVAL "
        "(seq % 86400) SECOND FROM seq_1_to_" +
        std::to_string(rows));
    std::printf("%-40s %10s %10s %9s  %13s\n", "", "keys off", "keys on", "keys add", "keys on");
    const std::string plain = (dir.path() / "plain.accdb").string();
    const std::string keyed = (dir.path() / "keyed.accdb").string();
    const Run toAccessOff =
        timed({DM_CLI_PATH, "to-access", address(source), plain, "keyed", "--quiet"});
    const Run toAccessOn =
        timed({DM_CLI_PATH, "to-access", address(source), keyed, "keyed", "--quiet", "--keys"});
    printPair("to-access: MySQL into a new Access file", toAccessOff, toAccessOn, rows);
    testenv::MySqlScratch plainBack, keyedBack;
    const Run toMySqlOff =
        timed({DM_CLI_PATH, "to-mysql", keyed, address(plainBack), "keyed", "--quiet"});
    const Run toMySqlOn =
        timed({DM_CLI_PATH, "to-mysql", keyed, address(keyedBack), "keyed", "--quiet", "--keys"});
    printPair("to-mysql: Access into an empty database", toMySqlOff, toMySqlOn, rows);
    std::printf("indexes in MySQL with the keys: %s; rows: %s\n",
                keyedBack
                    .scalar("SELECT COUNT(DISTINCT INDEX_NAME) FROM information_schema.STATISTICS "
                            "WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'keyed'")
                    .c_str(),
                keyedBack.scalar("SELECT COUNT(*) FROM keyed").c_str());
}

}  // namespace

int main(int argc, char** argv) {
    const std::string mode = argc > 1 ? argv[1] : "";
    long rows = mode == "memory" ? 5000000 : 1000000;
    for (int i = 2; i + 1 < argc; ++i)
        if (std::strcmp(argv[i], "--rows") == 0) rows = std::atol(argv[i + 1]);
    if ((mode != "speed" && mode != "memory" && mode != "keys") || rows <= 0) {
        std::fprintf(stderr, "usage: cli_send_benchmark speed|memory|keys [--rows N]\n");
        return 2;
    }
    if (testenv::mysqlServer().host.empty()) {
        std::fprintf(stderr, "no MariaDB server configured (DM_TEST_MYSQL_HOST)\n");
        return 2;
    }
    const std::string password = testenv::mysqlServer().password;
    ::setenv("DUNMORROW_MYSQL_PASSWORD", password.c_str(), 1);
    std::printf("%s, %ld rows\n", mode.c_str(), rows);
    if (mode == "speed")
        speed(rows);
    else if (mode == "keys")
        keys(rows);
    else
        memory(rows);
    return 0;
}
