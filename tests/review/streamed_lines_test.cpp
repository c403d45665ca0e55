// The script runner over lines made while it runs, on the real MariaDB server and a new Access
// file: it asks for each line once in order and goes back only inside the open transaction,
// lets go of the lines it no longer needs, stops when asked with the lines before in effect,
// and reports a line its source could not make; and a send's script made in a thread of its
// own (transfer::StreamedScript) holds only a bounded amount of it at once.
#include <gtest/gtest.h>

#include <algorithm>
#include <deque>
#include <functional>
#include <optional>
#include <stdexcept>
#include <string>

#include "db/connection.h"
#include "db/connection_string.h"
#include "db/jet/write/new_database.h"
#include "review/script_executor.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/test_env.h"
#include "transfer/streamed_script.h"

using review::ExecutionResult;
using Status = review::ExecutionResult::Status;

namespace {

// Lines made by a function, with a record of what the runner asked for and let go.
class MadeLines : public review::ScriptLines {
  public:
    MadeLines(std::size_t count, std::function<std::string(std::size_t)> make)
        : count_(count), make_(std::move(make)) {}
    bool has(std::size_t i) override {
        if (i >= count_) return false;
        while (base_ + held_.size() <= i) {
            const std::size_t n = base_ + held_.size();
            if (failAt_ && n == *failAt_) throw std::runtime_error("The source went away.");
            held_.push_back(make_(n));
            mostHeld_ = std::max(mostHeld_, held_.size());
        }
        return true;
    }
    std::string_view line(std::size_t i) override {
        EXPECT_GE(i, base_) << "asked for a line it had let go";
        return held_.at(i - base_);
    }
    void release(std::size_t first) override {
        EXPECT_GE(first, base_);
        while (base_ < first && !held_.empty()) {
            held_.pop_front();
            ++base_;
        }
    }
    std::size_t mostHeld() const { return mostHeld_; }
    std::optional<std::size_t> failAt_;

  private:
    std::size_t count_;
    std::function<std::string(std::size_t)> make_;
    std::deque<std::string> held_;
    std::size_t base_ = 0;
    std::size_t mostHeld_ = 0;
};

std::string insertLine(std::size_t i) {
    if (i == 0) return "CREATE TABLE t (id INT PRIMARY KEY, v VARCHAR(20))";
    return "INSERT INTO t VALUES(" + std::to_string(i) + ", 'row " + std::to_string(i) + "')";
}

class StreamedLines : public ::testing::Test {
  protected:
    void SetUp() override {
        DM_REQUIRE_MYSQL();
        scratch_ = std::make_unique<testenv::MySqlScratch>();
        cn_.setCursorLocation(db::kAdUseClient);
        cn_.open(scratch_->connectionString());
    }
    std::unique_ptr<testenv::MySqlScratch> scratch_;
    db::Connection cn_;
};

TEST_F(StreamedLines, ALongRunHoldsATransactionsWorthOfLinesAndEveryRowArrives) {
    MadeLines lines(60001, insertLine);
    review::ExecutionSettings s;
    s.groupLines = 2000;
    const ExecutionResult r = review::executeScript(cn_, lines, s);
    ASSERT_EQ(r.status, Status::Completed) << r.description;
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM t"), "60000");
    // A transaction's lines and the merged statement being gathered, not the whole script.
    EXPECT_LT(lines.mostHeld(), 15000u);
}

TEST_F(StreamedLines, TheTransactionsBytesEndItToo) {
    // Lines of 100 KB: a group ends at groupBytes long before groupLines.
    MadeLines lines(201, [](std::size_t i) {
        if (i == 0) return std::string("CREATE TABLE t (id INT, v LONGTEXT)");
        return "INSERT INTO t VALUES(" + std::to_string(i) + ", '" + std::string(100000, 'x') +
               "')";
    });
    review::ExecutionSettings s;
    s.groupBytes = 1 << 20;
    const ExecutionResult r = review::executeScript(cn_, lines, s);
    ASSERT_EQ(r.status, Status::Completed) << r.description;
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM t"), "200");
    EXPECT_LT(lines.mostHeld(), 40u);
}

TEST_F(StreamedLines, ARejectedLineIsReportedWithItsTextAndTheLinesBeforeStay) {
    MadeLines lines(5001, [](std::size_t i) {
        return i == 4000 ? std::string("INSERT INTO t VALUES(1, 'again')") : insertLine(i);
    });
    const ExecutionResult r = review::executeScript(cn_, lines, review::ExecutionSettings{});
    ASSERT_EQ(r.status, Status::Rejected);
    EXPECT_EQ(r.line, 4000u);
    EXPECT_EQ(r.lineText, "INSERT INTO t VALUES(1, 'again')");
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM t"), "3999");
}

TEST_F(StreamedLines, ALineTheSourceCannotMakeEndsTheRunWithWhatRanCommitted) {
    MadeLines lines(1000, insertLine);
    lines.failAt_ = 700;
    const ExecutionResult r = review::executeScript(cn_, lines, review::ExecutionSettings{});
    ASSERT_EQ(r.status, Status::SourceFailed);
    EXPECT_EQ(r.line, 700u);
    EXPECT_EQ(r.description, "The source went away.");
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM t"), "699");
}

TEST_F(StreamedLines, ACancelledRunStopsBeforeALineWithTheLinesBeforeInEffect) {
    MadeLines lines(1000, insertLine);
    std::size_t asked = 0;
    review::ExecutionHooks hooks;
    hooks.cancelled = [&] { return ++asked > 300; };
    const ExecutionResult r = review::executeScript(cn_, lines, review::ExecutionSettings{}, hooks);
    ASSERT_EQ(r.status, Status::Cancelled);
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM t"), std::to_string(r.line - 1));
    EXPECT_GE(r.line, 300u);
}

TEST_F(StreamedLines, AScriptMadeInItsOwnThreadRunsWithABoundedBuffer) {
    std::size_t made = 0;
    transfer::StreamedScript script(
        [&](transfer::ScriptSink& sink, transfer::StreamedScript& s) {
            s.beginTable("t");
            sink.appendCreateTable("CREATE TABLE t (id INT, v VARCHAR(200))");
            for (std::size_t i = 1; i <= 50000; ++i, ++made)
                sink.appendStatementLine("INSERT INTO t VALUES(" + std::to_string(i) + ", '" +
                                         std::string(150, 'v') + "')");
            sink.endTable();
        },
        std::size_t{1} << 20);
    const ExecutionResult r = review::executeScript(cn_, script, review::ExecutionSettings{});
    ASSERT_EQ(r.status, Status::Completed) << r.description;
    EXPECT_EQ(made, 50000u);
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM t"), "50000");
    // About 9 MB of lines went through; a transaction's worth and the megabyte ahead were held.
    EXPECT_LT(script.peakBytes(), std::size_t{6} << 20);
    EXPECT_EQ(script.tableOf(5), "t");
    // CREATE, its empty line, the rows, the table's empty line and the script's last line.
    EXPECT_EQ(script.linesMade(), 50004u);
}

TEST_F(StreamedLines, AScriptNoLongerWantedStopsItsMaker) {
    bool stopped = false;
    {
        transfer::StreamedScript script(
            [&](transfer::ScriptSink& sink, transfer::StreamedScript&) {
                try {
                    for (;;)
                        sink.appendStatementLine("INSERT INTO t VALUES(1)");
                } catch (const transfer::StreamedScript::Stopped&) {
                    stopped = true;
                    throw;
                }
            },
            4096);
        ASSERT_TRUE(script.has(0));
    }
    EXPECT_TRUE(stopped);
}

TEST(StreamedLinesAccess, AStreamedRunIntoANewAccessFileKeepsEveryRow) {
    testenv::TempDir dir;
    const std::string file = (dir.path() / "streamed.accdb").string();
    jet::createDatabase(file, jet::versionForName("ace16"));
    db::Connection cn;
    cn.setMode(db::kAdModeReadWrite);
    cn.open(db::buildAccessConnectionString(db::LoginFields{}, file, ""));
    MadeLines lines(20001, [](std::size_t i) {
        if (i == 0) return std::string("CREATE TABLE t (id INT, v TEXT(20))");
        return "INSERT INTO t VALUES(" + std::to_string(i) + ", 'row " + std::to_string(i) + "')";
    });
    review::ExecutionSettings s;
    s.direction = transfer::Direction::MySqlToAccess;
    const ExecutionResult r = review::executeScript(cn, lines, s);
    ASSERT_EQ(r.status, Status::Completed) << r.description;
    auto rs = cn.execute("SELECT * FROM t");
    EXPECT_EQ(rs->recordCount(), 20000);
    EXPECT_LT(lines.mostHeld(), 6000u);
}

}  // namespace
