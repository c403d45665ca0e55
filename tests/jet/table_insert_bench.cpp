// Benchmark, not a test: how fast INSERT INTO lines fill a ten-column table of a new copy of an
// empty Access file, inside transactions of 10,000 statements, and the peak memory it takes.
//
//   table_insert_bench [rows] [fixture]     (default 200000 rows, access/empty/empty2003.mdb)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <string>

#include "db/jet/database.h"
#include "db/jet/sql/executor.h"
#include "tests/support/test_env.h"

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 200000;
    const std::string fixture = argc > 2 ? argv[2] : "access/empty/empty2003.mdb";
    testenv::TempDir dir;
    const auto path = dir.copyFixture(fixture);
    jet::OpenOptions options;
    options.mode = jet::OpenMode::ReadWrite;
    auto db = jet::Database::open(path.string(), options);
    jet::sql::Session session(*db);
    session.execute(
        "CREATE TABLE `bench`(`id` INT, `name` VARCHAR(50), `city` VARCHAR(30), `amount` "
        "DECIMAL(12,2), `price` CURRENCY, `qty` SMALLINT, `ratio` DOUBLE, `born` DATETIME, "
        "`active` BIT, `note` TEXT)");
    const auto start = std::chrono::steady_clock::now();
    std::string sql;
    for (long i = 0; i < rows; ++i) {
        if (i % 10000 == 0) {
            if (i) db->commitTransaction();
            db->beginTransaction();
        }
        sql = "INSERT INTO `bench` VALUES('" + std::to_string(i) + "', 'Name " + std::to_string(i) +
              "', 'City " + std::to_string(i % 97) + "', '" + std::to_string(i % 100000) +
              ".25', '" + std::to_string(i % 1000) + ".5', '" + std::to_string(i % 30000) +
              "', '0." + std::to_string(i) + "', '2024-05-31 13:45:07', 'True', 'a note of row " +
              std::to_string(i) + "')";
        session.execute(sql);
    }
    db->commitTransaction();
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage usage{};
    getrusage(RUSAGE_SELF, &usage);
    std::printf("%ld rows in %.2f s: %.0f rows/s; peak memory %.1f MiB; file %.1f MiB\n", rows,
                seconds, rows / seconds, usage.ru_maxrss / 1024.0,
                static_cast<double>(std::filesystem::file_size(path)) / (1024.0 * 1024.0));
    return 0;
}
