// dunmorrow-cli to-mysql and to-access, run as a user runs them, against the test server and
// copies of the real Access files: whole files to MySQL and back into new files of every
// writable format with every value compared; the runs that change nothing (exit status 2), a
// rejected line (exit status 1, the lines before it in effect); passwords kept off the command
// line, out of the script and out of the messages; and the hostile names of a send.
#include <gtest/gtest.h>
#include <signal.h>
#include <stdlib.h>
#include <unistd.h>

#include <algorithm>
#include <chrono>
#include <filesystem>
#include <fstream>
#include <sstream>
#include <thread>

#include "app/cli/commands.h"
#include "app/cli/saved_logins.h"
#include "app/cli/send_commands.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/table_listing.h"
#include "db/table_structure.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/other_program.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"
#include "tests/transfer/round_trip_values.h"
#include "transfer/table_send.h"
#include "typecustom/column_proposals.h"

namespace {

namespace fs = std::filesystem;
using Rows = std::vector<std::vector<db::Value>>;

struct Table {
    std::vector<std::string> names;
    Rows rows;
};

Table readTable(const std::string& connectionString, const std::string& sql) {
    db::Connection c;
    c.setCursorLocation(db::kAdUseClient);
    c.open(connectionString);
    db::Recordset rs;
    rs.open(sql, c);
    Table t;
    for (int i = 0; i < rs.fieldCount(); ++i)
        t.names.push_back(rs.field(static_cast<std::size_t>(i)).name());
    for (; !rs.eof(); rs.moveNext())
        t.rows.push_back(rs.row());
    return t;
}

std::string accessString(const std::string& path) {
    return db::buildAccessConnectionString(db::LoginFields{}, path, "");
}

std::vector<std::string> accessTables(const std::string& path) {
    db::LoginFields l;
    l.accessPath = path;
    return db::getAccessTableNames(path, l).value_or(std::vector<std::string>{});
}

std::string readAll(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::string(std::istreambuf_iterator<char>(in), {});
}

class CliSend : public ::testing::Test {
  protected:
    void SetUp() override {
        ::unsetenv("DUNMORROW_MYSQL_PASSWORD");
        ::unsetenv("DUNMORROW_ACCESS_PASSWORD");
    }
    void TearDown() override { SetUp(); }

    // mysql://USER@HOST:PORT/DATABASE of the scratch database.
    std::string address(const testenv::MySqlScratch& db) const {
        const auto s = testenv::mysqlServer();
        return "mysql://" + s.user + "@" + s.host + ":" + s.port + "/" + db.name();
    }
    // Runs dunmorrow-cli with the test server's password in the environment.
    testenv::ProgramResult cli(std::vector<std::string> args, bool password = true) {
        if (password)
            ::setenv("DUNMORROW_MYSQL_PASSWORD", testenv::mysqlServer().password.c_str(), 1);
        else
            ::unsetenv("DUNMORROW_MYSQL_PASSWORD");
        args.insert(args.begin(), DM_CLI_PATH);
        return testenv::runProgram(args);
    }

    testenv::TempDir dir;
};

// Every value of `sent` arrived in `arrived` as the script named it. With the keys an empty
// text stays an empty text, and a primary key orders the rows its own way: they compare as sets.
void expectSameValues(const Table& sent, const Table& arrived, bool fromAccess, bool keys = false) {
    ASSERT_EQ(arrived.rows.size(), sent.rows.size());
    ASSERT_EQ(arrived.names, sent.names);
    std::vector<std::vector<std::string>> want, got;
    for (std::size_t r = 0; r < sent.rows.size(); ++r) {
        want.emplace_back();
        got.emplace_back();
        for (std::size_t c = 0; c < sent.names.size(); ++c) {
            const db::Value& s = sent.rows[r][c];
            const db::Value& a = arrived.rows[r][c];
            const bool keptEmpty = keys && s.kind() == db::Value::Kind::Text;
            if (testenv::isNullOnTheWay(s) && !keptEmpty)
                want.back().push_back("(Null)");
            else
                want.back().push_back(fromAccess ? testenv::denotedForMySql(s)
                                                 : testenv::arrivedText(s));
            got.back().push_back(a.isNull() ? "(Null)" : testenv::arrivedText(a));
        }
    }
    if (keys) {
        std::sort(want.begin(), want.end());
        std::sort(got.begin(), got.end());
    }
    for (std::size_t r = 0; r < want.size(); ++r)
        for (std::size_t c = 0; c < sent.names.size(); ++c)
            EXPECT_EQ(got[r][c], want[r][c]) << "row " << r << " column " << c;
}

// What cannot go is said on standard error, a note a line, and nothing else is.
void expectOnlyNotes(const std::string& err) {
    std::istringstream lines(err);
    for (std::string line; std::getline(lines, line);)
        EXPECT_EQ(line.rfind("dunmorrow-cli: note: Table \"", 0), 0u) << line;
}

class CliSendBothWays : public CliSend, public ::testing::WithParamInterface<bool> {};

TEST_P(CliSendBothWays, WholeFilesGoToMySqlAndBackIntoNewFilesOfEveryWritableFormat) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    const bool keys = GetParam();
    const std::vector<std::string> formats = {"jet4", "ace12", "ace14", "ace16", "ace17"};
    int tables = 0, back = 0;
    for (const std::string& fixture : testenv::unencryptedJet4AndAceFixtures()) {
        SCOPED_TRACE(fixture);
        const std::string original = dir.copyFixture(fixture).string();
        testenv::MySqlScratch mysql;
        std::vector<std::string> args = {"to-mysql", original, address(mysql), "--all"};
        if (keys) args.push_back("--keys");
        const auto there = cli(args);
        ASSERT_EQ(there.status, 0) << there.err;
        if (keys)
            expectOnlyNotes(there.err);
        else
            EXPECT_EQ(there.err, "");
        const std::vector<std::string> names = accessTables(original);
        EXPECT_NE(there.out.find("Sent " + std::to_string(names.size()) +
                                 (names.size() == 1 ? " table, " : " tables, ")),
                  std::string::npos)
            << there.out;
        for (const std::string& t : names) {
            SCOPED_TRACE(t);
            ++tables;
            expectSameValues(readTable(accessString(original), "SELECT * FROM [" + t + "]"),
                             readTable(mysql.connectionString(), "SELECT * FROM `" + t + "`"),
                             /*fromAccess=*/true, keys);
        }
        for (const std::string& format : formats) {
            SCOPED_TRACE(format);
            const std::string home =
                (dir.path() / (fs::path(original).stem().string() + "-" + format +
                               (format == "jet4" ? ".mdb" : ".accdb")))
                    .string();
            // Access keeps names beginning with MSys for itself (a table Access left after a
            // failed compaction): such a table cannot come back, and --all refuses the file
            // before it changes anything.
            args = {"to-access", address(mysql), home, "--format", format, "--quiet"};
            if (keys) args.push_back("--keys");
            std::vector<std::string> backNames;
            for (const std::string& t : names)
                if (t.rfind("MSys", 0) != 0) backNames.push_back(t);
            if (backNames.size() == names.size()) {
                args.push_back("--all");
            } else {
                const auto refused = cli({"to-access", address(mysql), home, "--all"});
                EXPECT_EQ(refused.status, 2);
                EXPECT_NE(refused.err.find("names beginning with MSys are kept for system "
                                           "tables. The table is not sent. Nothing was changed."),
                          std::string::npos)
                    << refused.err;
                EXPECT_FALSE(fs::exists(home));
                args.insert(args.end(), backNames.begin(), backNames.end());
            }
            const auto returned = cli(args);
            if (keys && fixture.find("Emoticons") != std::string::npos) {
                // The engine makes new files in the General Legacy sort order, where it cannot
                // yet index a character beyond the Basic Multilingual Plane: the index line
                // stops the run, named, with the rows before it in place.
                EXPECT_EQ(returned.status, 1);
                EXPECT_NE(returned.err.find("cannot index the character U+1F600 in this sort "
                                            "order (General Legacy)."),
                          std::string::npos)
                    << returned.err;
                continue;
            }
            ASSERT_EQ(returned.status, 0) << returned.err;
            EXPECT_EQ(returned.out, "");
            expectOnlyNotes(returned.err);
            std::vector<std::string> sorted = accessTables(home), want = backNames;
            std::sort(sorted.begin(), sorted.end());
            std::sort(want.begin(), want.end());
            EXPECT_EQ(sorted, want);
            for (const std::string& t : backNames) {
                SCOPED_TRACE("back: " + t);
                ++back;
                expectSameValues(readTable(mysql.connectionString(), "SELECT * FROM `" + t + "`"),
                                 readTable(accessString(home), "SELECT * FROM [" + t + "]"),
                                 /*fromAccess=*/false, keys);
            }
            const auto check = cli({"check", home});
            EXPECT_EQ(check.status, 0) << check.out;
        }
    }
    EXPECT_GT(tables, 20);
    EXPECT_GT(back, tables * 4);
}

INSTANTIATE_TEST_SUITE_P(WithoutAndWithKeys, CliSendBothWays, ::testing::Bool(),
                         [](const ::testing::TestParamInfo<bool>& testInfo) {
                             return testInfo.param ? "Keys" : "NoKeys";
                         });

TEST_F(CliSend, ProposedTypesGiveEachColumnTheTypeTheDialogProposes) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    const std::string file = dir.copyFixture("access/V2010/testV2010.accdb").string();
    testenv::MySqlScratch mysql;
    const auto r = cli({"to-mysql", file, address(mysql), "Table1", "--proposed-types"});
    ASSERT_EQ(r.status, 0) << r.err;
    // The dialog proposes VARCHAR(n) sized by the first row, LongText, decimal(19,4) for
    // currency: the server spells them in lower case.
    const std::string types = mysql.scalar(
        "SELECT GROUP_CONCAT(COLUMN_TYPE ORDER BY ORDINAL_POSITION) FROM "
        "information_schema.COLUMNS WHERE TABLE_SCHEMA = DATABASE() AND TABLE_NAME = 'Table1'");
    EXPECT_NE(types.find("decimal(19,4)"), std::string::npos) << types;
    EXPECT_EQ(types.find("text,text"), std::string::npos) << types;
    expectSameValues(readTable(accessString(file), "SELECT * FROM [Table1]"),
                     readTable(mysql.connectionString(), "SELECT * FROM `Table1`"), true);
}

TEST_F(CliSend, AnExistingTableWithoutOverwriteChangesNothing) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/V2010/testV2010.accdb");
    const std::string file = dir.copyFixture("access/V2010/testV2010.accdb").string();
    testenv::MySqlScratch mysql;
    mysql.exec("CREATE TABLE Table1 (keep INT)");
    mysql.exec("INSERT INTO Table1 VALUES (7)");
    // Table4 sorts after table1 and would go first: nothing at all may be sent.
    auto r = cli({"to-mysql", file, address(mysql), "Table1", "Table4"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "dunmorrow-cli: The table \"Table1\" already exists in the MySQL database \"" +
                         mysql.name() + "\" on " + testenv::mysqlServer().host + ":" +
                         testenv::mysqlServer().port +
                         "; nothing was changed (--overwrite replaces it).\n");
    EXPECT_EQ(mysql.scalar("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                           "DATABASE()"),
              "1");
    EXPECT_EQ(mysql.scalar("SELECT keep FROM Table1"), "7");

    // With --overwrite the table is replaced (the name as the Access file spells it).
    r = cli({"to-mysql", file, address(mysql), "Table1", "--overwrite"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(mysql.scalar("SELECT COUNT(*) FROM Table1"), "2");

    // The other way: an Access table of that name stops the run, the file unchanged.
    const std::string before = readAll(file);
    r = cli({"to-access", address(mysql), file, "Table1"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "dunmorrow-cli: The table \"Table1\" already exists in \"" + file +
                         "\"; nothing was changed (--overwrite replaces it).\n");
    EXPECT_TRUE(readAll(file) == before);
}

TEST_F(CliSend, ARejectedLineExitsOneNamingItAndTheLinesBeforeItStay) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch mysql;
    mysql.exec("CREATE TABLE people (id INT, note TEXT, amount DECIMAL(30,2))");
    const std::string big = "9999999999999999999999999999.99";
    mysql.exec(
        "INSERT INTO people VALUES (1, 'a', 1), (2, 'b', 2), (3, 'c', 3), (4, REPEAT('x', "
        "300), " +
        big + "), (5, 'e', 5)");
    const std::string file = (dir.path() / "people.accdb").string();
    // The default mapping gives the amount Access's widest DECIMAL, 28 digits: row 4 does not
    // fit. Line 1 is the CREATE TABLE, line 2 empty, the rows from line 3 on; the line is shown
    // up to its 200th character.
    const auto r = cli({"to-access", address(mysql), file, "people"});
    EXPECT_EQ(r.status, 1);
    const std::string statement =
        "INSERT INTO `people` VALUES('4', '" + std::string(300, 'x') + "', '" + big + "')";
    EXPECT_EQ(r.err.rfind("dunmorrow-cli: table \"people\", line 6: " + statement.substr(0, 200) +
                              "...\ndunmorrow-cli: ",
                          0),
              0u)
        << r.err;
    EXPECT_NE(r.err.find("\ndunmorrow-cli: the lines before line 6 are in effect.\n"),
              std::string::npos)
        << r.err;
    const Table arrived = readTable(accessString(file), "SELECT * FROM [people]");
    ASSERT_EQ(arrived.rows.size(), 3u);
    EXPECT_EQ(arrived.rows[2][1].asText(), "c");
}

TEST_F(CliSend, NothingChangesWhenALoginOrAFileIsWrong) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/encrypted/db2007-enc.accdb");
    testenv::MySqlScratch mysql;
    const std::string file = dir.copyFixture("access/V2010/testV2010.accdb").string();
    const auto server = testenv::mysqlServer();

    // A wrong MySQL password: the server's own sentence, which names no password.
    ::setenv("DUNMORROW_MYSQL_PASSWORD", "not-the-password", 1);
    auto r = testenv::runProgram({DM_CLI_PATH, "to-mysql", file, address(mysql), "--all"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("dunmorrow-cli: Cannot open the MySQL database \"" + mysql.name() +
                              "\" on " + server.host + ":" + server.port + ": Access denied",
                          0),
              0u)
        << r.err;
    EXPECT_EQ(r.err.find("not-the-password"), std::string::npos);

    // A missing Access file.
    r = cli({"to-mysql", (dir.path() / "gone.mdb").string(), address(mysql), "--all"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "dunmorrow-cli: Could not find file \"" + (dir.path() / "gone.mdb").string() +
                         "\".\n");

    // A port nobody listens on: refused at once, said plainly.
    r = cli({"to-mysql", file, "mysql://" + server.user + "@127.0.0.1:1/" + mysql.name(), "--all"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err.rfind("dunmorrow-cli: Cannot open the MySQL database \"" + mysql.name() +
                              "\" on 127.0.0.1:1: ",
                          0),
              0u)
        << r.err;

    // A wrong password for an encrypted Access file.
    const std::string locked = dir.copyFixture("access/encrypted/db2007-enc.accdb").string();
    ::setenv("DUNMORROW_ACCESS_PASSWORD", "Wrong123", 1);
    r = cli({"to-mysql", locked, address(mysql), "--all"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "dunmorrow-cli: Cannot open \"" + locked + "\": Not a valid password.\n");
    EXPECT_EQ(r.err.find("Wrong123"), std::string::npos);
    // The right one from a password file.
    ::unsetenv("DUNMORROW_ACCESS_PASSWORD");
    const fs::path pw = dir.path() / "access.pw";
    std::ofstream(pw) << "Test123\n";
    r = cli({"to-mysql", locked, address(mysql), "--all", "--access-password-file", pw.string()});
    EXPECT_EQ(r.status, 0) << r.err;

    // A table the file does not hold, and command lines not understood.
    r = cli({"to-mysql", file, address(mysql), "NoSuchTable"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "dunmorrow-cli: There is no table \"NoSuchTable\" in \"" + file + "\".\n");
    r = cli(
        {"to-mysql", file, "mysql://" + server.user + ":secret@" + server.host + "/x", "--all"});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("holds a password"), std::string::npos) << r.err;
    r = cli({"to-mysql", file, address(mysql)});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("name the tables to send, or give --all"), std::string::npos);
    db::LoginFields withPassword;
    withPassword.accessPath = locked;
    withPassword.accessPassword = "Test123";
    EXPECT_EQ(mysql.scalar("SELECT COUNT(*) FROM information_schema.TABLES WHERE TABLE_SCHEMA = "
                           "DATABASE()"),
              std::to_string(db::getAccessTableNames(locked, withPassword)->size()));
}

TEST_F(CliSend, PasswordsAreNeitherInTheProcessListNorInTheScriptNorInMessages) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch mysql;
    // A first table that finishes at once and a second one that takes a while: the run is
    // looked at while it works on the second.
    mysql.exec("CREATE TABLE z_first (id INT)");
    mysql.exec("INSERT INTO z_first VALUES (1)");
    mysql.exec("CREATE TABLE a_long (id INT, t VARCHAR(40))");
    mysql.exec("SET SESSION max_recursive_iterations = 1000000");
    mysql.exec(
        "INSERT INTO a_long WITH RECURSIVE n(i) AS (SELECT 1 UNION ALL SELECT i + 1 FROM n "
        "WHERE i < 300000) SELECT i, CONCAT('row ', i) FROM n");
    const std::string password = testenv::mysqlServer().password;
    const fs::path pwFile = dir.path() / "mysql.pw";
    std::ofstream(pwFile) << password << "\n";
    const std::string file = (dir.path() / "watched.accdb").string();
    {
        testenv::OtherProgram run({DM_CLI_PATH, "to-access", address(mysql), file, "--all",
                                   "--mysql-password-file", pwFile.string()});
        ASSERT_EQ(run.firstLine().rfind("z_first", 0), 0u);  // the list's last table goes first
        // Every process of the machine, as ps shows them.
        for (const auto& e : fs::directory_iterator("/proc")) {
            const std::string cmdline = readAll(e.path() / "cmdline");
            EXPECT_EQ(cmdline.find(password), std::string::npos) << e.path();
        }
    }
    // The script holds no password either, nor does a message of a failed login.
    const fs::path script = dir.path() / "script.sql";
    ::setenv("DUNMORROW_MYSQL_PASSWORD", password.c_str(), 1);
    auto r = testenv::runProgram({DM_CLI_PATH, "to-access", address(mysql),
                                  (dir.path() / "other.mdb").string(), "z_first", "--script",
                                  script.string()});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readAll(script),
              "CREATE TABLE `z_first`(`id` INT);\r\n\r\n"
              "INSERT INTO `z_first` VALUES('1')\r\n\r\n\r\n");
    EXPECT_FALSE(fs::exists(dir.path() / "other.mdb"));  // --script changes nothing
    EXPECT_EQ(r.out.find(password), std::string::npos);
}

TEST_F(CliSend, SavedTakesTheRememberedLoginsAndEachTableIsReportedWhenDone) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/V2003/indexTestV2003.mdb");
    const std::string file = dir.copyFixture("access/V2003/indexTestV2003.mdb").string();
    testenv::MySqlScratch mysql;
    const auto server = testenv::mysqlServer();
    // The settings file as the connection window writes it.
    fs::create_directories(dir.path() / "config");
    std::ofstream(dir.path() / "config" / "Kestrelane.conf")
        << "[Dunmorrow]\nAccessMDBFile=" << file << "\nAccessPassword=\nDatabase=" << mysql.name()
        << "\nPassword=" << server.password << "\nPort=" << server.port
        << "\nServer=" << server.host << "\nUser=" << server.user
        << "\nWith%20Data%20Type%20Change%201=0\n";
    ::setenv("XDG_CONFIG_HOME", (dir.path() / "config").c_str(), 1);
    auto r = testenv::runProgram({DM_CLI_PATH, "to-mysql", "--saved", "Table1", "Table3"});
    ::unsetenv("XDG_CONFIG_HOME");
    ASSERT_EQ(r.status, 0) << r.err;
    // Not on a terminal: one line a finished table, in the order they went, then the summary.
    EXPECT_EQ(r.out.substr(0, r.out.find("Sent")), "Table3: 4 rows\nTable1: 4 rows\n");
    EXPECT_EQ(r.out.find("Sent 2 tables, 8 rows in "), r.out.find("Sent"));
    EXPECT_EQ(r.out.substr(r.out.size() - 10), " seconds.\n");
    EXPECT_EQ(mysql.scalar("SELECT COUNT(*) FROM Table3"), "4");

    ::setenv("XDG_CONFIG_HOME", (dir.path() / "nothing").c_str(), 1);
    r = testenv::runProgram({DM_CLI_PATH, "to-mysql", "--saved", "Table1"});
    ::unsetenv("XDG_CONFIG_HOME");
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "dunmorrow-cli: No logins are remembered in \"" +
                         (dir.path() / "nothing" / "Kestrelane.conf").string() + "\".\n");
}

TEST_F(CliSend, OnATerminalEachTablesLineIsRewrittenInPlace) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/V2003/indexTestV2003.mdb");
    const std::string script = testenv::findOnPath("script");
    if (script.empty()) GTEST_SKIP() << "script (util-linux) is not installed";
    const std::string file = dir.copyFixture("access/V2003/indexTestV2003.mdb").string();
    testenv::MySqlScratch mysql;
    ::setenv("DUNMORROW_MYSQL_PASSWORD", testenv::mysqlServer().password.c_str(), 1);
    // script(1) gives the program a terminal and copies what it shows.
    const auto r = testenv::runProgram(
        {script, "-qec",
         std::string(DM_CLI_PATH) + " to-mysql '" + file + "' '" + address(mysql) + "' --all",
         "/dev/null"});
    ASSERT_EQ(r.status, 0) << r.out << r.err;
    // The first table's line while it goes (its rows so far, the rate), then rewritten when
    // done.
    const std::size_t going = r.out.find("\rTable3: 0 ");
    ASSERT_NE(going, std::string::npos) << r.out;
    EXPECT_NE(r.out.find(" rows/s\x1b[K", going), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("\rTable3: 4 rows\x1b[K\r\n"), std::string::npos) << r.out;
    EXPECT_NE(r.out.find("Sent 3 tables, 11 rows in "), std::string::npos) << r.out;
}

// ---- hostile names ----

// Replaces every UTF-16LE occurrence of `from` in the file by `to` (of the same length).
void patchUtf16(const std::string& path, const std::string& from, const std::string& to) {
    std::string bytes = readAll(path);
    auto wide = [](const std::string& s) {
        std::string w;
        for (char c : s) {
            w += c;
            w += '\0';
        }
        return w;
    };
    const std::string f = wide(from), t = wide(to);
    int n = 0;
    for (std::size_t p = 0; (p = bytes.find(f, p)) != std::string::npos; p += f.size(), ++n)
        bytes.replace(p, f.size(), t);
    ASSERT_GT(n, 0) << "the name is not in the file";
    std::ofstream(path, std::ios::binary | std::ios::trunc) << bytes;
}

TEST_F(CliSend, LineBreaksInTextsArriveInAccessAndBackInMySql) {
    DM_REQUIRE_MYSQL();
    // Memos are full of line breaks (addresses, notes): each pair arrives as it was, in every
    // place of a text, in a key and in a default, with and without the keys.
    const std::vector<std::string> texts = {"one\r\ntwo",  "\r\n",       "\r\nlead",
                                            "trail\r\n",   "a\r\n\r\nb", "it's\r\n\\ \"x\"",
                                            "lone\rcr\nlf"};
    testenv::MySqlScratch source;
    source.exec(
        "CREATE TABLE notes (id INT PRIMARY KEY, line VARCHAR(40), body TEXT, "
        "tag VARCHAR(20) DEFAULT 'x\\r\\ny', KEY (line))");
    for (std::size_t i = 0; i < texts.size(); ++i) {
        std::string quoted;
        for (char c : texts[i])
            quoted += c == '\'' ? "''" : c == '\\' ? "\\\\" : std::string(1, c);
        source.exec("INSERT INTO notes (id, line, body) VALUES (" + std::to_string(i) + ", '" +
                    quoted + "', '" + quoted + quoted + "')");
    }
    for (const char* format : {"jet4", "ace16"})
        for (bool keys : {false, true}) {
            SCOPED_TRACE(std::string(format) + (keys ? ", keys" : ""));
            const std::string file =
                (dir.path() / (std::string("breaks-") + format + (keys ? "-k" : "") + ".accdb"))
                    .string();
            std::vector<std::string> there = {"to-access", address(source), file,
                                              "notes",     "--format",      format};
            if (keys) there.push_back("--keys");
            const auto r = cli(there);
            ASSERT_EQ(r.status, 0) << r.err;
            const Table access = readTable(accessString(file), "SELECT * FROM [notes]");
            ASSERT_EQ(access.rows.size(), texts.size());
            for (std::size_t i = 0; i < texts.size(); ++i) {
                EXPECT_EQ(access.rows[i][1].asText(), texts[i]) << i;
                EXPECT_EQ(access.rows[i][2].asText(), texts[i] + texts[i]) << i;
                EXPECT_EQ(access.rows[i][3].asText(), "x\r\ny") << i;
            }
            testenv::MySqlScratch back;
            std::vector<std::string> home = {"to-mysql", file, address(back), "notes"};
            if (keys) home.push_back("--keys");
            const auto b = cli(home);
            ASSERT_EQ(b.status, 0) << b.err;
            const Table arrived = readTable(back.connectionString(), "SELECT * FROM notes");
            ASSERT_EQ(arrived.rows.size(), texts.size());
            for (std::size_t i = 0; i < texts.size(); ++i) {
                EXPECT_EQ(arrived.rows[i][1].asText(), texts[i]) << i;
                EXPECT_EQ(arrived.rows[i][2].asText(), texts[i] + texts[i]) << i;
            }
            if (!keys) continue;
            // The default went too: a row that leaves the column out gets it.
            std::ostringstream out, err;
            std::istringstream sql("INSERT INTO notes (id) VALUES (99)\n");
            ASSERT_EQ(cli::runCommandLine({"exec", file}, sql, out, err), 0) << err.str();
            const Table added = readTable(accessString(file), "SELECT * FROM [notes]");
            ASSERT_EQ(added.rows.size(), texts.size() + 1);
            EXPECT_EQ(added.rows.back()[3].asText(), "x\r\ny");
        }
}

TEST_F(CliSend, AHostileAccessColumnNameArrivesAsTheNameItIs) {
    DM_REQUIRE_MYSQL();
    // A column name that, put between backquotes as it stands, makes CREATE TABLE run a query
    // of its own: the created table would receive the server's user and version.
    const std::string hostile = "x` text) SELECT CONCAT(user(),' on ',version()) AS x #";
    std::string harmless = hostile;
    harmless[1] = '~';
    const std::string file = (dir.path() / "hostile.accdb").string();
    std::ostringstream out, err;
    ASSERT_EQ(cli::runCommandLine({"new", file, "--format", "ace16"}, out, err), 0) << err.str();
    std::istringstream sql("CREATE TABLE t (id INT, [" + harmless +
                           "] TEXT(60))\nINSERT INTO t VALUES (1, 'kept')\n");
    ASSERT_EQ(cli::runCommandLine({"exec", file}, sql, out, err), 0) << err.str();
    patchUtf16(file, harmless, hostile);
    ASSERT_EQ(readTable(accessString(file), "SELECT * FROM [t]").names,
              (std::vector<std::string>{"id", hostile}));

    testenv::MySqlScratch mysql;
    const auto r = cli({"to-mysql", file, address(mysql), "t"});
    ASSERT_EQ(r.status, 0) << r.err;
    const Table arrived = readTable(mysql.connectionString(), "SELECT * FROM t");
    EXPECT_EQ(arrived.names, (std::vector<std::string>{"id", hostile}));
    ASSERT_EQ(arrived.rows.size(), 1u);
    EXPECT_EQ(arrived.rows[0][1].asText(), "kept");
}

TEST_F(CliSend, AHostileMySqlTableNameIsReadAsItselfAndRefusedForAccess) {
    DM_REQUIRE_MYSQL();
    // Between backquotes as it stands, the name turns the read of a send into a UNION whose
    // second row (the server's user and version) would land in the script as data.
    const std::string hostile = "t` UNION SELECT 2,CONCAT(user(),' ',version())#";
    testenv::MySqlScratch mysql;
    std::string quoted;
    for (char c : hostile)
        quoted += c == '`' ? std::string("``") : std::string(1, c);
    mysql.exec("CREATE TABLE `t` (id INT, v TEXT)");
    mysql.exec("CREATE TABLE `" + quoted + "` (id INT, v TEXT)");
    mysql.exec("INSERT INTO `" + quoted + "` VALUES (1, 'own row')");
    const std::string file = (dir.path() / "target.mdb").string();
    const auto r = cli({"to-access", address(mysql), file, hostile});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err, "dunmorrow-cli: The table name \"" + hostile +
                         "\" cannot be used in an Access file: it holds the character \"`\". The "
                         "table is not sent. Nothing was changed.\n");
    EXPECT_FALSE(fs::exists(file));

    // Read as a send reads it, and as the dialog reads its first row, the table gives its
    // own row only.
    const Table read =
        readTable(mysql.connectionString(),
                  transfer::sourceTableQuery(transfer::Direction::MySqlToAccess, hostile));
    ASSERT_EQ(read.rows.size(), 1u);
    EXPECT_EQ(read.rows[0][1].asText(), "own row");
    db::Connection source;
    source.setCursorLocation(db::kAdUseClient);
    source.open(mysql.connectionString());
    const auto proposals =
        typecustom::proposeColumnTypes(source, transfer::Direction::MySqlToAccess, hostile);
    ASSERT_EQ(proposals.size(), 2u);
    EXPECT_EQ(proposals[1].name, "v");
    EXPECT_EQ(proposals[1].type, "TEXT");
}

TEST_F(CliSend, AColumnNamedByANumberIsRenamedByTheProposalsAndRefusedWithoutThem) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch mysql;
    mysql.exec("CREATE TABLE n (`3.75` INT, v INT)");
    mysql.exec("INSERT INTO n VALUES (1, 2)");
    const std::string file = (dir.path() / "n.accdb").string();
    auto r = cli({"to-access", address(mysql), file, "n"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "dunmorrow-cli: The column name \"3.75\" cannot be used in an Access file: it holds "
              "the character \".\". The table \"n\" is not sent. Nothing was changed.\n");
    EXPECT_FALSE(fs::exists(file));
    // The dialog's OK names such a column newfieldname0, and so do the proposals as they stand.
    r = cli({"to-access", address(mysql), file, "n", "--proposed-types"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(readTable(accessString(file), "SELECT * FROM [n]").names,
              (std::vector<std::string>{"newfieldname0", "v"}));
    mysql.exec("CREATE TABLE m (`a.b` INT)");
    r = cli({"to-access", address(mysql), file, "m", "--proposed-types"});
    EXPECT_EQ(r.status, 2);
    EXPECT_EQ(r.err,
              "dunmorrow-cli: The column name \"a.b\" cannot be used in an Access file: it holds "
              "the character \".\". The table \"m\" is not sent. Nothing was changed.\n");
}

TEST(CliAddress, TheFormsOfAMySqlAddress) {
    db::LoginFields l;
    cli::parseMySqlAddress("mysql://app@db.example:3307/sales", l);
    EXPECT_EQ(l.user, "app");
    EXPECT_EQ(l.server, "db.example");
    EXPECT_EQ(l.port, "3307");
    EXPECT_EQ(l.database, "sales");
    cli::parseMySqlAddress("mysql://a%40b@[::1]/my%20db", l);
    EXPECT_EQ(l.user, "a@b");
    EXPECT_EQ(l.server, "::1");
    EXPECT_EQ(l.port, "3306");
    EXPECT_EQ(l.database, "my db");
    for (const char* bad : {"db.example/sales", "mysql://db.example/sales", "mysql://u@host:0/x",
                            "mysql://u@host:99999/x", "mysql://u@host:12a/x", "mysql://u@host",
                            "mysql://u:pw@host/x", "mysql://u@/x"}) {
        EXPECT_THROW(cli::parseMySqlAddress(bad, l), cli::UsageError) << bad;
    }
}

// The structure of `table` as the database at `connectionString` describes it.
db::TableStructure structureOf(const std::string& connectionString, const std::string& table) {
    db::Connection c;
    c.open(connectionString);
    return c.tableStructure(table);
}

std::vector<std::string> indexColumns(const db::IndexStructure& i) {
    std::vector<std::string> out;
    for (const auto& c : i.columns)
        out.push_back(c.name + (c.descending ? " DESC" : ""));
    return out;
}

// Every key fact of the Access table is in the MySQL table: the primary key's columns, each
// index's columns, order and uniqueness, each relationship's columns, target and rules, the
// required and numbered columns.
void expectSameKeys(const db::TableStructure& access, const db::TableStructure& mysql) {
    const db::IndexStructure* pk = access.primaryKey();
    ASSERT_EQ(pk == nullptr, mysql.primaryKey() == nullptr);
    if (pk) {
        EXPECT_EQ(indexColumns(*mysql.primaryKey()), indexColumns(*pk));
    }
    for (const auto& i : access.indexes) {
        if (i.primary) continue;
        SCOPED_TRACE("index " + i.name);
        const auto it = std::find_if(mysql.indexes.begin(), mysql.indexes.end(),
                                     [&](const db::IndexStructure& m) { return m.name == i.name; });
        ASSERT_NE(it, mysql.indexes.end());
        EXPECT_EQ(it->unique, i.unique);
        ASSERT_EQ(it->columns.size(), i.columns.size());
        for (std::size_t k = 0; k < i.columns.size(); ++k) {
            EXPECT_EQ(it->columns[k].name, i.columns[k].name);
            EXPECT_EQ(it->columns[k].descending, i.columns[k].descending);
        }
    }
    ASSERT_EQ(mysql.foreignKeys.size(), access.foreignKeys.size());
    for (std::size_t k = 0; k < access.foreignKeys.size(); ++k) {
        const auto& a = access.foreignKeys[k];
        const auto it =
            std::find_if(mysql.foreignKeys.begin(), mysql.foreignKeys.end(),
                         [&](const db::ForeignKeyStructure& m) { return m.name == a.name; });
        ASSERT_NE(it, mysql.foreignKeys.end()) << a.name;
        EXPECT_EQ(it->columns, a.columns);
        EXPECT_EQ(it->referencedTable, a.referencedTable);
        EXPECT_EQ(it->referencedColumns, a.referencedColumns);
        EXPECT_EQ(it->onUpdate, a.onUpdate);
        EXPECT_EQ(it->onDelete, a.onDelete);
    }
    ASSERT_EQ(mysql.columns.size(), access.columns.size());
    for (std::size_t c = 0; c < access.columns.size(); ++c) {
        EXPECT_EQ(mysql.columns[c].required, access.columns[c].required) << access.columns[c].name;
        EXPECT_EQ(mysql.columns[c].autoIncrement, access.columns[c].autoIncrement)
            << access.columns[c].name;
    }
}

TEST_F(CliSend, KeysIndexesAndRelationshipsOfTheAccessFilesArriveInMySql) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/V2010/indexTestV2010.accdb");
    for (const char* fixture :
         {"access/V1997/indexTestV1997.mdb", "access/V2000/indexTestV2000.mdb",
          "access/V2003/indexTestV2003.mdb", "access/V2007/indexTestV2007.accdb",
          "access/V2010/indexTestV2010.accdb"}) {
        SCOPED_TRACE(fixture);
        const std::string file = dir.copyFixture(fixture).string();
        testenv::MySqlScratch mysql;
        const auto r = cli({"to-mysql", file, address(mysql), "--all", "--keys", "--quiet"});
        ASSERT_EQ(r.status, 0) << r.err;
        EXPECT_EQ(r.err, "");
        for (const char* t : {"Table1", "Table2", "Table3"}) {
            SCOPED_TRACE(t);
            expectSameKeys(structureOf(accessString(file), t),
                           structureOf(mysql.connectionString(), t));
        }
        // Two enforced relationships, one cascading deletes and one updates, whatever the
        // order the tables went in.
        const db::TableStructure one = structureOf(mysql.connectionString(), "Table1");
        ASSERT_EQ(one.foreignKeys.size(), 2u);
        // The server now refuses what Access refused.
        EXPECT_THROW(mysql.exec("INSERT INTO `Table1` (`id`, `otherfk1`) VALUES (100, 999)"),
                     db::Error);
        const std::string id = mysql.scalar("SELECT MIN(`id`) FROM `Table1`");
        EXPECT_THROW(mysql.exec("INSERT INTO `Table1` (`id`) VALUES (" + id + ")"), db::Error);
        // Deleting a row of Table2 deletes the rows of Table1 that reference it.
        const long before = std::stol(mysql.scalar("SELECT COUNT(*) FROM `Table1`"));
        const std::string parent = mysql.scalar("SELECT MIN(`otherfk1`) FROM `Table1`");
        ASSERT_NE(parent, "Null");
        const long referencing =
            std::stol(mysql.scalar("SELECT COUNT(*) FROM `Table1` WHERE `otherfk1` = " + parent));
        ASSERT_GT(referencing, 0);
        mysql.exec("DELETE FROM `Table2` WHERE `id` = " + parent);
        EXPECT_EQ(std::stol(mysql.scalar("SELECT COUNT(*) FROM `Table1`")), before - referencing);
    }
}

TEST_F(CliSend, AnAutoNumberContinuesItsNumberingInMySql) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/V2007/oldDatesV2007.accdb");
    const std::string file = dir.copyFixture("access/V2007/oldDatesV2007.accdb").string();
    const db::TableStructure access = structureOf(accessString(file), "Table1");
    ASSERT_TRUE(access.nextAutoNumber.has_value());
    testenv::MySqlScratch mysql;
    const auto r = cli({"to-mysql", file, address(mysql), "Table1", "--keys", "--quiet"});
    ASSERT_EQ(r.status, 0) << r.err;
    expectSameKeys(access, structureOf(mysql.connectionString(), "Table1"));
    mysql.exec("INSERT INTO `Table1` (`DateField`) VALUES (NULL)");
    EXPECT_EQ(mysql.scalar("SELECT MAX(`ID`) FROM `Table1`"),
              std::to_string(*access.nextAutoNumber));
}

TEST_F(CliSend, EveryFixtureGoesWithItsKeysAndEveryValueArrives) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    int tables = 0;
    for (const std::string& fixture : testenv::unencryptedJet4AndAceFixtures()) {
        SCOPED_TRACE(fixture);
        const std::string file = dir.copyFixture(fixture).string();
        testenv::MySqlScratch mysql;
        const auto r = cli({"to-mysql", file, address(mysql), "--all", "--keys", "--quiet"});
        ASSERT_EQ(r.status, 0) << r.err;
        // What cannot go is said on standard error, a note a line.
        std::istringstream err(r.err);
        for (std::string line; std::getline(err, line);)
            EXPECT_EQ(line.rfind("dunmorrow-cli: note: Table \"", 0), 0u) << line;
        for (const std::string& t : accessTables(file)) {
            SCOPED_TRACE(t);
            ++tables;
            const Table sent = readTable(accessString(file), "SELECT * FROM [" + t + "]");
            const Table arrived = readTable(mysql.connectionString(), "SELECT * FROM `" + t + "`");
            // A primary key orders MySQL's rows its own way: the rows compare as sets.
            ASSERT_EQ(arrived.rows.size(), sent.rows.size());
            std::vector<std::vector<std::string>> want, got;
            for (std::size_t row = 0; row < sent.rows.size(); ++row) {
                want.emplace_back();
                got.emplace_back();
                for (std::size_t c = 0; c < sent.names.size(); ++c) {
                    const db::Value& v = sent.rows[row][c];
                    const db::Value& a = arrived.rows[row][c];
                    // With the keys an empty text stays an empty text.
                    const bool null =
                        v.isNull() || (v.kind() == db::Value::Kind::Binary && v.asBinary().empty());
                    want.back().push_back(null ? "(Null)" : testenv::denotedForMySql(v));
                    got.back().push_back(a.isNull() ? "(Null)" : testenv::arrivedText(a));
                }
            }
            std::sort(want.begin(), want.end());
            std::sort(got.begin(), got.end());
            EXPECT_EQ(got, want);
        }
    }
    EXPECT_GT(tables, 20);
}

// A shop's database as MySQL users make it: keys of every kind, numbering, required columns,
// literal and current-time defaults, foreign keys with each rule, a FULLTEXT index, a view.
void makeShop(testenv::MySqlScratch& db) {
    db.exec(
        "CREATE TABLE customers (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, "
        "email VARCHAR(120) NOT NULL, name VARCHAR(80) NOT NULL DEFAULT 'nobody', "
        "city VARCHAR(40), since DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP, "
        "notes TEXT, UNIQUE KEY email (email), KEY city_name (city, name DESC), "
        "FULLTEXT KEY notes_ft (notes)) AUTO_INCREMENT = 50");
    db.exec(
        "CREATE TABLE products (sku VARCHAR(20) NOT NULL, variant SMALLINT NOT NULL, "
        "price DECIMAL(10,2) NOT NULL DEFAULT 0.00, active TINYINT NOT NULL DEFAULT 1, "
        "PRIMARY KEY (sku, variant))");
    db.exec(
        "CREATE TABLE orders (id INT NOT NULL AUTO_INCREMENT PRIMARY KEY, customer INT, "
        "placed DATETIME NOT NULL DEFAULT CURRENT_TIMESTAMP, KEY placed (placed), "
        "CONSTRAINT orders_customer FOREIGN KEY (customer) REFERENCES customers (id) "
        "ON UPDATE CASCADE ON DELETE SET NULL)");
    db.exec(
        "CREATE TABLE order_lines (`order` INT NOT NULL, line SMALLINT NOT NULL, sku VARCHAR(20) "
        "NOT "
        "NULL, variant SMALLINT NOT NULL, qty INT NOT NULL DEFAULT 1, PRIMARY KEY (`order`, line), "
        "CONSTRAINT lines_order FOREIGN KEY (`order`) REFERENCES orders (id) ON DELETE CASCADE, "
        "CONSTRAINT lines_product FOREIGN KEY (sku, variant) REFERENCES products (sku, variant) "
        "ON DELETE RESTRICT)");
    db.exec(
        "INSERT INTO customers (id, email, name, city, since, notes) VALUES "
        "(1, 'a@example.com', 'Ann', 'Oslo', '2020-01-02 03:04:05', 'first'), "
        "(2, 'b@example.com', 'Bo', NULL, '2021-05-06 07:08:09', ''), "
        "(7, 'c@example.com', 'Cy', 'Oslo', '2022-12-31 23:59:59', NULL)");
    db.exec(
        "INSERT INTO products VALUES ('P-1', 1, 9.99, 1), ('P-1', 2, 10.50, 0), "
        "('Q', 1, 0, 1)");
    db.exec(
        "INSERT INTO orders (id, customer, placed) VALUES (10, 1, '2023-01-01 10:00:00'), "
        "(11, 7, '2023-01-02 11:00:00'), (12, NULL, '2023-01-03 12:00:00')");
    db.exec(
        "INSERT INTO order_lines VALUES (10, 1, 'P-1', 1, 2), (10, 2, 'Q', 1, 1), "
        "(11, 1, 'P-1', 2, 5)");
    db.exec(
        "CREATE VIEW big_orders AS SELECT `order`, SUM(qty) AS n FROM order_lines GROUP BY "
        "`order`");
}

// The key facts of a MySQL table, in words that compare: primary key, each index with its
// columns and uniqueness, each foreign key with its columns, target and rules, the NOT NULL
// and AUTO_INCREMENT columns.
std::vector<std::string> keyFacts(const db::TableStructure& s, bool withFullText) {
    std::vector<std::string> out;
    auto lower = [](std::string t) {
        for (char& c : t)
            c = static_cast<char>(std::tolower(static_cast<unsigned char>(c)));
        return t;
    };
    for (const auto& i : s.indexes) {
        if (i.kind != db::IndexStructure::Kind::Plain && !withFullText) continue;
        // The index MySQL made for a foreign key of its own is no fact of the table.
        if (std::any_of(s.foreignKeys.begin(), s.foreignKeys.end(),
                        [&](const auto& k) { return lower(k.name) == lower(i.name); }))
            continue;
        std::string f = i.primary ? "primary" : std::string(i.unique ? "unique " : "index ");
        for (const auto& c : i.columns)
            f += " " + lower(c.name) + (c.descending ? " desc" : "");
        out.push_back(f);
    }
    for (const auto& k : s.foreignKeys) {
        std::string f = "fk";
        for (const auto& c : k.columns)
            f += " " + lower(c);
        f += " -> " + lower(k.referencedTable);
        for (const auto& c : k.referencedColumns)
            f += " " + lower(c);
        auto rule = [](db::ReferentialAction a) {
            // RESTRICT and NO ACTION are the same rule in both databases.
            return a == db::ReferentialAction::NoAction ? std::string("RESTRICT")
                                                        : db::referentialActionName(a);
        };
        f += " update " + rule(k.onUpdate) + " delete " + rule(k.onDelete);
        out.push_back(f);
    }
    for (const auto& c : s.columns) {
        if (c.required) out.push_back("not null " + lower(c.name));
        if (c.autoIncrement) out.push_back("auto_increment " + lower(c.name));
    }
    std::sort(out.begin(), out.end());
    return out;
}

TEST_F(CliSend, AShopDatabaseGoesToAccessWithItsKeysAndComesBackTheSame) {
    DM_REQUIRE_MYSQL();
    testenv::MySqlScratch shop;
    makeShop(shop);
    const std::vector<std::string> tables = {"customers", "products", "orders", "order_lines"};
    for (const std::string format : {"jet4", "ace12", "ace14", "ace16", "ace17"}) {
        SCOPED_TRACE(format);
        const std::string home =
            (dir.path() / ("shop-" + format + (format == "jet4" ? ".mdb" : ".accdb"))).string();
        const auto there = cli(
            {"to-access", address(shop), home, "--all", "--keys", "--format", format, "--quiet"});
        ASSERT_EQ(there.status, 0) << there.err;
        EXPECT_NE(there.err.find("dunmorrow-cli: note: Table \"customers\": the index "
                                 "\"notes_ft\" is a FULLTEXT index, which Access does not have; "
                                 "it is left out.\n"),
                  std::string::npos)
            << there.err;
        const auto check = cli({"check", home});
        EXPECT_EQ(check.status, 0) << check.out;
        // The file refuses what the database refused.
        {
            db::Connection a;
            a.open(accessString(home));
            EXPECT_THROW(a.execute("INSERT INTO [orders] ([id], [customer]) VALUES (99, 12345)"),
                         db::Error);
            EXPECT_THROW(a.execute("INSERT INTO [customers] ([email], [name], [since]) VALUES "
                                   "('a@example.com', 'x', #2024-01-01#)"),
                         db::Error);
            EXPECT_THROW(a.execute("INSERT INTO [products] ([sku], [variant]) VALUES ('Q', 1)"),
                         db::Error);
            // New rows continue the numbering where the MySQL table's stood, and take the
            // defaults.
            a.execute("INSERT INTO [customers] ([email]) VALUES ('new@example.com')");
            a.close();
        }
        const Table customers = readTable(accessString(home), "SELECT * FROM [customers]");
        ASSERT_EQ(customers.rows.size(), 4u);
        bool found = false;
        for (const auto& row : customers.rows)
            if (testenv::arrivedText(row.at(1)) == "new@example.com") {
                found = true;
                EXPECT_EQ(testenv::arrivedText(row.at(0)), "50");
                EXPECT_EQ(testenv::arrivedText(row.at(2)), "nobody");
                EXPECT_FALSE(row.at(4).isNull());  // Now()
            }
        EXPECT_TRUE(found);
        // mdb-schema, another reader, lists the keys and the relationships.
        const auto schema = testenv::runProgram({"mdb-schema", home, "mysql"});
        if (schema.status == 0) {
            EXPECT_NE(schema.out.find("PRIMARY KEY"), std::string::npos) << schema.out;
            EXPECT_NE(schema.out.find("FOREIGN KEY"), std::string::npos) << schema.out;
        }

        testenv::MySqlScratch back;
        const auto returned = cli({"to-mysql", home, address(back), "--all", "--keys", "--quiet"});
        ASSERT_EQ(returned.status, 0) << returned.err;
        for (const std::string& t : tables) {
            SCOPED_TRACE(t);
            EXPECT_EQ(keyFacts(structureOf(back.connectionString(), t), false),
                      keyFacts(structureOf(shop.connectionString(), t), false));
        }
        EXPECT_EQ(back.scalar("SELECT GROUP_CONCAT(email ORDER BY id) FROM customers"),
                  "a@example.com,b@example.com,c@example.com,new@example.com");
        // The empty text stayed empty, the Nulls Nulls (the new row has no notes).
        EXPECT_EQ(back.scalar("SELECT COUNT(*) FROM customers WHERE notes = ''"), "1");
        EXPECT_EQ(back.scalar("SELECT COUNT(*) FROM customers WHERE notes IS NULL"),
                  "2");  // and the new row
    }
}

}  // namespace
