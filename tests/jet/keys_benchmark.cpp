// Benchmark: keys made after the rows, beside the time of loading the rows.
//
//   jet_keys_benchmark [--rows N] [--format jet4|ace12|ace14|ace16|ace17] [--check]
//
// Makes a new, empty database and loads N rows into a table of eight columns through INSERT
// INTO lines in one transaction (what a send does), then gives the table its keys as a send with
// "Send keys and indexes" does, after the rows: ALTER TABLE … ADD CONSTRAINT … PRIMARY KEY, a
// plain index over two text columns, a unique index over a text column. Then a second table of N
// rows that refers to the first gets its relationship (ALTER TABLE … ADD CONSTRAINT … FOREIGN
// KEY), which checks every row and builds the index of the foreign key. For comparison, the same
// rows are loaded once more into a table whose primary key is declared in CREATE TABLE, so the
// index grows row by row. Prints the seconds of each step and its share of the load; with
// --check, also the time of the engine's integrity check of the result.
// Goal: building the keys after the rows costs well under the load itself. Nothing is asserted;
// the figures are for people.
#include <sys/resource.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "db/jet/check/check.h"
#include "db/jet/database/database.h"
#include "db/jet/sql/executor.h"
#include "db/jet/write/new_database.h"

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

const char* const kCities[] = {"Reykjavík", "München", "O'Fallon", "Zürich", "São Paulo",
                               "Kraków",    "Ålesund", "Köln",     "Москва", "Αθήνα"};

std::string quoted(const char* s) {
    std::string out = "'";
    for (; *s; ++s) {
        out += *s;
        if (*s == '\'') out += '\'';
    }
    return out + "'";
}

// The rows go in an order unlike their keys, as rows of a real table often do.
std::size_t idOf(std::size_t i, std::size_t rows) {
    return (i * 7919) % rows + 1;
}

std::string customerLine(const std::string& table, std::size_t i, std::size_t rows) {
    const std::size_t id = idOf(i, rows);
    char buf[400];
    std::snprintf(buf, sizeof buf,
                  "INSERT INTO `%s` VALUES ('%zu','Customer %zu',%s,'C%09zu','%zu.%02zu',"
                  "'20%02zu-%02zu-%02zu %02zu:%02zu:00','%s','a note of some length')",
                  table.c_str(), id, id % 50000, quoted(kCities[id % 10]).c_str(), id, id % 1000,
                  id % 100, id % 25, 1 + id % 12, 1 + id % 28, id % 24, id % 60,
                  id % 3 ? "True" : "False");
    return buf;
}

const char* const kColumns =
    "`Name` VARCHAR(50), `City` VARCHAR(40), `Code` VARCHAR(12) NOT NULL, `Amount` CURRENCY, "
    "`Created` DATETIME, `Active` BIT, `Note` VARCHAR(100))";

struct Step {
    const char* what;
    double seconds;
};

}  // namespace

int main(int argc, char** argv) {
    std::size_t rows = 1000000;
    std::string format = "jet4";
    bool check = false;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--rows") && i + 1 < argc)
            rows = std::strtoul(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--format") && i + 1 < argc)
            format = argv[++i];
        else if (!std::strcmp(argv[i], "--check"))
            check = true;
        else {
            std::fprintf(stderr, "usage: %s [--rows N] [--format F] [--check]\n", argv[0]);
            return 2;
        }
    }
    const jet::Version version = jet::versionForName(format);
    const fs::path dir =
        fs::temp_directory_path() / ("jet_keys_benchmark_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string file =
        (dir / (version == jet::Version::Jet4 ? "keys.mdb" : "keys.accdb")).string();
    jet::createDatabase(file, version);
    jet::OpenOptions options;
    options.mode = jet::OpenMode::ReadWrite;
    auto db = jet::Database::open(file, options);
    jet::sql::Session session(*db);
    std::printf("%zu rows of eight columns into a new %s file, then their keys\n", rows,
                jet::Format::of(version).name);

    auto timed = [&](const std::string& sql) {
        const auto t = Clock::now();
        session.execute(sql);
        return since(t);
    };
    auto load = [&](const std::string& create, auto&& line) {
        const auto t = Clock::now();
        session.execute(create);
        db->beginTransaction();
        for (std::size_t i = 0; i < rows; ++i)
            session.execute(line(i));
        db->commitTransaction();
        return since(t);
    };

    const double loadPlain =
        load(std::string("CREATE TABLE `Customers` (`Id` INTEGER, ") + kColumns,
             [&](std::size_t i) { return customerLine("Customers", i, rows); });
    std::vector<Step> steps;
    steps.push_back(
        {"ADD CONSTRAINT PRIMARY KEY (Id)",
         timed("ALTER TABLE `Customers` ADD CONSTRAINT `PrimaryKey` PRIMARY KEY (`Id`)")});
    steps.push_back({"CREATE INDEX (City, Name DESC)",
                     timed("CREATE INDEX `ByCity` ON `Customers` (`City`, `Name` DESC)")});
    steps.push_back({"CREATE UNIQUE INDEX (Code)",
                     timed("CREATE UNIQUE INDEX `ByCode` ON `Customers` (`Code`)")});

    const double loadOrders = load(
        "CREATE TABLE `Orders` (`OrderId` INTEGER, `CustomerId` INTEGER, `Total` DOUBLE)",
        [&](std::size_t i) {
            return "INSERT INTO `Orders` VALUES ('" + std::to_string(i + 1) + "','" +
                   std::to_string(idOf(i * 3, rows)) + "','" + std::to_string(i % 977) + ".5')";
        });
    steps.push_back({"ADD CONSTRAINT FOREIGN KEY (Orders)",
                     timed("ALTER TABLE `Orders` ADD CONSTRAINT `CustomersOrders` FOREIGN KEY "
                           "(`CustomerId`) REFERENCES `Customers` (`Id`) ON DELETE CASCADE")});

    const double loadKeyed =
        load(std::string("CREATE TABLE `Grown` (`Id` INTEGER PRIMARY KEY, ") + kColumns,
             [&](std::size_t i) { return customerLine("Grown", i, rows); });

    std::printf("%-44s %9.2f s   %9.0f rows/s\n", "load of Customers, no index", loadPlain,
                static_cast<double>(rows) / loadPlain);
    double keys = 0;
    for (const auto& s : steps) {
        std::printf("%-44s %9.2f s   %5.1f %% of that load\n", s.what, s.seconds,
                    100.0 * s.seconds / loadPlain);
        keys += s.seconds;
    }
    std::printf("%-44s %9.2f s   %9.0f rows/s\n", "load of Orders, no index", loadOrders,
                static_cast<double>(rows) / loadOrders);
    std::printf("%-44s %9.2f s   %5.1f %% of the two loads\n", "every key after the rows", keys,
                100.0 * keys / (loadPlain + loadOrders));
    std::printf("%-44s %9.2f s   %9.0f rows/s (%+.2f s beside the load without it)\n",
                "load with the primary key grown row by row", loadKeyed,
                static_cast<double>(rows) / loadKeyed, loadKeyed - loadPlain);
    if (check) {
        const auto t = Clock::now();
        const auto report = jet::checkDatabase(*db);
        std::printf("%-44s %9.2f s   %s\n", "the integrity check of the file", since(t),
                    report.ok() ? "sound" : "PROBLEMS FOUND");
        for (const auto& p : report.problems())
            std::printf("  %s\n", p.c_str());
    }
    std::printf("peak %.1f MiB, file %.1f MiB\n", peakMiB(),
                static_cast<double>(fs::file_size(file)) / (1024.0 * 1024.0));
    db.reset();
    fs::remove_all(dir);
    return 0;
}
