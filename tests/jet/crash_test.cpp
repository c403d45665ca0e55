// The crash test: another program writes statement after statement into a copy of a real file,
// in transactions, and is killed (SIGKILL) at a random moment; the file then opens, passes the
// integrity check, and holds exactly the first K statements for some K at least as large as
// the last commit the program reported, and a whole number of transactions.
#include <gtest/gtest.h>
#include <poll.h>
#include <signal.h>
#include <sys/wait.h>
#include <unistd.h>

#include <chrono>
#include <cstring>
#include <random>
#include <set>

#include "db/jet/check.h"
#include "db/jet/database.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

struct ChildRun {
    int lastCommitted = 0;
    bool finished = false;
};

// Runs `jet_test_child stamp` on `file` and kills it after `delay`, reading the commits it
// reports until then.
ChildRun runAndKill(const fs::path& file, int count, int group, std::chrono::milliseconds delay) {
    ChildRun run;
    int out[2];
    if (::pipe(out) != 0) return run;
    const pid_t pid = ::fork();
    if (pid == 0) {
        ::dup2(out[1], 1);
        ::close(out[0]);
        ::close(out[1]);
        const std::string n = std::to_string(count), g = std::to_string(group);
        ::execl(JET_TEST_CHILD, JET_TEST_CHILD, "stamp", file.c_str(), n.c_str(), g.c_str(),
                static_cast<char*>(nullptr));
        ::_exit(127);
    }
    ::close(out[1]);
    const auto deadline = std::chrono::steady_clock::now() + delay;
    std::string text;
    for (;;) {
        const auto left = std::chrono::duration_cast<std::chrono::milliseconds>(
            deadline - std::chrono::steady_clock::now());
        if (left.count() <= 0) break;
        pollfd p{out[0], POLLIN, 0};
        if (::poll(&p, 1, static_cast<int>(left.count())) <= 0) break;
        char buf[256];
        const ssize_t got = ::read(out[0], buf, sizeof buf);
        if (got <= 0) {
            run.finished = true;
            break;
        }
        text.append(buf, static_cast<std::size_t>(got));
    }
    ::kill(pid, SIGKILL);
    int status = 0;
    ::waitpid(pid, &status, 0);
    // Whatever the child printed before it died was a commit that had returned.
    char buf[256];
    ssize_t got;
    while ((got = ::read(out[0], buf, sizeof buf)) > 0)
        text.append(buf, static_cast<std::size_t>(got));
    ::close(out[0]);
    std::size_t at = 0;
    while ((at = text.find("committed ", at)) != std::string::npos) {
        at += 10;
        run.lastCommitted = std::atoi(text.c_str() + at);
    }
    return run;
}

// The statement numbers stamped into the pages of `db`.
std::vector<std::uint32_t> stamps(jet::Database& db) {
    std::vector<std::uint32_t> out;
    for (std::uint32_t p = 3; p < db.pager().pageCount(); ++p) {
        const auto page = db.pager().page(p);
        if (page->bytes[0] == 0x01 && std::memcmp(page->bytes.data() + 100, "STMP", 4) == 0) {
            std::uint32_t n = 0;
            for (int i = 0; i < 4; ++i)
                n |= static_cast<std::uint32_t>(page->bytes[104 + static_cast<std::size_t>(i)])
                     << (8 * i);
            out.push_back(n);
        }
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST(Crash, AKilledWriterLeavesAPrefixOfItsStatements) {
    DM_REQUIRE_FIXTURE("access/V2003/test2V2003.mdb");
    constexpr int kCount = 4000;
    constexpr int kGroup = 50;
    std::mt19937 rng(20240611u);
    testenv::TempDir dir;
    int withCommits = 0;
    for (int round = 0; round < 16; ++round) {
        SCOPED_TRACE("round " + std::to_string(round));
        const fs::path file = dir.copyFixture("access/V2003/test2V2003.mdb");
        const auto delay = std::chrono::milliseconds(5 + rng() % 400);
        const ChildRun run = runAndKill(file, kCount, kGroup, delay);
        if (run.lastCommitted > 0) ++withCommits;

        auto db = jet::Database::open(file.string(), {});
        const jet::CheckReport report = jet::checkDatabase(*db);
        EXPECT_TRUE(report.ok()) << testing::PrintToString(report.problems());
        const auto got = stamps(*db);
        for (std::size_t i = 0; i < got.size(); ++i)
            ASSERT_EQ(got[i], i) << "not a prefix of the statements";
        EXPECT_GE(got.size(), static_cast<std::size_t>(run.lastCommitted))
            << "a reported commit was lost";
        EXPECT_TRUE(got.size() % kGroup == 0 || got.size() == kCount)
            << got.size() << " statements: part of a transaction survived";
        EXPECT_FALSE(jet::journalIsLive(*jet::journalBeside(file.string())))
            << "reading left a transaction to undo";
        db.reset();
        fs::remove(file);
    }
    // The kills must land while the writer is writing, not all before its first commit.
    EXPECT_GT(withCommits, 3);
}

}  // namespace
