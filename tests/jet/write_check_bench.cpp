// Benchmark, not a test: what the check before a connection's first write costs
// (write_check.h), beside the whole integrity check, on every fixture and on a file of one
// table with an index and long values grown to ROWS rows. Prints for each file its pages and
// catalogue entries, and the milliseconds of each check: the best of five runs, each on a
// connection just opened (the engine's caches empty, the system's warm), as at a first write.
//
//   write_check_bench [ROWS]   (default 200,000)
#include <algorithm>
#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>
#include <functional>
#include <string>

#include "db/jet/catalog/write_check.h"
#include "db/jet/check/check.h"
#include "db/jet/database/database.h"
#include "db/jet/sql/executor.h"
#include "db/jet/write/new_database.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

// The least of five runs of `work`, which returns the milliseconds it measured.
double bestMs(const std::function<double()>& work) {
    double best = 1e300;
    for (int i = 0; i < 5; ++i)
        best = std::min(best, work());
    return best;
}

void measure(const std::string& label, const fs::path& file) {
    jet::OpenOptions o;
    o.cachePages = 1 << 16;
    std::size_t problems = 0;
    std::uint32_t pages = 0;
    std::size_t entries = 0;
    const double before = bestMs([&] {
        auto db = jet::Database::open(file.string(), o);
        pages = db->pager().pageCount();
        entries = db->catalog().entries().size();
        const auto start = std::chrono::steady_clock::now();
        problems = jet::structureProblems(*db).size();
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    });
    const double full = bestMs([&] {
        auto db = jet::Database::open(file.string(), o);
        const auto start = std::chrono::steady_clock::now();
        (void)jet::checkDatabase(*db);
        return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start)
            .count();
    });
    std::printf("%-40s %6u pages %3zu entries  before writing %7.2f ms  whole check %9.2f ms%s\n",
                label.c_str(), pages, entries, before, full, problems ? "  (problems!)" : "");
}

}  // namespace

int main(int argc, char** argv) {
    const long rows = argc > 1 ? std::atol(argv[1]) : 200000;
    for (const std::string& rel : testenv::accessFixtureFiles())
        if (rel.find("encrypted") == std::string::npos)
            measure(rel.substr(7), testenv::fixturesDir() / rel);

    testenv::TempDir dir;
    const fs::path big = dir.path() / "big.accdb";
    jet::createDatabase(big.string(), jet::Version::Ace14);
    {
        jet::OpenOptions o;
        o.mode = jet::OpenMode::ReadWrite;
        auto db = jet::Database::open(big.string(), o);
        jet::sql::Session session(*db);
        session.execute("CREATE TABLE Big (id INTEGER PRIMARY KEY, name TEXT(60), note MEMO)");
        for (long i = 0; i < rows; ++i) {
            if (i % 5000 == 0) db->beginTransaction();
            session.execute("INSERT INTO Big VALUES (" + std::to_string(i) + ", 'name " +
                            std::to_string(i) + "', '" + std::string(i % 10 ? 20 : 400, 'n') +
                            "')");
            if ((i + 1) % 5000 == 0 || i + 1 == rows) db->commitTransaction();
        }
    }
    measure("a table of " + std::to_string(rows) + " rows", big);
    return 0;
}
