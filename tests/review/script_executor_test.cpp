// The script runner on the real MariaDB server: every line before a rejected one is in effect
// and the rejected one is not, exactly as if each line ran on its own, whether lines were
// grouped into transactions, merged into multi-row INSERTs, or neither.
#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <chrono>
#include <string>
#include <thread>
#include <vector>

#include "db/connection.h"
#include "db/error.h"
#include "review/script_executor.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/test_env.h"

using review::ExecutionResult;
using review::ExecutionSettings;
using review::ScriptText;
using Status = review::ExecutionResult::Status;

namespace {

struct Mode {
    const char* name;
    bool transactions;
    bool merge;
};

void PrintTo(const Mode& m, std::ostream* os) {
    *os << m.name;
}

// Every behaviour must be the same with and without the speed-ups.
const Mode kModes[] = {
    {"merged", true, true},
    {"grouped", true, false},
    {"one_by_one", false, false},
};

class ExecutorTest : public ::testing::TestWithParam<Mode> {
  protected:
    void SetUp() override {
        DM_REQUIRE_MYSQL();
        scratch_ = std::make_unique<testenv::MySqlScratch>();
        connection_ = std::make_unique<db::Connection>();
        connection_->setCursorLocation(db::kAdUseClient);
        connection_->open(scratch_->connectionString());
    }

    ExecutionSettings settings() const {
        ExecutionSettings s;
        s.transactions = GetParam().transactions;
        s.mergeInserts = GetParam().merge;
        return s;
    }

    ExecutionResult run(const std::string& script, ExecutionSettings s) {
        text_.assign(script);
        return review::executeScript(*connection_, text_, s);
    }
    ExecutionResult run(const std::string& script) { return run(script, settings()); }

    std::string scalar(const std::string& sql) { return scratch_->scalar(sql); }

    std::unique_ptr<testenv::MySqlScratch> scratch_;
    std::unique_ptr<db::Connection> connection_;
    ScriptText text_;
};

std::string rows(const std::string& table, int from, int to, const std::string& extra = "") {
    std::string s;
    for (int i = from; i < to; ++i)
        s += "INSERT INTO `" + table + "` VALUES('" + std::to_string(i) + "', 'row " +
             std::to_string(i) + "'" + extra + ")\r\n";
    return s;
}

}  // namespace

TEST_P(ExecutorTest, TenLinesWithTheFifthRejected) {
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB");
    std::string script = rows("t", 0, 4);
    script += "INSERT INTO `t` VALUES('2', 'again')\r\n";  // the fifth line: a duplicate key
    script += rows("t", 5, 10);
    const ExecutionResult r = run(script);
    EXPECT_EQ(r.status, Status::Rejected);
    EXPECT_EQ(r.line, 4u);
    EXPECT_EQ(r.description, "Duplicate entry '2' for key 'PRIMARY'");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), "4");
    EXPECT_EQ(scalar("SELECT GROUP_CONCAT(id ORDER BY id) FROM t"), "0,1,2,3");
    EXPECT_EQ(scalar("SELECT name FROM t WHERE id = 2"), "row 2");
    if (GetParam().merge) {
        EXPECT_LT(r.statements, 10u);  // the lines were merged, then run again one by one
    }
}

TEST_P(ExecutorTest, ALineThatOnlyAMultiRowInsertWouldAcceptIsStillRejected) {
    // Without strict mode a multi-row INSERT stores NULL in a NOT NULL column as the column's
    // default, with a warning; a single-row INSERT is rejected. The run must reject it.
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20) NOT NULL) ENGINE=InnoDB");
    std::string script = "SET SESSION sql_mode = ''\r\n";
    script += rows("t", 0, 4);
    script += "INSERT INTO `t` VALUES('4', NULL)\r\n";
    script += rows("t", 5, 10);
    const ExecutionResult r = run(script);
    EXPECT_EQ(r.status, Status::Rejected);
    EXPECT_EQ(r.line, 5u);
    EXPECT_EQ(r.description, "Column 'name' cannot be null");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), "4");
}

TEST_P(ExecutorTest, TheErrorTextIsThatOfTheSingleLine) {
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(5)) ENGINE=InnoDB");
    std::string script =
        "INSERT INTO `t` VALUES('1', 'abc')\r\n"
        "INSERT INTO `t` VALUES('2', 'abc')\r\n"
        "INSERT INTO `t` VALUES('3', 'too long')\r\n";
    const ExecutionResult r = run(script);
    EXPECT_EQ(r.status, Status::Rejected);
    EXPECT_EQ(r.line, 2u);
    EXPECT_EQ(r.description, "Data too long for column 'name' at row 1");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), "2");
}

TEST_P(ExecutorTest, ATableThatCannotRollBackGetsTheSameResult) {
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=MyISAM");
    std::string script =
        rows("t", 0, 4) + "INSERT INTO `t` VALUES('1', 'again')\r\n" + rows("t", 5, 10);
    const ExecutionResult r = run(script);
    EXPECT_EQ(r.status, Status::Rejected);
    EXPECT_EQ(r.line, 4u);
    EXPECT_EQ(scalar("SELECT GROUP_CONCAT(id ORDER BY id) FROM t"), "0,1,2,3");
}

TEST_P(ExecutorTest, ATriggerWritingElsewhereSeesEachRowOnce) {
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB");
    scratch_->exec("CREATE TABLE log (id INT) ENGINE=MyISAM");
    scratch_->exec(
        "CREATE TRIGGER t_log AFTER INSERT ON t FOR EACH ROW INSERT INTO log VALUES(NEW.id)");
    std::string script =
        rows("t", 0, 6) + "INSERT INTO `t` VALUES('3', 'again')\r\n" + rows("t", 7, 9);
    const ExecutionResult r = run(script);
    EXPECT_EQ(r.status, Status::Rejected);
    EXPECT_EQ(r.line, 6u);
    EXPECT_EQ(scalar("SELECT GROUP_CONCAT(id ORDER BY id) FROM t"), "0,1,2,3,4,5");
    EXPECT_EQ(scalar("SELECT GROUP_CONCAT(id ORDER BY id) FROM log"), "0,1,2,3,4,5");
}

TEST_P(ExecutorTest, DefinitionsEndAGroupAndTheLinesAroundThemStay) {
    const std::string script =
        "CREATE TABLE `a`(`id` INT PRIMARY KEY, `v` text)\r\n\r\n" + rows("a", 0, 3) +
        "\r\nCREATE TABLE `b`(`id` INT PRIMARY KEY, `v` text)\r\n\r\n" + rows("b", 0, 2) +
        "INSERT INTO `b` VALUES('1', 'again')\r\n" + rows("b", 2, 4) + "\r\n";
    const ExecutionResult r = run(script);
    EXPECT_EQ(r.status, Status::Rejected);
    EXPECT_EQ(text_.line(r.line), "INSERT INTO `b` VALUES('1', 'again')");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM a"), "3");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM b"), "2");
}

TEST_P(ExecutorTest, TheScriptsOwnTransactionsAreLeftToIt) {
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB");
    const std::string script = rows("t", 0, 2) + "START TRANSACTION\r\n" + rows("t", 2, 5) +
                               "ROLLBACK\r\n" + rows("t", 5, 7);
    const ExecutionResult r = run(script);
    EXPECT_EQ(r.status, Status::Completed);
    EXPECT_EQ(scalar("SELECT GROUP_CONCAT(id ORDER BY id) FROM t"), "0,1,5,6");
}

TEST_P(ExecutorTest, LinesTheScriptLeavesUncommittedAreInEffectWhenTheRunCompletes) {
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB");
    ASSERT_EQ(run("SET autocommit=0\r\n" + rows("t", 0, 3)).status, Status::Completed);
    // Seen from another session: committed.
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), "3");
    ASSERT_EQ(run("SET autocommit=1\r\nSTART TRANSACTION\r\n" + rows("t", 3, 5)).status,
              Status::Completed);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), "5");
}

TEST_P(ExecutorTest, ValuesArriveExactlyAsTheLinesSayUnderEitherQuoting) {
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, v TEXT) ENGINE=InnoDB");
    const std::string script =
        "INSERT INTO `t` VALUES('1', 'it''s')\r\n"
        "INSERT INTO `t` VALUES('2', 'C:\\\\temp\\\\')\r\n"
        "INSERT INTO `t` VALUES('3', 'a\\'b'),('4', '); DROP TABLE t; -- ');\r\n"
        "INSERT INTO `t` VALUES('5', 'line\nbreak\rand \xC2\xA0 \xF0\x9F\x98\x80')\r\n"
        "SET SESSION sql_mode = CONCAT(@@sql_mode, ',NO_BACKSLASH_ESCAPES')\r\n"
        "INSERT INTO `t` VALUES('6', 'C:\\temp\\')\r\n"
        "INSERT INTO `t` VALUES('7', 'x\\'), ('8', 'y')\r\n";
    const ExecutionResult r = run(script);
    ASSERT_EQ(r.status, Status::Completed) << r.description;
    EXPECT_EQ(scalar("SELECT v FROM t WHERE id = 1"), "it's");
    EXPECT_EQ(scalar("SELECT v FROM t WHERE id = 2"), "C:\\temp\\");
    EXPECT_EQ(scalar("SELECT v FROM t WHERE id = 3"), "a'b");
    EXPECT_EQ(scalar("SELECT v FROM t WHERE id = 4"), "); DROP TABLE t; -- ");
    EXPECT_EQ(scalar("SELECT v FROM t WHERE id = 5"), "line\nbreak\rand \xC2\xA0 \xF0\x9F\x98\x80");
    EXPECT_EQ(scalar("SELECT v FROM t WHERE id = 6"), "C:\\temp\\");
    EXPECT_EQ(scalar("SELECT v FROM t WHERE id = 7"), "x\\");
    EXPECT_EQ(scalar("SELECT v FROM t WHERE id = 8"), "y");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), "8");
}

TEST_P(ExecutorTest, FunctionsInValuesKeepTheirSingleLineMeaning) {
    // LAST_INSERT_ID() in a line reads the id the line before generated: merged, every row
    // would read the same value.
    scratch_->exec("CREATE TABLE t (id INT AUTO_INCREMENT PRIMARY KEY, prev INT) ENGINE=InnoDB");
    const std::string script =
        "INSERT INTO `t` VALUES(NULL, 0)\r\n"
        "INSERT INTO `t` VALUES(NULL, LAST_INSERT_ID())\r\n"
        "INSERT INTO `t` VALUES(NULL, LAST_INSERT_ID())\r\n";
    ASSERT_EQ(run(script).status, Status::Completed);
    EXPECT_EQ(scalar("SELECT GROUP_CONCAT(prev ORDER BY id) FROM t"), "0,1,2");
}

TEST_P(ExecutorTest, EmptyTextsAndEmptyLines) {
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB");
    std::vector<review::ExecutionProgress> seen;
    ExecutionSettings s = settings();
    s.progressInterval = std::chrono::milliseconds(0);
    auto runWithProgress = [&](const std::string& script) {
        seen.clear();
        text_.assign(script);
        return review::executeScript(
            *connection_, text_, s, [&](const review::ExecutionProgress& p) { seen.push_back(p); });
    };
    EXPECT_EQ(runWithProgress("").status, Status::Completed);
    EXPECT_TRUE(seen.empty());
    EXPECT_EQ(runWithProgress("\r\n\r\n\r\n").status, Status::Completed);
    ASSERT_FALSE(seen.empty());
    EXPECT_EQ(seen.back().percent, 100);
    EXPECT_EQ(seen.back().line, 3u);
    EXPECT_EQ(runWithProgress("INSERT INTO t VALUES(1, 'one')").status, Status::Completed);
    ASSERT_EQ(seen.size(), 1u);
    EXPECT_EQ(seen[0].percent, 100);
    // A line of blanks is sent and rejected.
    const ExecutionResult blank = runWithProgress("INSERT INTO t VALUES(2, 'two')\r\n   \r\n");
    EXPECT_EQ(blank.status, Status::Rejected);
    EXPECT_EQ(blank.line, 1u);
    EXPECT_EQ(blank.description, "Query was empty");
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), "2");
}

TEST_P(ExecutorTest, FortyThousandLinesRunWhole) {
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB");
    std::vector<int> percents;
    ExecutionSettings s = settings();
    text_.assign(rows("t", 0, 40000));
    const ExecutionResult r = review::executeScript(
        *connection_, text_, s,
        [&](const review::ExecutionProgress& p) { percents.push_back(p.percent); });
    ASSERT_EQ(r.status, Status::Completed) << r.description;
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), "40000");
    EXPECT_EQ(scalar("SELECT name FROM t WHERE id = 39999"), "row 39999");
    ASSERT_FALSE(percents.empty());
    EXPECT_EQ(percents.back(), 100);
    EXPECT_TRUE(std::is_sorted(percents.begin(), percents.end()));
}

TEST_P(ExecutorTest, ALostConnectionNamesTheFirstLineThatMayNotBeInEffect) {
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB");
    const std::string id =
        connection_->execute("SELECT CONNECTION_ID()")->field(0).value().toDebugString();
    ExecutionSettings s = settings();
    s.progressInterval = std::chrono::milliseconds(0);
    s.mergeLines = 100;
    s.groupLines = 250;
    bool killed = false;
    text_.assign(rows("t", 0, 3000));
    const ExecutionResult r =
        review::executeScript(*connection_, text_, s, [&](const review::ExecutionProgress& p) {
            if (!killed && p.line >= 1234) {
                scratch_->exec("KILL " + id);
                killed = true;
            }
        });
    ASSERT_TRUE(killed);
    EXPECT_EQ(r.status, Status::ConnectionLost);
    EXPECT_EQ(r.errorNumber, db::errc::kConnectionLost);
    EXPECT_LE(r.line, 1234u);
    // Every line before the one named is in effect; none after the kill ran.
    const int before = static_cast<int>(r.line);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t WHERE id < " + std::to_string(before)),
              std::to_string(before));
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t WHERE id > 1234"), "0");
}

TEST_P(ExecutorTest, ALostConnectionInsideTheScriptsOwnTransactionNamesWhereItBegan) {
    // The server undoes a transaction the script opened when the session dies: the lines since
    // its START TRANSACTION (or since autocommit went off) are not in effect.
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB");
    struct Case {
        const char* control;
        std::size_t firstNotInEffect;  // the START TRANSACTION line, or the first line after SET
    };
    for (const Case& c : {Case{"START TRANSACTION", 10}, Case{"SET autocommit=0", 11}}) {
        SCOPED_TRACE(c.control);
        scratch_->exec("DELETE FROM t");
        connection_ = std::make_unique<db::Connection>();
        connection_->open(scratch_->connectionString());
        const std::string session =
            connection_->execute("SELECT CONNECTION_ID()")->field(0).value().toDebugString();
        ExecutionSettings s = settings();
        s.progressInterval = std::chrono::milliseconds(0);
        text_.assign(rows("t", 0, 10) + c.control + "\r\n" + rows("t", 10, 30));
        bool killed = false;
        const ExecutionResult r =
            review::executeScript(*connection_, text_, s, [&](const review::ExecutionProgress& p) {
                if (!killed && p.line >= 25) {
                    scratch_->exec("KILL " + session);
                    killed = true;
                }
            });
        ASSERT_TRUE(killed);
        EXPECT_EQ(r.status, Status::ConnectionLost);
        EXPECT_EQ(r.line, c.firstNotInEffect);
        EXPECT_EQ(scalar("SELECT COUNT(*) FROM t"), "10");
        EXPECT_EQ(scalar("SELECT MAX(id) FROM t"), "9");
    }
}

TEST_P(ExecutorTest, AConnectionKilledWhileAStatementRunsNamesTheFirstLineNotCommitted) {
    // A second session holds the row of line 2000, so the statement that inserts it waits; a
    // third kills the runner's session while it waits.
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, name VARCHAR(20)) ENGINE=InnoDB");
    const std::string session =
        connection_->execute("SELECT CONNECTION_ID()")->field(0).value().toDebugString();
    db::Connection blocker;
    blocker.open(scratch_->connectionString());
    blocker.beginTrans();
    blocker.execute("INSERT INTO t VALUES(2000, 'blocker')");

    std::atomic<bool> killed{false};
    std::thread killer([&] {
        db::Connection k;
        k.open(scratch_->connectionString());
        for (int i = 0; i < 3000 && !killed; ++i) {
            // A statement of the runner's that has run for a third of a second is the one
            // waiting for the row (the others take a few milliseconds).
            auto rs = k.execute(
                "SELECT COUNT(*) FROM information_schema.PROCESSLIST WHERE ID = " + session +
                " AND COMMAND = 'Query' AND TIME_MS > 300 AND INFO LIKE 'INSERT%'");
            if (rs->field(0).value().toDebugString() == "1") {
                k.execute("KILL " + session);
                killed = true;
            } else {
                std::this_thread::sleep_for(std::chrono::milliseconds(10));
            }
        }
    });
    text_.assign(rows("t", 0, 3000));
    const ExecutionResult r = review::executeScript(*connection_, text_, settings());
    killer.join();
    blocker.rollbackTrans();
    ASSERT_TRUE(killed);
    EXPECT_EQ(r.status, Status::ConnectionLost);
    EXPECT_EQ(r.errorNumber, db::errc::kConnectionLost);
    EXPECT_LE(r.line, 2000u);
    if (!GetParam().transactions) {
        EXPECT_EQ(r.line, 2000u);
    }
    // Every line before the one named is in effect, nothing from it on.
    const std::string before = std::to_string(r.line);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t WHERE id < " + before), before);
    EXPECT_EQ(scalar("SELECT COUNT(*) FROM t WHERE id >= " + before), "0");
    EXPECT_EQ(review::failureNotes(r, text_.line(r.line)),
              std::string(text_.line(r.line)) + "\r\n" + r.description +
                  "\r\nThe connection to the database was lost. The lines before line " +
                  std::to_string(r.line + 1) + " are in effect; line " +
                  std::to_string(r.line + 1) + " (shown above) and the lines after it may not be.");
}

INSTANTIATE_TEST_SUITE_P(Modes, ExecutorTest, ::testing::ValuesIn(kModes),
                         [](const auto& testInfo) { return std::string(testInfo.param.name); });

TEST(FailureNotes, SayWhatIsInEffect) {
    ExecutionResult r;
    r.status = Status::Rejected;
    r.line = 4;
    r.description = "Duplicate entry '2' for key 'PRIMARY'";
    EXPECT_EQ(review::failureNotes(r, "INSERT INTO `t` VALUES('2')"),
              "INSERT INTO `t` VALUES('2')\r\nDuplicate entry '2' for key 'PRIMARY'");
    r.status = Status::ConnectionLost;
    r.description = "Lost connection to server during query";
    EXPECT_EQ(review::failureNotes(r, "X"),
              "X\r\nLost connection to server during query\r\nThe connection to the database was "
              "lost. The lines before line 5 are in effect; line 5 (shown above) and the lines "
              "after it may not be.");
    r.status = Status::CommitFailed;
    r.line = 0;
    r.description = "Disk full";
    EXPECT_EQ(review::failureNotes(r, ""),
              "\r\nDisk full\r\nThe database could not commit the changes. The lines before line 1 "
              "are in effect; line 1 (shown above) and the lines after it may not be.");
}
