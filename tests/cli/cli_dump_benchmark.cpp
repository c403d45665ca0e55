// Benchmark: `dunmorrow-cli dump` of a big table of every common column kind, beside the
// engine's own read and mdb-export.
//
//   cli_dump_benchmark [--rows N] [--file FILE] [--make FILE] [--runs R]
//
// Makes a new Access 2000 file holding the table "Bench" of N rows (default 200,000) of twelve
// columns: a Long Integer, two texts (some with accents), Currency, Decimal(18,4), a GUID, a
// date before 1900, a date and time, Yes/No, Double, Integer and a memo (a short note in most
// rows, NULL in some, and in every 40th row a note of about 4,500 characters, longer than a
// page). With --file the table of an existing file is read instead; with --make the file is
// made and kept, and nothing else is done.
// Then measures, each in a process of its own and the best of R runs (default 3): the dump
// command as a user runs it, its output thrown away; the engine reading every row into values;
// and `mdb-export FILE Bench`. Prints processor time (user + system: the machine may be busy,
// so read the ratios), wall-clock time and peak memory of each, and the ratios. The goal: the
// dump in at most 0.3 s of processor time for 200,000 rows, 25 times faster than mdb-export.
// Nothing is asserted; the figures are for people.
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
#include <vector>

#include "db/jet/database/database.h"
#include "db/jet/sql/executor.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/write/new_database.h"

namespace {

using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;

const char* const kCities[] = {"Reykjavík", "München", "O''Fallon", "Zürich", "São Paulo",
                               "Kraków",    "Ålesund", "Köln",      "Москва", "Αθήνα"};

// A long note: sentences with the row's number in them until about 6,000 characters.
std::string longNote(unsigned long n) {
    std::string s;
    while (s.size() < 4500)
        s += "Row " + std::to_string(n) + " keeps a long note, line after line, of what " +
             "happened; it''s longer than one page. ";
    return s;
}

void makeTable(const std::string& path, unsigned long rows) {
    jet::createDatabase(path, jet::Version::Jet4);
    jet::OpenOptions options;
    options.mode = jet::OpenMode::ReadWrite;
    const auto db = jet::Database::open(path, options);
    jet::sql::Session session(*db);
    session.execute(
        "CREATE TABLE [Bench] ([Id] INTEGER, [Name] TEXT(60), [City] TEXT(40), [Amount] "
        "CURRENCY, [Price] DECIMAL(18,4), [Key] GUID, [Founded] DATETIME, [Created] DATETIME, "
        "[Active] BIT, [Ratio] DOUBLE, [Quantity] SMALLINT, [Note] MEMO)");
    db->beginTransaction();
    std::string sql;
    char head[640];
    for (unsigned long n = 0; n < rows; ++n) {
        std::snprintf(
            head, sizeof head,
            "INSERT INTO [Bench] VALUES (%lu, 'Customer %lu of the north', '%s', %lu.%04lu, "
            "%s%lu.%04lu, '{%08lX-%04lX-4%03lX-8%03lX-%012lX}', '%04lu-%02lu-%02lu', "
            "'20%02lu-%02lu-%02lu %02lu:%02lu:%02lu', %s, %lu.%03lu, %lu, ",
            n, n, kCities[n % 10], n % 100000, (n * 7) % 10000, n % 7 ? "" : "-",
            (n * 31) % 1000000, (n * 13) % 10000, n * 2654435761UL % 0xFFFFFFFFUL, n % 0xFFFF,
            n % 0xFFF, (n * 3) % 0xFFF, n * 40503UL, 1700 + n % 199, 1 + n % 12, 1 + n % 28, n % 25,
            1 + n % 12, 1 + n % 28, n % 24, n % 60, (n * 7) % 60, n % 3 ? "-1" : "0",
            (n * 17) % 100000, n % 1000, n % 30000);
        sql = head;
        if (n % 40 == 0)
            sql += "'" + longNote(n) + "')";
        else if (n % 5 == 0)
            sql += "NULL)";
        else
            sql += "'A note of some length, with words: " + std::to_string(n) + "')";
        session.execute(sql);
        if (n % 20000 == 19999) {
            db->commitTransaction();
            db->beginTransaction();
        }
    }
    db->commitTransaction();
}

double cpuSeconds(const rusage& u) {
    return static_cast<double>(u.ru_utime.tv_sec + u.ru_stime.tv_sec) +
           static_cast<double>(u.ru_utime.tv_usec + u.ru_stime.tv_usec) / 1e6;
}

struct Figures {
    double wall = 0;
    double cpu = 0;
    double peakMiB = 0;
    bool ok = false;
};

Figures waitFor(pid_t pid, Clock::time_point t0) {
    int status = 0;
    rusage u{};
    wait4(pid, &status, 0, &u);
    Figures f;
    f.wall = std::chrono::duration<double>(Clock::now() - t0).count();
    f.cpu = cpuSeconds(u);
    f.peakMiB = static_cast<double>(u.ru_maxrss) / 1024.0;
    f.ok = WIFEXITED(status) && WEXITSTATUS(status) == 0;
    return f;
}

// Runs a program with its standard output thrown away.
Figures runProgram(const std::vector<std::string>& argv) {
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) {
        const int null = open("/dev/null", O_WRONLY);
        dup2(null, 1);
        std::vector<char*> args;
        for (const auto& a : argv)
            args.push_back(const_cast<char*>(a.c_str()));
        args.push_back(nullptr);
        execvp(args[0], args.data());
        _exit(127);
    }
    return waitFor(pid, t0);
}

// Runs `work` in a child process: its peak memory is then its own.
template <typename Work>
Figures inChild(Work&& work) {
    const auto t0 = Clock::now();
    const pid_t pid = fork();
    if (pid == 0) _exit(work() ? 0 : 1);
    return waitFor(pid, t0);
}

// The best (least processor time) of `runs` runs.
template <typename Run>
Figures best(int runs, Run&& run) {
    Figures b;
    for (int i = 0; i < runs; ++i) {
        const Figures f = run();
        if (!f.ok) return f;
        if (!b.ok || f.cpu < b.cpu) b = f;
    }
    return b;
}

void print(const char* what, const Figures& f, unsigned long rows) {
    if (!f.ok) {
        std::printf("%-34s failed\n", what);
        return;
    }
    std::printf("%-34s cpu %6.3f s (%9.0f rows/cpu-s)  wall %6.3f s  peak %6.1f MiB\n", what, f.cpu,
                static_cast<double>(rows) / f.cpu, f.wall, f.peakMiB);
    std::fflush(stdout);
}

std::string cliPath() {
    if (const char* p = std::getenv("DM_CLI")) return p;
    return DM_CLI_PATH;
}

}  // namespace

int main(int argc, char** argv) {
    unsigned long rows = 200000;
    int runs = 3;
    std::string file, make;
    for (int i = 1; i < argc; ++i) {
        if (!std::strcmp(argv[i], "--rows") && i + 1 < argc)
            rows = std::strtoul(argv[++i], nullptr, 10);
        else if (!std::strcmp(argv[i], "--file") && i + 1 < argc)
            file = argv[++i];
        else if (!std::strcmp(argv[i], "--make") && i + 1 < argc)
            make = argv[++i];
        else if (!std::strcmp(argv[i], "--runs") && i + 1 < argc)
            runs = std::atoi(argv[++i]);
        else {
            std::fprintf(stderr, "usage: %s [--rows N] [--file FILE] [--make FILE] [--runs R]\n",
                         argv[0]);
            return 2;
        }
    }
    fs::path dir;
    if (!make.empty()) {
        if (fs::exists(make)) {
            std::fprintf(stderr, "%s exists; not overwritten\n", make.c_str());
            return 1;
        }
        file = make;
    } else if (file.empty()) {
        dir = fs::temp_directory_path() / ("cli_dump_benchmark_" + std::to_string(::getpid()));
        fs::create_directories(dir);
        file = (dir / "bench.mdb").string();
    }
    if (!make.empty() || !dir.empty()) {
        const Figures made = inChild([&] {
            try {
                makeTable(file, rows);
                return true;
            } catch (const std::exception& e) {
                std::fprintf(stderr, "could not make the table: %s\n", e.what());
                return false;
            }
        });
        if (!made.ok) return 1;
        std::printf(
            "made %lu rows of twelve columns in a new Access 2000 file: %.1f MiB (%.1f s)\n", rows,
            static_cast<double>(fs::file_size(file)) / (1024.0 * 1024.0), made.wall);
        if (!make.empty()) return 0;
    }

    std::uint64_t counted = 0;
    const Figures values = best(runs, [&] {
        return inChild([&] {
            const auto db = jet::Database::open(file, jet::OpenOptions{});
            auto reader = db->openTable("Bench");
            std::vector<db::Value> row;
            std::uint64_t n = 0;
            while (reader->next(row))
                ++n;
            return n > 0;
        });
    });
    {
        const auto db = jet::Database::open(file, jet::OpenOptions{});
        counted = db->openTable("Bench")->rowCount();
    }
    const Figures dump = best(runs, [&] { return runProgram({cliPath(), "dump", file, "Bench"}); });
    const Figures mdb = best(runs, [&] { return runProgram({"mdb-export", file, "Bench"}); });

    std::printf("%lu rows of \"Bench\" in %s (%.1f MiB), best of %d runs:\n",
                static_cast<unsigned long>(counted), file.c_str(),
                static_cast<double>(fs::file_size(file)) / (1024.0 * 1024.0), runs);
    print("engine, rows into values", values, counted);
    print("dunmorrow-cli dump", dump, counted);
    print("mdb-export", mdb, counted);
    if (dump.ok && values.ok)
        std::printf("the dump takes %.2f times the processor time of reading into values\n",
                    dump.cpu / values.cpu);
    if (dump.ok && mdb.ok)
        std::printf("the dump is %.1f times as fast as mdb-export by processor time\n",
                    mdb.cpu / dump.cpu);
    if (!dir.empty()) fs::remove_all(dir);
    return dump.ok ? 0 : 1;
}
