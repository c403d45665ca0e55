// Benchmark: a million rows of a ten-column table written into a new Access file through
// INSERT INTO lines, as a reviewed script runs them.
//
//   jet_insert_benchmark [--rows N] [--format jet4|ace12|ace14|ace16|ace17] [--primary-key]
//                        [--index [COLUMN]] [--only runner|session] [--keep FILE]
//
// Makes a new, empty database, then runs the script (one CREATE TABLE line and N INSERT lines,
// the values quoted as the send commands write them) twice over: through the review window's
// runner on an Access connection (transactions of 5000 lines, what the review window and
// `dunmorrow-cli exec` do; the whole script is in memory, as in the window), and straight
// through the engine's SQL session in one transaction (each line made as it is run, so that the
// peak memory is the engine's).
// Prints for each the rows per second of wall-clock and of processor time (the machine may be
// shared) and the peak memory, and checks that every row arrived. With --index the table has one
// more index, over its text column Name (whose keys do not come in order) or over COLUMN. The
// session also prints the processor time of the 100,000 rows before each of the marks 100k, 1M and
// 5M that the run reaches, to show whether an insert costs more as the table grows. Goal: at least
// 100,000 rows per second. Nothing is asserted; the figures are for people.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/jet/database/database.h"
#include "db/jet/sql/executor.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/write/new_database.h"
#include "review/script_executor.h"
#include "review/script_text.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

double cpuSeconds() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

double peakMiB() {
    rusage u{};
    getrusage(RUSAGE_SELF, &u);
    return static_cast<double>(u.ru_maxrss) / 1024.0;
}

const char* const kCities[] = {"Reykjavík", "München", "O'Fallon", "Zürich", "São Paulo",
                               "Kraków",    "Ålesund", "Köln",     "Москва", "Αθήνα"};

std::string createLine(bool primaryKey) {
    return std::string("CREATE TABLE `Bench`(`Id` INTEGER") + (primaryKey ? " PRIMARY KEY" : "") +
           ", `Name` VARCHAR(50), `City` VARCHAR(40), `Amount` CURRENCY, `Quantity` SMALLINT, "
           "`Price` DOUBLE, `Created` DATETIME, `Active` BIT, `Code` BYTE, `Note` VARCHAR(100))";
}

// Line i of the script: every value quoted text (or NULL), apostrophes doubled, as the send
// commands write them.
void insertLine(std::string& out, std::size_t i) {
    char buf[512];
    const unsigned long n = static_cast<unsigned long>(i);
    const char* city = kCities[i % 10];
    std::string cityQuoted;
    for (const char* c = city; *c; ++c) {
        cityQuoted += *c;
        if (*c == '\'') cityQuoted += '\'';
    }
    std::snprintf(buf, sizeof buf,
                  "INSERT INTO `Bench` VALUES ('%lu','Customer %lu','%s','%lu.%04lu','%lu',"
                  "'%lu.%03lu','20%02lu-%02lu-%02lu %02lu:%02lu:%02lu','%s','%lu',%s)",
                  n, n, cityQuoted.c_str(), n % 100000, (n * 7) % 10000, n % 30000,
                  (n * 13) % 100000, n % 1000, n % 25, 1 + n % 12, 1 + n % 28, n % 24, n % 60,
                  (n * 7) % 60, n % 3 ? "True" : "False", n % 256,
                  n % 5 ? "'a note of some length, with words'" : "NULL");
    out += buf;
}

std::string indexLine(const std::string& column) {
    return "CREATE INDEX `By" + column + "` ON `Bench` (`" + column + "`)";
}

std::string script(std::size_t rows, bool primaryKey, const std::string& index) {
    std::string s = createLine(primaryKey);
    if (!index.empty()) s += "\r\n" + indexLine(index);
    s.reserve(rows * 190);
    for (std::size_t i = 0; i < rows; ++i) {
        s += "\r\n";
        insertLine(s, i);
    }
    return s;
}

std::uint64_t countRows(const std::string& path) {
    const auto db = jet::Database::open(path, jet::OpenOptions{});
    return db->openTable("Bench")->rowCount();
}

// Runs `work` in a child process, so that each run's peak memory is its own.
template <typename Work>
void inChild(Work&& work) {
    std::fflush(stdout);
    const pid_t pid = fork();
    if (pid == 0) {
        work();
        std::fflush(stdout);
        _exit(0);
    }
    int status = 0;
    waitpid(pid, &status, 0);
}

void report(const char* how, std::size_t rows, double seconds, double cpu,
            const std::string& file) {
    const double peak = peakMiB();
    const std::uint64_t stored = countRows(file);
    std::printf(
        "%-36s %8zu rows %7.2f s %9.0f rows/s   cpu %7.2f s %9.0f rows/cpu-s   peak "
        "%6.1f MiB   file %6.1f MiB%s\n",
        how, rows, seconds, static_cast<double>(rows) / seconds, cpu,
        static_cast<double>(rows) / cpu, peak,
        static_cast<double>(fs::file_size(file)) / (1024.0 * 1024.0),
        stored == rows ? "" : "   ROWS MISSING");
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t rows = 1000000;
    std::string format = "jet4", keep, only;
    bool primaryKey = false;
    std::string index;  // the column of the one more index, if any
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--rows") && i + 1 < argc)
            rows = std::strtoul(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--format") && i + 1 < argc)
            format = argv[++i];
        else if (!std::strcmp(argv[i], "--primary-key"))
            primaryKey = true;
        else if (!std::strcmp(argv[i], "--index"))
            index = i + 1 < argc && argv[i + 1][0] != '-' ? argv[++i] : "Name";
        else if (!std::strcmp(argv[i], "--only") && i + 1 < argc)
            only = argv[++i];
        else if (!std::strcmp(argv[i], "--keep") && i + 1 < argc)
            keep = argv[++i];
        else {
            std::fprintf(stderr,
                         "usage: %s [--rows N] [--format F] [--primary-key] [--index [COLUMN]] "
                         "[--only runner|session] [--keep FILE]\n",
                         argv[0]);
            return 2;
        }
    }
    const jet::Version version = jet::versionForName(format);
    const fs::path dir =
        fs::temp_directory_path() / ("jet_insert_benchmark_" + std::to_string(::getpid()));
    fs::create_directories(dir);
    const std::string suffix = version == jet::Version::Jet4 ? ".mdb" : ".accdb";
    std::printf("%zu INSERT lines of ten columns into a new %s file%s%s\n", rows,
                jet::Format::of(version).name, primaryKey ? ", with a primary key" : "",
                index.empty() ? "" : (", with an index over " + index).c_str());

    const std::string runnerFile = (dir / ("runner" + suffix)).string();
    if (only != "session")
        inChild([&] {
            const auto t0 = Clock::now();
            const review::ScriptText text(script(rows, primaryKey, index));
            const double made = since(t0);
            std::printf("%-44s %9.2f s   peak %7.1f MiB\n", "script text made", made, peakMiB());
            jet::createDatabase(runnerFile, version);
            db::Connection cn;
            db::LoginFields login;
            login.accessPath = runnerFile;
            cn.open(db::buildAccessConnectionString(login));
            review::ExecutionSettings settings;
            settings.direction = transfer::Direction::MySqlToAccess;
            const auto t1 = Clock::now();
            const double c1 = cpuSeconds();
            const auto result = review::executeScript(cn, text, settings);
            const double seconds = since(t1), cpu = cpuSeconds() - c1;
            cn.close();
            if (result.status != review::ExecutionResult::Status::Completed)
                std::printf("the run stopped at line %zu: %s\n", result.line + 1,
                            result.description.c_str());
            report("review runner, Access connection", rows, seconds, cpu, runnerFile);
        });

    const std::string sessionFile = (dir / ("session" + suffix)).string();
    if (only != "runner")
        inChild([&] {
            jet::createDatabase(sessionFile, version);
            jet::OpenOptions options;
            options.mode = jet::OpenMode::ReadWrite;
            const auto db = jet::Database::open(sessionFile, options);
            jet::sql::Session session(*db);
            const auto t0 = Clock::now();
            const double c0 = cpuSeconds();
            session.execute(createLine(primaryKey));
            if (!index.empty()) session.execute(indexLine(index));
            db->beginTransaction();
            std::string line;
            constexpr std::size_t kSlice = 100000;
            double sliceStart = c0;
            std::string slices;
            for (std::size_t i = 0; i < rows; ++i) {
                line.clear();
                insertLine(line, i);
                session.execute(line);
                const std::size_t done = i + 1;
                if (done % kSlice == 0) {
                    const double now = cpuSeconds();
                    if (done == 100000 || done == 1000000 || done == 5000000) {
                        char buf[160];
                        std::snprintf(buf, sizeof buf,
                                      "  rows %zu to %zu: %.3f cpu-s, %.0f rows/cpu-s\n",
                                      done - kSlice + 1, done, now - sliceStart,
                                      static_cast<double>(kSlice) / (now - sliceStart));
                        slices += buf;
                    }
                    sliceStart = now;
                }
            }
            db->commitTransaction();
            const double seconds = since(t0), cpu = cpuSeconds() - c0;
            report("engine SQL session, one transaction", rows, seconds, cpu, sessionFile);
            std::fputs(slices.c_str(), stdout);
        });

    if (!keep.empty() && only != "session")
        fs::copy_file(runnerFile, keep, fs::copy_options::overwrite_existing);
    fs::remove_all(dir);
    return 0;
}
