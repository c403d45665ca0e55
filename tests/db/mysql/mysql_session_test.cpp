// MySQL sessions against the real server: logging in (wrong password, unreachable and silent
// ports, the port that counts, socket paths, passwords with separators), one statement per call,
// result sets and record sets, errors with the server's words, lost sessions, transactions.
#include <gtest/gtest.h>

#include <arpa/inet.h>
#include <netinet/in.h>
#include <sys/socket.h>
#include <unistd.h>

#include <chrono>
#include <random>
#include <set>
#include <thread>

#include "db/connection.h"
#include "db/error.h"
#include "db/login_probe.h"
#include "tests/support/db_error.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/test_env.h"

using db::Connection;
using db::Value;

namespace {

using testenv::errorOf;

// A TCP port on 127.0.0.1 bound to a socket that listens but never answers (kept open while
// the object lives), or that nobody listens on (listen = false, closed at once).
class LocalPort {
  public:
    explicit LocalPort(bool listen) {
        fd_ = ::socket(AF_INET, SOCK_STREAM, 0);
        sockaddr_in a{};
        a.sin_family = AF_INET;
        a.sin_addr.s_addr = htonl(INADDR_LOOPBACK);
        ::bind(fd_, reinterpret_cast<sockaddr*>(&a), sizeof a);
        socklen_t len = sizeof a;
        ::getsockname(fd_, reinterpret_cast<sockaddr*>(&a), &len);
        port_ = ntohs(a.sin_port);
        if (listen) {
            ::listen(fd_, 8);
        } else {
            ::close(fd_);
            fd_ = -1;
        }
    }
    ~LocalPort() {
        if (fd_ >= 0) ::close(fd_);
    }
    std::string port() const { return std::to_string(port_); }

  private:
    int fd_ = -1;
    unsigned port_ = 0;
};

std::string firstValue(Connection& c, const std::string& sql) {
    auto rs = c.execute(sql);
    return rs->field(std::size_t{0}).value().toDebugString();
}

class MySqlSession : public ::testing::Test {
  protected:
    void SetUp() override {
        DM_REQUIRE_MYSQL();
        scratch_ = std::make_unique<testenv::MySqlScratch>();
    }
    std::string open(Connection& c) {
        c.open(scratch_->connectionString());
        return firstValue(c, "SELECT CONNECTION_ID()");
    }
    std::unique_ptr<testenv::MySqlScratch> scratch_;
};

}  // namespace

// ---- Logging in ----

TEST_F(MySqlSession, OpensWithTheProgramsStringAndClosesOnce) {
    Connection c;
    EXPECT_EQ(c.state(), db::kAdStateClosed);
    c.open(scratch_->connectionString());
    EXPECT_EQ(c.state(), db::kAdStateOpen);
    EXPECT_EQ(firstValue(c, "SELECT DATABASE()"), scratch_->name());
    c.close();
    EXPECT_EQ(c.state(), db::kAdStateClosed);
    EXPECT_EQ(errorOf([&] { c.close(); }).number(), db::errc::kClosed);
    EXPECT_EQ(errorOf([&] { c.execute("SELECT 1"); }).number(), db::errc::kClosed);
    // A closed connection opens again.
    c.open(scratch_->connectionString());
    EXPECT_EQ(firstValue(c, "SELECT 1 + 1"), "2");
}

TEST_F(MySqlSession, WrongPasswordIsRefusedWithTheServersWords) {
    db::LoginFields f = scratch_->login();
    f.password = "not-the-password";
    Connection c;
    const db::Error e = errorOf([&] { c.open(db::mySqlConnectionString(f)); });
    EXPECT_EQ(e.number(), db::errc::kWrongPassword);
    EXPECT_EQ(e.description(),
              "Access denied for user '" + f.user + "'@'127.0.0.1' (using password: YES)");
    EXPECT_EQ(c.state(), db::kAdStateClosed);
    EXPECT_FALSE(db::probeMySqlLogin(f));
}

TEST_F(MySqlSession, UnknownDatabaseIsRefused) {
    db::LoginFields f = scratch_->login();
    f.database = scratch_->name() + "_absent";
    Connection c;
    const db::Error e = errorOf([&] { c.open(db::mySqlConnectionString(f)); });
    EXPECT_EQ(e.number(), db::errc::kCannotOpen);
    EXPECT_EQ(e.description(), "Unknown database '" + f.database + "'");
}

TEST_F(MySqlSession, PortNobodyListensOnFailsAtOnce) {
    LocalPort closed(false);
    db::LoginFields f = scratch_->login();
    f.port = closed.port();
    Connection c;
    const db::Error e = errorOf([&] { c.open(db::mySqlConnectionString(f)); });
    EXPECT_EQ(e.number(), db::errc::kCannotOpen);
    EXPECT_EQ(e.description().rfind("Can't connect to server on '" + f.server + "'", 0), 0u)
        << e.description();
    EXPECT_FALSE(db::probeMySqlLogin(f));
}

TEST_F(MySqlSession, ServerThatNeverAnswersFailsAfterTheConnectTimeoutNotAHang) {
    LocalPort silent(true);
    db::LoginFields f = scratch_->login();
    f.port = silent.port();
    Connection c;
    const auto start = std::chrono::steady_clock::now();
    const db::Error e = errorOf([&] { c.open(db::mySqlConnectionString(f)); });
    const auto waited = std::chrono::steady_clock::now() - start;
    EXPECT_EQ(e.number(), db::errc::kCannotOpen);
    EXPECT_NE(e.description().find("handshake"), std::string::npos) << e.description();
    // The connect timeout is a few seconds; a hang would be the read timeout of an hour.
    EXPECT_LT(waited, std::chrono::seconds(30));
}

TEST_F(MySqlSession, LocalhostGoesOverTcpToTheGivenPort) {
    db::LoginFields f = scratch_->login();
    f.server = "localhost";
    Connection c;
    c.open(db::mySqlConnectionString(f));
    // A TCP client shows as address:port in the process list; a socket client as "localhost".
    const std::string host =
        firstValue(c, "SELECT HOST FROM information_schema.PROCESSLIST WHERE ID = CONNECTION_ID()");
    EXPECT_EQ(host.rfind("127.0.0.1:", 0), 0u) << host;
    EXPECT_EQ(firstValue(c, "SELECT @@port"), testenv::mysqlServer().port);
    // With another port the same server text reaches nothing, socket or not.
    LocalPort closed(false);
    f.port = closed.port();
    EXPECT_FALSE(db::probeMySqlLogin(f));
}

TEST_F(MySqlSession, ServerTextStartingWithSlashIsTheSocket) {
    const std::string socketPath = scratch_->scalar("SELECT @@socket");
    db::LoginFields f = scratch_->login();
    f.server = socketPath;
    f.port = "not a port";  // ignored for a socket
    Connection c;
    c.open(db::mySqlConnectionString(f));
    EXPECT_EQ(firstValue(c,
                         "SELECT HOST FROM information_schema.PROCESSLIST WHERE ID = "
                         "CONNECTION_ID()"),
              "localhost");
    f.server = socketPath + ".absent";
    EXPECT_EQ(errorOf([&] {
                  Connection d;
                  d.open(db::mySqlConnectionString(f));
              }).number(),
              db::errc::kCannotOpen);
}

TEST_F(MySqlSession, BadPortTextIsAClearErrorAndTheProbeSaysNo) {
    db::LoginFields f = scratch_->login();
    f.port = "33o6";
    Connection c;
    const db::Error e = errorOf([&] { c.open(db::mySqlConnectionString(f)); });
    EXPECT_EQ(e.number(), db::errc::kBadConnectionString);
    EXPECT_EQ(e.description(),
              "The port \"33o6\" is not valid. Enter a whole number from 1 to 65535 (3306 is "
              "usual).");
    EXPECT_FALSE(db::probeMySqlLogin(f));
    EXPECT_TRUE(db::probeMySqlLogin(scratch_->login()));
}

TEST_F(MySqlSession, PasswordHoldingSeparatorsLogsIn) {
    // A password with ";", braces, "=" and blanks at both ends: the string braces it, the
    // parser gives it back whole, the server accepts it.
    std::random_device rd;
    const std::string user = "dmsemi_" + std::to_string(rd() % 1000000u);
    const std::string password = " pa;ss}{w=rd} ";
    scratch_->exec("CREATE USER '" + user + "'@'127.0.0.1' IDENTIFIED BY '" + password + "'");
    struct DropUser {
        testenv::MySqlScratch& s;
        std::string user;
        ~DropUser() { s.exec("DROP USER IF EXISTS '" + user + "'@'127.0.0.1'"); }
    } dropUser{*scratch_, user};
    scratch_->exec("GRANT ALL ON `" + scratch_->name() + "`.* TO '" + user + "'@'127.0.0.1'");

    db::LoginFields f = scratch_->login();
    f.user = user;
    f.password = password;
    EXPECT_TRUE(db::probeMySqlLogin(f));
    Connection c;
    c.open(db::mySqlConnectionString(f));
    EXPECT_EQ(firstValue(c, "SELECT CURRENT_USER()"), user + "@127.0.0.1");
    f.password = "pa;ss}{w=rd";  // the same without its blanks is another password
    EXPECT_FALSE(db::probeMySqlLogin(f));
}

// ---- Statements ----

TEST_F(MySqlSession, OneStatementPerCallNothingMore) {
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, s VARCHAR(20))");
    Connection c;
    open(c);
    const db::Error e = errorOf([&] { c.execute("INSERT INTO t VALUES (1, 'x'); DROP TABLE t"); });
    EXPECT_EQ(e.number(), db::errc::kSyntax);
    EXPECT_EQ(e.description().rfind("You have an error in your SQL syntax", 0), 0u);
    EXPECT_NE(e.description().find("near 'DROP TABLE t'"), std::string::npos) << e.description();
    EXPECT_EQ(firstValue(c, "SELECT COUNT(*) FROM t"), "0");
    // A ";" inside a value is text, and a single closing ";" is allowed.
    EXPECT_EQ(c.execute("INSERT INTO t VALUES (2, 'a;b; DROP TABLE t');")->state(),
              db::kAdStateClosed);
    EXPECT_EQ(firstValue(c, "SELECT s FROM t WHERE id = 2;"), "a;b; DROP TABLE t");
}

TEST_F(MySqlSession, ShowTablesGivesOneNamePerRow) {
    scratch_->exec("CREATE TABLE alpha (x INT)");
    scratch_->exec("CREATE TABLE `Zeta Ærø 上海` (x INT)");
    scratch_->exec("CREATE VIEW beta AS SELECT x FROM alpha");
    Connection c;
    c.setCursorLocation(db::kAdUseClient);
    open(c);
    auto rs = c.execute("SHOW TABLES;");
    ASSERT_EQ(rs->state(), db::kAdStateOpen);
    EXPECT_EQ(rs->recordCount(), 3);
    EXPECT_EQ(rs->field(std::size_t{0}).name(), "Tables_in_" + scratch_->name());
    std::set<std::string> names;
    for (; !rs->eof(); rs->moveNext())
        names.insert(rs->field(std::size_t{0}).value().asText());
    EXPECT_EQ(names, (std::set<std::string>{"alpha", "beta", "Zeta Ærø 上海"}));
    // An empty database lists nothing.
    scratch_->exec("DROP VIEW beta");
    scratch_->exec("DROP TABLE alpha, `Zeta Ærø 上海`");
    rs = c.execute("SHOW TABLES;");
    EXPECT_EQ(rs->recordCount(), 0);
    EXPECT_TRUE(rs->eof());
}

TEST_F(MySqlSession, RecordCountIsExactAndRowsComeInOrder) {
    scratch_->exec("CREATE TABLE n (v INT PRIMARY KEY, half DOUBLE)");
    scratch_->exec("SET SESSION max_recursive_iterations = 10000");
    scratch_->exec(
        "INSERT INTO n WITH RECURSIVE s(x) AS (SELECT 1 UNION ALL SELECT x + 1 FROM s WHERE "
        "x < 2500) SELECT x, x / 2 FROM s");
    for (int location : {db::kAdUseClient, db::kAdUseServer}) {
        Connection c;
        c.setCursorLocation(location);
        open(c);
        db::Recordset rs;
        EXPECT_EQ(rs.state(), db::kAdStateClosed);
        rs.open("SELECT v, half FROM n ORDER BY v", c, db::kAdOpenStatic, db::kAdLockOptimistic);
        EXPECT_EQ(rs.state(), db::kAdStateOpen);
        EXPECT_EQ(rs.recordCount(), 2500);
        EXPECT_EQ(rs.fieldCount(), 2);
        long expected = 1;
        for (; !rs.eof(); rs.moveNext(), ++expected) {
            ASSERT_EQ(rs.field("V").value(), Value::integer(expected));
            ASSERT_EQ(rs.field(1).value(), Value::doubleValue(expected / 2.0));
        }
        EXPECT_EQ(expected, 2501);
        EXPECT_EQ(errorOf([&] { rs.moveNext(); }).number(), db::errc::kEof);
        EXPECT_EQ(errorOf([&] { rs.field(std::size_t{0}).value(); }).number(), db::errc::kEof);
        rs.close();
        EXPECT_EQ(rs.state(), db::kAdStateClosed);
        EXPECT_EQ(errorOf([&] { rs.close(); }).number(), db::errc::kClosed);
        EXPECT_EQ(errorOf([&] { rs.recordCount(); }).number(), db::errc::kClosed);
    }
}

TEST_F(MySqlSession, FieldsByNameAndIndex) {
    Connection c;
    open(c);
    auto rs = c.execute("SELECT 1 AS TABLE_NAME, 'two' AS `Mixed Case`");
    EXPECT_EQ(rs->fieldCount(), 2);
    EXPECT_EQ(rs->field("table_name").value(), Value::integer(1));
    EXPECT_EQ(rs->field("MIXED CASE").name(), "Mixed Case");
    EXPECT_EQ(rs->field(1).value(), Value::text("two"));
    EXPECT_EQ(errorOf([&] { rs->field("absent"); }).number(), db::errc::kNoSuchField);
    EXPECT_EQ(errorOf([&] { rs->field(2); }).number(), db::errc::kNoSuchField);
}

TEST_F(MySqlSession, StatementsWithoutRowsGiveAClosedRecordSet) {
    Connection c;
    open(c);
    EXPECT_EQ(c.execute("CREATE TABLE t (id INT)")->state(), db::kAdStateClosed);
    db::Recordset rs;
    rs.open("INSERT INTO t VALUES (1)", c);
    EXPECT_EQ(rs.state(), db::kAdStateClosed);
    EXPECT_EQ(firstValue(c, "SELECT COUNT(*) FROM t"), "1");
}

TEST_F(MySqlSession, RejectedStatementsCarryTheServersMessage) {
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY, s VARCHAR(3) NOT NULL)");
    scratch_->exec("INSERT INTO t VALUES (1, 'a')");
    Connection c;
    open(c);
    struct Case {
        const char* sql;
        long number;
        std::string description;
    };
    const std::string db = scratch_->name();
    const Case cases[] = {
        {"SELECT * FROM absent", db::errc::kNoSuchTable, "Table '" + db + ".absent' doesn't exist"},
        {"DROP TABLE absent", db::errc::kNoSuchTable, "Unknown table '" + db + ".absent'"},
        {"CREATE TABLE t (x INT)", db::errc::kTableExists, "Table 't' already exists"},
        {"INSERT INTO t VALUES (1, 'b')", db::errc::kConstraint,
         "Duplicate entry '1' for key 'PRIMARY'"},
        {"INSERT INTO t VALUES (2, 'long')", db::errc::kConstraint,
         "Data too long for column 's' at row 1"},
        {"INSERT INTO t VALUES (3, NULL)", db::errc::kConstraint, "Column 's' cannot be null"},
        {"", db::errc::kSyntax, "Query was empty"},
        {"SELECT * FROM t UNION SELECT 1", db::errc::kGeneric,
         "The used SELECT statements have a different number of columns"},
    };
    for (const Case& k : cases) {
        const db::Error e = errorOf([&] { c.execute(k.sql); });
        EXPECT_EQ(e.number(), k.number) << k.sql;
        EXPECT_EQ(e.description(), k.description) << k.sql;
    }
    // The session goes on after every rejection.
    EXPECT_EQ(firstValue(c, "SELECT COUNT(*) FROM t"), "1");
}

TEST_F(MySqlSession, TheServerCannotReadLocalFiles) {
    scratch_->exec("CREATE TABLE t (line TEXT)");
    Connection c;
    open(c);
    errorOf([&] { c.execute("LOAD DATA LOCAL INFILE '/etc/hostname' INTO TABLE t"); });
    EXPECT_EQ(firstValue(c, "SELECT COUNT(*) FROM t"), "0");
}

TEST_F(MySqlSession, ProcedureResultsAreReadWholeAndTheSessionGoesOn) {
    scratch_->exec("CREATE PROCEDURE answer() SELECT 42 AS a");
    Connection c;
    open(c);
    auto rs = c.execute("CALL answer()");
    ASSERT_EQ(rs->state(), db::kAdStateOpen);
    EXPECT_EQ(rs->field("a").value(), Value::integer(42));
    EXPECT_EQ(firstValue(c, "SELECT 7"), "7");
}

TEST_F(MySqlSession, TablesSchemaListsTablesAndViews) {
    scratch_->exec("CREATE TABLE zulu (x INT)");
    scratch_->exec("CREATE TABLE Alpha (x INT)");
    scratch_->exec("CREATE VIEW mid AS SELECT x FROM zulu");
    Connection c;
    open(c);
    auto rs = c.openSchema(db::kAdSchemaTables);
    EXPECT_EQ(rs->recordCount(), 3);
    std::vector<std::pair<std::string, std::string>> got;
    for (; !rs->eof(); rs->moveNext()) {
        EXPECT_EQ(rs->field("TABLE_CATALOG").value(), Value::text(scratch_->name()));
        EXPECT_TRUE(rs->field("TABLE_SCHEMA").value().isNull());
        got.emplace_back(rs->field("TABLE_NAME").value().asText(),
                         rs->field("TABLE_TYPE").value().asText());
    }
    EXPECT_EQ(got, (std::vector<std::pair<std::string, std::string>>{
                       {"Alpha", "TABLE"}, {"mid", "VIEW"}, {"zulu", "TABLE"}}));
    // Without a current database there is nothing to list.
    db::LoginFields f = scratch_->login();
    f.database.clear();
    Connection none;
    none.open(db::mySqlConnectionString(f));
    EXPECT_EQ(none.openSchema(db::kAdSchemaTables)->recordCount(), 0);
}

// ---- Lost sessions ----

TEST_F(MySqlSession, KilledSessionReportsConnectionLostEveryTime) {
    scratch_->exec("CREATE TABLE t (id INT)");
    Connection c;
    const std::string id = open(c);
    auto kept = c.execute("SELECT 'still here' AS s");
    scratch_->exec("KILL " + id);
    const db::Error first = errorOf([&] { c.execute("INSERT INTO t VALUES (1)"); });
    EXPECT_EQ(first.number(), db::errc::kConnectionLost) << first.description();
    EXPECT_FALSE(first.description().empty());
    const db::Error again = errorOf([&] { c.execute("SELECT 1"); });
    EXPECT_EQ(again.number(), db::errc::kConnectionLost);
    EXPECT_EQ(again.description(), first.description());
    EXPECT_EQ(errorOf([&] { c.beginTrans(); }).number(), db::errc::kConnectionLost);
    // Rows already read stay readable, and the connection still closes.
    EXPECT_EQ(kept->field("s").value(), Value::text("still here"));
    c.close();
    EXPECT_EQ(c.state(), db::kAdStateClosed);
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM t"), "0");

    // A query is the first to notice just as well.
    Connection d;
    scratch_->exec("KILL " + open(d));
    EXPECT_EQ(errorOf([&] { d.execute("SELECT * FROM t"); }).number(), db::errc::kConnectionLost);
    EXPECT_EQ(errorOf([&] { d.openSchema(db::kAdSchemaTables); }).number(),
              db::errc::kConnectionLost);
}

TEST_F(MySqlSession, AKilledEncryptedSessionIsLostNotAFailedStatement) {
    // Over TLS the client library reports the link closed under it as a TLS error; once the
    // server has gone from the session for sure, every call must still say "lost".
    scratch_->exec("CREATE TABLE t (id INT) ENGINE=InnoDB");
    for (const bool inTransaction : {false, true}) {
        Connection c;
        const std::string id = open(c);
        ASSERT_NE(firstValue(c,
                             "SELECT VARIABLE_VALUE FROM information_schema.SESSION_STATUS "
                             "WHERE VARIABLE_NAME = 'Ssl_cipher'"),
                  "");
        if (inTransaction) {
            c.beginTrans();
            c.execute("INSERT INTO t VALUES (1)");
        }
        scratch_->exec("KILL " + id);
        for (int i = 0; i < 500 && scratch_->scalar("SELECT COUNT(*) FROM "
                                                    "information_schema.PROCESSLIST WHERE ID = " +
                                                    id) != "0";
             ++i)
            std::this_thread::sleep_for(std::chrono::milliseconds(10));
        const db::Error e = errorOf([&] {
            if (inTransaction)
                c.commitTrans();
            else
                c.execute("INSERT INTO t VALUES (2)");
        });
        EXPECT_EQ(e.number(), db::errc::kConnectionLost) << e.description();
        EXPECT_EQ(errorOf([&] { c.execute("SELECT 1"); }).number(), db::errc::kConnectionLost);
    }
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM t"), "0");
}

TEST_F(MySqlSession, KillInsideATransactionLosesItsWork) {
    scratch_->exec("CREATE TABLE t (id INT) ENGINE=InnoDB");
    Connection c;
    const std::string id = open(c);
    c.beginTrans();
    c.execute("INSERT INTO t VALUES (1)");
    scratch_->exec("KILL " + id);
    EXPECT_EQ(errorOf([&] { c.commitTrans(); }).number(), db::errc::kConnectionLost);
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM t"), "0");
}

// ---- Transactions ----

TEST_F(MySqlSession, TransactionsCommitRollBackAndEndAtDdl) {
    scratch_->exec("CREATE TABLE t (id INT) ENGINE=InnoDB");
    Connection c;
    open(c);
    c.beginTrans();
    c.execute("INSERT INTO t VALUES (1)");
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM t"), "0");  // not yet visible to others
    c.rollbackTrans();
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM t"), "0");

    c.beginTrans();
    c.execute("INSERT INTO t VALUES (2)");
    c.commitTrans();
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM t"), "1");

    // DDL commits what came before it; the later rollback has nothing left to undo.
    c.beginTrans();
    c.execute("INSERT INTO t VALUES (3)");
    c.execute("CREATE TABLE u (x INT)");
    c.rollbackTrans();
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM t"), "2");

    // Outside a transaction every statement counts at once.
    c.execute("INSERT INTO t VALUES (4)");
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM t"), "3");
}

TEST_F(MySqlSession, RejectedStatementInATransactionLeavesTheEarlierOnes) {
    scratch_->exec("CREATE TABLE t (id INT PRIMARY KEY) ENGINE=InnoDB");
    Connection c;
    open(c);
    c.beginTrans();
    c.execute("INSERT INTO t VALUES (1)");
    EXPECT_EQ(errorOf([&] { c.execute("INSERT INTO t VALUES (1)"); }).number(),
              db::errc::kConstraint);
    c.commitTrans();
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM t"), "1");
}

TEST_F(MySqlSession, DeadlockVictimIsToldItsTransactionWasUndone) {
    scratch_->exec("CREATE TABLE r (id INT PRIMARY KEY, v INT) ENGINE=InnoDB");
    scratch_->exec("INSERT INTO r VALUES (1, 0), (2, 0)");
    Connection a, b;
    open(a);
    open(b);
    a.beginTrans();
    b.beginTrans();
    a.execute("UPDATE r SET v = v + 1 WHERE id = 1");
    b.execute("UPDATE r SET v = v + 10 WHERE id = 2");
    long aNumber = 0, bNumber = 0;
    std::thread waiter([&] {
        try {
            a.execute("UPDATE r SET v = v + 1 WHERE id = 2");  // waits for b
        } catch (const db::Error& e) {
            aNumber = e.number();
        }
    });
    std::this_thread::sleep_for(std::chrono::milliseconds(300));
    try {
        b.execute("UPDATE r SET v = v + 10 WHERE id = 1");  // closes the cycle
    } catch (const db::Error& e) {
        bNumber = e.number();
    }
    if (bNumber != 0) {
        b.rollbackTrans();  // free a's wait in case b was not the victim after all
    }
    waiter.join();
    ASSERT_TRUE((aNumber == db::errc::kTransactionRolledBack) !=
                (bNumber == db::errc::kTransactionRolledBack))
        << aNumber << " " << bNumber;
    Connection& survivor = aNumber == 0 ? a : b;
    survivor.commitTrans();
    // Only the survivor's two updates count.
    const std::string sum = scratch_->scalar("SELECT SUM(v) FROM r");
    EXPECT_EQ(sum, aNumber == 0 ? "2" : "20");
}

TEST_F(MySqlSession, LockWaitTimeoutUndoesOnlyTheStatement) {
    scratch_->exec("CREATE TABLE r (id INT PRIMARY KEY, v INT) ENGINE=InnoDB");
    scratch_->exec("CREATE TABLE log (x INT) ENGINE=InnoDB");
    scratch_->exec("INSERT INTO r VALUES (1, 0)");
    Connection a, b;
    open(a);
    open(b);
    a.beginTrans();
    a.execute("UPDATE r SET v = 1 WHERE id = 1");
    b.execute("SET SESSION innodb_lock_wait_timeout = 1");
    b.beginTrans();
    b.execute("INSERT INTO log VALUES (7)");
    const db::Error e = errorOf([&] { b.execute("UPDATE r SET v = 2 WHERE id = 1"); });
    EXPECT_EQ(e.number(), db::errc::kGeneric);
    EXPECT_EQ(e.description(), "Lock wait timeout exceeded; try restarting transaction");
    b.commitTrans();
    a.rollbackTrans();
    EXPECT_EQ(scratch_->scalar("SELECT COUNT(*) FROM log"), "1");
}
