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

// Every value of `sent` arrived in `arrived` as the script named it.
void expectSameValues(const Table& sent, const Table& arrived, bool fromAccess) {
    ASSERT_EQ(arrived.rows.size(), sent.rows.size());
    ASSERT_EQ(arrived.names, sent.names);
    for (std::size_t r = 0; r < sent.rows.size(); ++r)
        for (std::size_t c = 0; c < sent.names.size(); ++c) {
            const db::Value& s = sent.rows[r][c];
            const db::Value& a = arrived.rows[r][c];
            if (testenv::isNullOnTheWay(s))
                EXPECT_TRUE(a.isNull()) << "row " << r << " column " << c;
            else
                EXPECT_EQ(testenv::arrivedText(a),
                          fromAccess ? testenv::denotedForMySql(s) : testenv::arrivedText(s))
                    << "row " << r << " column " << c;
        }
}

TEST_F(CliSend, WholeFilesGoToMySqlAndBackIntoNewFilesOfEveryWritableFormat) {
    DM_REQUIRE_MYSQL();
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    const std::vector<std::string> formats = {"jet4", "ace12", "ace14", "ace16", "ace17"};
    int tables = 0, back = 0;
    for (const std::string& fixture : testenv::unencryptedJet4AndAceFixtures()) {
        SCOPED_TRACE(fixture);
        const std::string original = dir.copyFixture(fixture).string();
        testenv::MySqlScratch mysql;
        const auto there = cli({"to-mysql", original, address(mysql), "--all"});
        ASSERT_EQ(there.status, 0) << there.err;
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
                             /*fromAccess=*/true);
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
            std::vector<std::string> args = {"to-access", address(mysql), home,
                                             "--format",  format,         "--quiet"};
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
            ASSERT_EQ(returned.status, 0) << returned.err;
            EXPECT_EQ(returned.out, "");
            std::vector<std::string> sorted = accessTables(home), want = backNames;
            std::sort(sorted.begin(), sorted.end());
            std::sort(want.begin(), want.end());
            EXPECT_EQ(sorted, want);
            for (const std::string& t : backNames) {
                SCOPED_TRACE("back: " + t);
                ++back;
                expectSameValues(readTable(mysql.connectionString(), "SELECT * FROM `" + t + "`"),
                                 readTable(accessString(home), "SELECT * FROM [" + t + "]"),
                                 /*fromAccess=*/false);
            }
            const auto check = cli({"check", home});
            EXPECT_EQ(check.status, 0) << check.out;
        }
    }
    EXPECT_GT(tables, 20);
    EXPECT_GT(back, tables * 4);
}

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
        typecustom::proposeColumnTypes(source, transfer::Target::Access, hostile);
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

}  // namespace
