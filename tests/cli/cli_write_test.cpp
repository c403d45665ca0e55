// dunmorrow-cli's writing commands: new (every format, and its refusals) and exec (statements
// from standard input, stopping at the first failure with its line).
#include <gtest/gtest.h>

#include <filesystem>
#include <fstream>
#include <sstream>

#include "app/cli/commands.h"
#include "app/cli/write_commands.h"
#include "db/jet/check/check.h"
#include "db/jet/database/database.h"
#include "db/jet/table/table_reader.h"
#include "tests/cli/cli_run.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

using clitest::CliRun;
using clitest::run;

std::vector<std::vector<db::Value>> rows(const fs::path& file, const std::string& table) {
    const auto db = jet::Database::open(file.string(), jet::OpenOptions{});
    auto reader = db->openTable(table);
    std::vector<std::vector<db::Value>> out;
    std::vector<db::Value> row;
    while (reader->next(row))
        out.push_back(row);
    return out;
}

class CliNew : public ::testing::TestWithParam<const char*> {};

TEST_P(CliNew, MakesAnEmptyDatabaseOfEachFormat) {
    testenv::TempDir dir;
    const std::string format = GetParam();
    const fs::path file = dir.path() / (format == "jet4" ? "new.mdb" : "new.accdb");
    const CliRun r = run({"new", file.string(), "--format", format});
    ASSERT_EQ(r.status, 0) << r.err;
    const auto db = jet::Database::open(file.string(), jet::OpenOptions{});
    const jet::Version want = format == "jet4"    ? jet::Version::Jet4
                              : format == "ace12" ? jet::Version::Ace12
                              : format == "ace14" ? jet::Version::Ace14
                              : format == "ace16" ? jet::Version::Ace16
                                                  : jet::Version::Ace17;
    EXPECT_EQ(db->format().version, want);
    EXPECT_EQ(r.out,
              "Created \"" + file.string() + "\", an empty " + db->format().name + " database.\n");
    EXPECT_EQ(r.err, "");
    EXPECT_TRUE(db->userTableNames().empty());
    const CliRun tables = run({"tables", file.string()});
    EXPECT_EQ(tables.status, 0) << tables.err;
    EXPECT_EQ(tables.out, "");
}

INSTANTIATE_TEST_SUITE_P(EveryFormat, CliNew,
                         ::testing::Values("jet4", "ace12", "ace14", "ace16", "ace17"));

TEST(CliNewRefusals, AreClearAndLeaveFilesAlone) {
    testenv::TempDir dir;
    const fs::path file = dir.path() / "a.mdb";
    ASSERT_EQ(run({"new", file.string(), "--format=jet4"}).status, 0);
    const auto size = fs::file_size(file);

    const CliRun again = run({"new", file.string(), "--format", "ace12"});
    EXPECT_EQ(again.status, 1);
    EXPECT_EQ(again.err, "dunmorrow-cli: \"" + file.string() + "\" already exists.\n");
    EXPECT_EQ(fs::file_size(file), size);

    const CliRun unknown = run({"new", (dir.path() / "b.mdb").string(), "--format", "jet3"});
    EXPECT_EQ(unknown.status, 1);
    EXPECT_EQ(unknown.err,
              "dunmorrow-cli: Unknown database format \"jet3\": choose jet4, ace12, ace14, "
              "ace16 or ace17.\n");
    EXPECT_FALSE(fs::exists(dir.path() / "b.mdb"));

    const CliRun missing = run({"new", (dir.path() / "c.mdb").string()});
    EXPECT_EQ(missing.status, 2);
    EXPECT_EQ(missing.err,
              "dunmorrow-cli: --format is required\nUsage: dunmorrow-cli new FILE --format "
              "jet4|ace12|ace14|ace16|ace17\n");
    EXPECT_EQ(run({"new", "--format", "jet4"}).status, 2);
}

class CliExec : public ::testing::Test {
  protected:
    void SetUp() override {
        file_ = dir_.path() / "script.mdb";
        ASSERT_EQ(run({"new", file_.string(), "--format", "jet4"}).status, 0);
    }
    testenv::TempDir dir_;
    fs::path file_;
};

TEST_F(CliExec, RunsEveryLineAndSaysHowManyStatementsRan) {
    const CliRun r = run({"exec", file_.string()},
                         "CREATE TABLE [People] ([Id] INTEGER PRIMARY KEY, [Name] TEXT(40))\r\n"
                         "\r\n"
                         "INSERT INTO [People] VALUES (1, 'Ann')\n"
                         "\n"
                         "INSERT INTO [People] ([Id], [Name]) VALUES (2, 'O''Hara')\n"
                         "INSERT INTO [People] VALUES (3, NULL)");
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "4 statements executed.\n");
    EXPECT_EQ(r.err, "");
    const auto people = rows(file_, "People");
    ASSERT_EQ(people.size(), 3u);
    EXPECT_EQ(people[1][1], db::Value::text("O'Hara"));
    EXPECT_TRUE(people[2][1].isNull());
    EXPECT_TRUE(jet::checkDatabase(*jet::Database::open(file_.string(), jet::OpenOptions{})).ok());
}

TEST_F(CliExec, StopsAtTheFirstFailureWithItsLineAndKeepsTheLinesBefore) {
    const CliRun r = run({"exec", file_.string()},
                         "CREATE TABLE [T] ([K] INTEGER PRIMARY KEY)\n"
                         "INSERT INTO [T] VALUES (1)\n"
                         "\n"
                         "INSERT INTO [T] VALUES (2)\n"
                         "INSERT INTO [T] VALUES (1)\n"
                         "INSERT INTO [T] VALUES (3)\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err,
              "dunmorrow-cli: line 5: INSERT INTO [T] VALUES (1)\n"
              "dunmorrow-cli: The row would put a value into the index 'PrimaryKey' of table 'T' "
              "that it holds already; the index allows each value only once.\n"
              "dunmorrow-cli: the lines before line 5 are in effect.\n");
    const auto t = rows(file_, "T");
    ASSERT_EQ(t.size(), 2u);
    EXPECT_EQ(t[0][0], db::Value::integer(1));
    EXPECT_EQ(t[1][0], db::Value::integer(2));
}

TEST_F(CliExec, ASyntaxErrorNamesTheStatement) {
    const CliRun r =
        run({"exec", file_.string()}, "CREATE TABLE [A] ([x] INTEGER)\nDELETE FROM A\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_NE(r.err.find("dunmorrow-cli: line 2: DELETE FROM A\n"), std::string::npos) << r.err;
    EXPECT_NE(r.err.find("DELETE FROM A"), r.err.rfind("DELETE FROM A")) << r.err;
    const auto db = jet::Database::open(file_.string(), jet::OpenOptions{});
    EXPECT_EQ(db->userTableNames(), std::vector<std::string>{"A"});
}

TEST_F(CliExec, EmptyInputRunsNothing) {
    const CliRun r = run({"exec", file_.string()}, "");
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "0 statements executed.\n");
}

TEST_F(CliExec, AMissingFileOrAWrongPasswordIsAnError) {
    const CliRun missing = run({"exec", (dir_.path() / "nope.mdb").string()}, "SELECT 1\n");
    EXPECT_EQ(missing.status, 1);
    EXPECT_EQ(missing.err, "dunmorrow-cli: Could not find file \"" +
                               (dir_.path() / "nope.mdb").string() + "\".\n");
    EXPECT_FALSE(fs::exists(dir_.path() / "nope.mdb"));
    ASSERT_EQ(run({"set-password", file_.string(), "secret"}).status, 0);
    const CliRun wrong =
        run({"exec", file_.string(), "--password", "guess"}, "CREATE TABLE [X] ([a] INTEGER)\n");
    EXPECT_EQ(wrong.status, 1);
    EXPECT_EQ(wrong.err, "dunmorrow-cli: Not a valid password.\n");
    const CliRun right =
        run({"exec", file_.string(), "--password=secret"}, "CREATE TABLE [X] ([a] INTEGER)\n");
    EXPECT_EQ(right.status, 0) << right.err;
}

TEST_F(CliExec, AnAccess97FileIsRefusedAtTheFirstLine) {
    DM_REQUIRE_FIXTURE("access/V1997/testV1997.mdb");
    const fs::path copy = dir_.copyFixture("access/V1997/testV1997.mdb");
    const auto before = fs::file_size(copy);
    const CliRun r = run({"exec", copy.string()}, "CREATE TABLE [New] ([a] INTEGER)\n");
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err.rfind("dunmorrow-cli: line 1: CREATE TABLE [New] ([a] INTEGER)\n", 0), 0u)
        << r.err;
    EXPECT_EQ(fs::file_size(copy), before);
}

TEST(CliExecInput, LinesEndAtLineFeedsWithoutTheirCarriageReturns) {
    EXPECT_EQ(cli::scriptFromInput(""), "");
    EXPECT_EQ(cli::scriptFromInput("a"), "a");
    EXPECT_EQ(cli::scriptFromInput("a\n"), "a\r\n");
    EXPECT_EQ(cli::scriptFromInput("a\r\nb\nc"), "a\r\nb\r\nc");
    EXPECT_EQ(cli::scriptFromInput("a\rb\n\n"), "a\rb\r\n\r\n");  // a lone CR stays in its line
    EXPECT_EQ(cli::scriptFromInput("\r\n"), "\r\n");
}

TEST(CliProgramExec, ReadsStandardInput) {
    testenv::TempDir dir;
    const fs::path file = dir.path() / "p.accdb";
    const auto made = testenv::runProgram({DM_CLI_PATH, "new", file.string(), "--format", "ace16"});
    ASSERT_EQ(made.status, 0) << made.err;
    const auto ok = testenv::runProgram({DM_CLI_PATH, "exec", file.string()},
                                        "CREATE TABLE t (n BIGINT, s MEMO)\n"
                                        "INSERT INTO t VALUES (9007199254740993, 'x')\n");
    EXPECT_EQ(ok.status, 0) << ok.err;
    EXPECT_EQ(ok.out, "2 statements executed.\n");
    const auto dumped = testenv::runProgram({DM_CLI_PATH, "dump", file.string(), "t"});
    EXPECT_EQ(dumped.out, "n\ts\n9007199254740993\tx\n");
    const auto bad = testenv::runProgram({DM_CLI_PATH, "exec", file.string()},
                                         "INSERT INTO t VALUES ('many', 'y')\n");
    EXPECT_NE(bad.status, 0);
    EXPECT_EQ(bad.out, "");
    EXPECT_EQ(bad.err.rfind("dunmorrow-cli: line 1: INSERT INTO t VALUES ('many', 'y')\n", 0), 0u)
        << bad.err;
    const auto checked = testenv::runProgram({DM_CLI_PATH, "check", file.string()});
    EXPECT_EQ(checked.status, 0) << checked.out << checked.err;
}

TEST(CliHelpWriting, NamesTheNewCommands) {
    const CliRun r = run({"--help"});
    EXPECT_EQ(r.status, 0);
    EXPECT_NE(r.out.find("dunmorrow-cli exec FILE [--password-file F]"), std::string::npos);
    EXPECT_NE(r.out.find("dunmorrow-cli new FILE --format jet4|ace12|ace14|ace16|ace17"),
              std::string::npos);
    EXPECT_NE(r.out.find("--format F"), std::string::npos);
}

}  // namespace
