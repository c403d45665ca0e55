// Benchmark, not a test: what the write path costs a statement. On a copy of an empty Jet 4
// file, runs statements that each change one row-sized spot of a data page (a new page every
// 40 statements, as rows fill pages), in transactions of G statements, and prints statements
// per second, commits per second, the file's final size and the peak memory of the process.
//
//   pager_write_bench [STATEMENTS [GROUP]]   (default 1,000,000 statements, 5,000 a transaction)
#include <sys/resource.h>

#include <chrono>
#include <cstdio>
#include <cstdlib>
#include <filesystem>

#include "db/jet/database/database.h"
#include "tests/support/test_env.h"

int main(int argc, char** argv) {
    const long statements = argc > 1 ? std::atol(argv[1]) : 1000000;
    const long group = argc > 2 ? std::atol(argv[2]) : 5000;
    testenv::TempDir dir;
    const auto file = dir.copyFixture("access/empty/empty2003.mdb");
    jet::OpenOptions o;
    o.mode = jet::OpenMode::ReadWrite;
    auto db = jet::Database::open(file.string(), o);
    jet::Pager& pager = db->pager();

    const auto start = std::chrono::steady_clock::now();
    std::uint32_t page = 0;
    long commits = 0;
    for (long i = 0; i < statements; ++i) {
        if (i % group == 0) db->beginTransaction();
        db->writeStatement([&] {
            if (i % 40 == 0) page = pager.allocatePage(jet::page_type::kData)->number;
            auto p = pager.writablePage(page);
            const std::size_t at = 100 + static_cast<std::size_t>(i % 40) * 90;
            for (std::size_t k = 0; k < 90; ++k)
                p->bytes[at + k] = static_cast<std::uint8_t>(i + k);
            pager.writablePage(2)->bytes[3000] ^= 1;  // the table definition's row count
        });
        pager.spillIfLarge();
        if ((i + 1) % group == 0 || i + 1 == statements) {
            db->commitTransaction();
            ++commits;
        }
    }
    const double seconds =
        std::chrono::duration<double>(std::chrono::steady_clock::now() - start).count();
    rusage ru{};
    getrusage(RUSAGE_SELF, &ru);
    std::printf("statements        %ld\n", statements);
    std::printf("per transaction   %ld\n", group);
    std::printf("seconds           %.2f\n", seconds);
    std::printf("statements/s      %.0f\n", statements / seconds);
    std::printf("commits/s         %.1f\n", commits / seconds);
    std::printf("file MiB          %.1f\n",
                static_cast<double>(std::filesystem::file_size(file)) / (1 << 20));
    std::printf("peak memory MiB   %.1f\n", ru.ru_maxrss / 1024.0);
    return 0;
}
