// Two programs on one file at once: a dump that is still reading when a script wants to write,
// in a folder without a lock file, as users run them. The reader holds the file shared, so the
// writer is refused naming it, and the dump reads the whole table; once it ends, the script
// runs. (A reader refused while another program writes: tests/db/access_locking_test.cpp.)
#include <gtest/gtest.h>
#include <poll.h>
#include <sys/wait.h>
#include <unistd.h>

#include <filesystem>
#include <string>
#include <vector>

#include "tests/support/other_program.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

// A program whose standard output goes to a pipe this test reads only when it wants: until
// then the program stops once the pipe is full, in the middle of its work.
class PausedReader {
  public:
    explicit PausedReader(const std::vector<std::string>& argv) {
        pid_ = testenv::startWithOutputPipe(argv, fd_);
    }
    ~PausedReader() {
        if (fd_ >= 0) ::close(fd_);
        if (pid_ > 0) ::waitpid(pid_, nullptr, 0);
    }
    // Waits until the program printed something: it is reading.
    bool started() {
        pollfd p{fd_, POLLIN, 0};
        return ::poll(&p, 1, 20000) == 1 && (p.revents & POLLIN);
    }
    // Reads everything it prints and returns it with its exit status.
    std::pair<int, std::string> finish() {
        std::string text;
        char buf[65536];
        ssize_t n;
        while ((n = ::read(fd_, buf, sizeof buf)) > 0)
            text.append(buf, static_cast<std::size_t>(n));
        ::close(fd_);
        fd_ = -1;
        int status = 0;
        ::waitpid(pid_, &status, 0);
        pid_ = -1;
        return {WIFEXITED(status) ? WEXITSTATUS(status) : -1, text};
    }

  private:
    pid_t pid_ = -1;
    int fd_ = -1;
};

std::string hostName() {
    char buf[256] = {};
    ::gethostname(buf, sizeof buf - 1);
    return buf;
}

TEST(CliSharing, AWriterIsRefusedWhileADumpReadsAndTheDumpReadsEveryRow) {
    testenv::TempDir dir;
    const fs::path file = dir.path() / "shared.accdb";
    ASSERT_EQ(testenv::runProgram({DM_CLI_PATH, "new", file.string(), "--format", "ace14"}).status,
              0);
    constexpr int kRows = 30000;
    std::string script = "CREATE TABLE Big (id INTEGER PRIMARY KEY, t TEXT(100))\n";
    for (int i = 0; i < kRows; ++i)
        script += "INSERT INTO Big VALUES (" + std::to_string(i) + ", 'row " + std::to_string(i) +
                  " of the table that is read while another program wants to drop it')\n";
    const auto filled = testenv::runProgram({DM_CLI_PATH, "exec", file.string()}, script);
    ASSERT_EQ(filled.status, 0) << filled.err;
    ASSERT_FALSE(fs::exists(dir.path() / "shared.laccdb")) << "a lock file stayed behind";

    PausedReader dump({DM_CLI_PATH, "dump", file.string(), "Big"});
    ASSERT_TRUE(dump.started());
    std::string replace = "DROP TABLE Big\nCREATE TABLE Other (n INTEGER, t TEXT(100))\n";
    for (int i = 0; i < 2000; ++i)
        replace += "INSERT INTO Other VALUES (" + std::to_string(i) + ", 'another table')\n";
    const auto refused = testenv::runProgram({DM_CLI_PATH, "exec", file.string()}, replace);
    EXPECT_EQ(refused.status, 1);
    EXPECT_NE(refused.err.find("The database \"" + file.string() +
                               "\" is open in another program (user "),
              std::string::npos)
        << refused.err;
    EXPECT_NE(refused.err.find(" on computer " + hostName() + "). Close it there and try again."),
              std::string::npos)
        << refused.err;

    const auto [status, text] = dump.finish();
    EXPECT_EQ(status, 0);
    std::vector<std::string> lines;
    for (std::size_t at = 0; at < text.size();) {
        const std::size_t end = text.find('\n', at);
        lines.push_back(text.substr(at, end - at));
        at = end == std::string::npos ? text.size() : end + 1;
    }
    ASSERT_EQ(lines.size(), static_cast<std::size_t>(kRows) + 1) << "rows lost or foreign";
    for (int i = 0; i < kRows; ++i)
        ASSERT_EQ(lines[static_cast<std::size_t>(i) + 1],
                  std::to_string(i) + "\trow " + std::to_string(i) +
                      " of the table that is read while another program wants to drop it");

    const auto later = testenv::runProgram({DM_CLI_PATH, "exec", file.string()}, replace);
    EXPECT_EQ(later.status, 0) << later.err;
    const auto tables = testenv::runProgram({DM_CLI_PATH, "tables", file.string()});
    EXPECT_EQ(tables.out, "Other\n");
}

}  // namespace
