// Benchmark, not a test: how fast INSERT INTO lines fill a ten-column table of a new copy of an
// empty Access file, inside transactions of 10,000 statements, and the peak memory it takes.
//
//   table_insert_bench [rows] [fixture] [rows per transaction] [pk]
//       (defaults: 200000 rows, access/empty/empty2003.mdb, 10000; "pk" gives the table a
//       primary key, so every row also goes into an index)
//
// It prints the rows per second of the whole run, the share of it spent making transactions
// durable (the disk's flushes), and the CPU time per row.
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "db/jet/database/database.h"
#include "db/jet/sql/executor.h"
#include "tests/support/test_env.h"

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 200000;
    const std::string fixture = argc > 2 ? argv[2] : "access/empty/empty2003.mdb";
    const long group = argc > 3 ? std::atol(argv[3]) : 10000;
    const bool primaryKey = argc > 4 && std::string(argv[4]) == "pk";
    testenv::TempDir dir;
    const auto path = dir.copyFixture(fixture);
    jet::OpenOptions options;
    options.mode = jet::OpenMode::ReadWrite;
    auto db = jet::Database::open(path.string(), options);
    jet::sql::Session session(*db);
    double committing = 0;
    auto commit = [&] {
        const auto t0 = std::chrono::steady_clock::now();
        db->commitTransaction();
        committing += std::chrono::duration<double>(std::chrono::steady_clock::now() - t0).count();
    };
    session.execute(
        std::string("CREATE TABLE `bench`(`id` INT") + (primaryKey ? " PRIMARY KEY" : "") +
        ", `name` VARCHAR(50), `city` VARCHAR(30), `amount` DECIMAL(12,2), `price` CURRENCY, "
        "`qty` SMALLINT, `ratio` DOUBLE, `born` DATETIME, `active` BIT, `note` TEXT)");
    const auto start = std::chrono::steady_clock::now();
    std::string sql;
    for (long i = 0; i < rows; ++i) {
        if (i % group == 0) {
            if (i) commit();
            db->beginTransaction();
        }
        sql = "INSERT INTO `bench` VALUES('" + std::to_string(i) + "', 'Name " + std::to_string(i) +
              "', 'City " + std::to_string(i % 97) + "', '" + std::to_string(i % 100000) +
              ".25', '" + std::to_string(i % 1000) + ".5', '" + std::to_string(i % 30000) +
              "', '0." + std::to_string(i) + "', '2024-05-31 13:45:07', 'True', 'a note of row " +
              std::to_string(i) + "')";
        session.execute(sql);
    }
    commit();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    const double cpu = usage.ru_utime.tv_sec + usage.ru_utime.tv_usec / 1e6 +
                       usage.ru_stime.tv_sec + usage.ru_stime.tv_usec / 1e6;
    std::printf(
        "%ld rows in %.2f s: %.0f rows/s; %.2f s of it in %ld commits; CPU %.2f us a row; peak "
        "memory %.1f MiB; file %.1f MiB\n",
        rows, seconds, rows / seconds, committing, (rows + group - 1) / group, cpu * 1e6 / rows,
        usage.ru_maxrss / 1024.0,
        static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0));
    return 0;
}
