// Benchmark: reading a large table through the engine, beside mdb-export on the same file.
//
//   jet_read_benchmark [--rows N] [--format jet4|ace12|ace14|ace16|ace17] [--file FILE]
//
// Makes a new database holding one table of N rows (default 200,000) of ten columns of the
// common kinds (numbers, text with accents and apostrophes, dates, currency, Yes/No, a memo),
// written by the engine itself; or, with --file, reads the table "Bench" of an existing file.
// Then reads every row three ways, each in a process of its own so that each peak memory is
// its own (the table is made in one of its own too, since a child starts with its parent's
// peak): through the engine into values; through the engine into tab-separated text, as
// `dunmorrow-cli dump` prints it (the same work mdb-export does); and with `mdb-export` (its
// output thrown away). Prints rows per second of wall-clock and of processor time, and the peak
// memory of each, and how many times faster the engine produced the text than mdb-export.
// Goal: at least twice as fast. Nothing is asserted; the figures are for people.
#include <sys/resource.h>
#include <sys/wait.h>
#include <unistd.h>

#include <fcntl.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <filesystem>
#include <string>

#include "app/cli/tsv.h"
#include "db/jet/database/database.h"
#include "db/jet/sql/executor.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/write/new_database.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

double since(Clock::time_point t) {
    return std::chrono::duration<double>(Clock::now() - t).count();
}

double cpuSeconds(const rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

const char* const kCities[] = {"Reykjavík", "München", "O''Fallon", "Zürich", "São Paulo",
                               "Kraków",    "Ålesund", "Köln",      "Москва", "Αθήνα"};

void makeTable(const std::string& path, jet::Version version, std::size_t rows) {
    jet::createDatabase(path, version);
    jet::OpenOptions options;
    options.mode = jet::OpenMode::ReadWrite;
    const auto db = jet::Database::open(path, options);
    jet::sql::Session session(*db);
    session.execute(
        "CREATE TABLE [Bench] ([Id] INTEGER, [Name] TEXT(50), [City] TEXT(40), [Amount] "
        "CURRENCY, [Quantity] SMALLINT, [Price] DOUBLE, [Created] DATETIME, [Active] BIT, "
        "[Code] BYTE, [Note] MEMO)");
    db->beginTransaction();
    char buf[512];
    for (std::size_t i = 0; i < rows; ++i) {
        const unsigned long n = static_cast<unsigned long>(i);
        std::snprintf(buf, sizeof buf,
                      "INSERT INTO [Bench] VALUES (%lu, 'Customer %lu', '%s', %lu.%04lu, %lu, "
                      "%lu.%03lu, '20%02lu-%02lu-%02lu %02lu:%02lu:%02lu', %s, %lu, %s)",
                      n, n, kCities[i % 10], n % 100000, (n * 7) % 10000, n % 30000,
                      (n * 13) % 100000, n % 1000, n % 25, 1 + n % 12, 1 + n % 28, n % 24, n % 60,
                      (n * 7) % 60, n % 3 ? "-1" : "0", n % 256,
                      n % 5 ? "'a note of some length, with words'" : "NULL");
        session.execute(buf);
    }
    db->commitTransaction();
}

struct Figures {
    double wall = 0;
    double cpu = 0;
    double peakMiB = 0;
    std::uint64_t rows = 0;
    bool ok = false;
};

// Runs `work` (which returns the rows it read) in a child process and measures it there.
template <typename Work>
Figures measuredInChild(Work&& work) {
    int fds[2];
    if (pipe(fds) != 0) return {};
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        close(fds[0]);
        std::uint64_t rows = work();
        if (write(fds[1], &rows, sizeof rows) != sizeof rows) _exit(1);
        _exit(0);
    }
    close(fds[1]);
    Figures f;
    if (read(fds[0], &f.rows, sizeof f.rows) != sizeof f.rows) f.rows = 0;
    close(fds[0]);
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    f.wall = since(t0);
    f.cpu = cpuSeconds(u);
    f.peakMiB = static_cast<double>(u.ru_maxrss) / 1024.0;
    f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return f;
}

// mdb-export FILE TABLE with its output thrown away, measured like the rest.
Figures mdbExport(const std::string& path, std::uint64_t rows) {
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        execlp("mdb-export", "mdb-export", path.c_str(), "Bench", static_cast<char*>(nullptr));
        _exit(127);
    }
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    Figures f;
    f.wall = since(t0);
    f.cpu = cpuSeconds(u);
    f.peakMiB = static_cast<double>(u.ru_maxrss) / 1024.0;
    f.rows = rows;
    f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return f;
}

void print(const char* what, const Figures& f) {
    if (!f.ok) {
        std::printf("%-40s failed\n", what);
        return;
    }
    std::printf(
        "%-40s %9llu rows %7.2f s %10.0f rows/s   cpu %7.2f s %10.0f rows/cpu-s   peak "
        "%7.1f MiB\n",
        what, static_cast<unsigned long long>(f.rows), f.wall, static_cast<double>(f.rows) / f.wall,
        f.cpu, static_cast<double>(f.rows) / f.cpu, f.peakMiB);
    std::fflush(stdout);
}

}  // namespace

int main(int argc, char** argv) {
    std::size_t rows = 200000;
    std::string format = "jet4", file;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--rows") && i + 1 < argc)
            rows = std::strtoul(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--format") && i + 1 < argc)
            format = argv[++i];
        else if (!std::strcmp(argv[i], "--file") && i + 1 < argc)
            file = argv[++i];
        else {
            std::fprintf(stderr, "usage: %s [--rows N] [--format F] [--file FILE]\n", argv[0]);
            return 2;
        }
    }
    fs::path dir;
    if (file.empty()) {
        const jet::Version version = jet::versionForName(format);
        dir = fs::temp_directory_path() / ("jet_read_benchmark_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        file = (dir / (version == jet::Version::Jet4 ? "bench.mdb" : "bench.accdb")).string();
        // Made in a process of its own: a child starts with its parent's peak memory.
        const auto t0 = Clock::now();
        const Figures made = measuredInChild([&]() -> std::uint64_t {
            makeTable(file, version, rows);
            return rows;
        });
        if (!made.ok) {
            std::fprintf(stderr, "could not make the table\n");
            return 1;
        }
        std::printf("made %zu rows of ten columns in a new %s file: %.2f s, %.1f MiB\n", rows,
                    jet::Format::of(version).name, since(t0),
                    static_cast<double>(fs::file_size(file)) / (1024.0 * 1024.0));
    }

    const Figures values = measuredInChild([&] {
        const auto db = jet::Database::open(file, jet::OpenOptions{});
        auto reader = db->openTable("Bench");
        std::vector<db::Value> row;
        std::uint64_t n = 0;
        while (reader->next(row))
            ++n;
        return n;
    });
    print("engine, rows into values", values);

    const Figures text = measuredInChild([&] {
        const auto db = jet::Database::open(file, jet::OpenOptions{});
        auto reader = db->openTable("Bench");
        std::vector<db::Value> row;
        std::string line;
        std::uint64_t n = 0;
        FILE* null = std::fopen("/dev/null", "w");
        while (reader->next(row)) {
            line.clear();
            for (std::size_t i = 0; i < row.size(); ++i) {
                if (i) line += '\t';
                line += cli::formatField(row[i]);
            }
            line += '\n';
            std::fwrite(line.data(), 1, line.size(), null);
            ++n;
        }
        std::fclose(null);
        return n;
    });
    print("engine, rows into tab-separated text", text);

    const Figures mdb = mdbExport(file, values.rows);
    print("mdb-export", mdb);
    if (mdb.ok && text.ok)
        std::printf(
            "the engine made the text %.1f times as fast as mdb-export (%.1f by "
            "processor time)\n",
            mdb.wall / text.wall, mdb.cpu / text.cpu);
    if (!dir.empty()) fs::remove_all(dir);
    return 0;
}
