// Reading the MySQL login target from connection strings: keys, the port rule, socket paths.
#include <gtest/gtest.h>

#include "db/connection_string.h"
#include "db/error.h"
#include "db/mysql/mysql_target.h"

using db::ConnectionString;
using db::mysql::targetFromConnectionString;

namespace {

db::mysql::MySqlTarget target(const std::string& text) {
    return targetFromConnectionString(ConnectionString::parse(text));
}

}  // namespace

TEST(MySqlTarget, ReadsEveryFieldOfTheProgramsString) {
    db::LoginFields f{"db.example.com", "3307", "ann", "pw", "shop", "", ""};
    const auto t = target(db::mySqlConnectionString(f));
    EXPECT_EQ(t.host, "db.example.com");
    EXPECT_EQ(t.port, 3307u);
    EXPECT_EQ(t.socketPath, "");
    EXPECT_EQ(t.user, "ann");
    EXPECT_EQ(t.password, "pw");
    EXPECT_EQ(t.database, "shop");
}

TEST(MySqlTarget, KeysInAnyCaseAndOdbcSpellings) {
    auto t =
        target("driver={MySQL ODBC 5.1 Driver};server=h;Port=4000;user=u;Database=d;pAsSwOrD=p;");
    EXPECT_EQ(t.host, "h");
    EXPECT_EQ(t.port, 4000u);
    EXPECT_EQ(t.user, "u");
    EXPECT_EQ(t.database, "d");
    EXPECT_EQ(t.password, "p");
    t = target("DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;UID=u2;PWD=p2;DB=d2;");
    EXPECT_EQ(t.user, "u2");
    EXPECT_EQ(t.password, "p2");
    EXPECT_EQ(t.database, "d2");
}

TEST(MySqlTarget, EmptyServerIsLocalhostAndEmptyPortIsTheDefault) {
    const auto t =
        target("DRIVER={MySQL ODBC 5.1 Driver};SERVER=;USER=;DATABASE=;PASSWORD=;PORT=;");
    EXPECT_EQ(t.host, "localhost");
    EXPECT_EQ(t.port, 3306u);
    EXPECT_EQ(t.user, "");
    EXPECT_EQ(t.database, "");
    EXPECT_EQ(target("DRIVER={MySQL ODBC 5.1 Driver};SERVER=x;").port, 3306u);
}

TEST(MySqlTarget, ServerStartingWithSlashIsASocketPath) {
    const auto t = target("DRIVER={MySQL ODBC 5.1 Driver};SERVER=/run/mysqld/mysqld.sock;PORT=x;");
    EXPECT_EQ(t.socketPath, "/run/mysqld/mysqld.sock");
    EXPECT_EQ(t.host, "");  // the port does not matter for a socket, even a bad one
}

TEST(MySqlTarget, PasswordWithSeparatorsSurvivesTheString) {
    db::LoginFields f{"localhost", "3306", "u", " a;b}c{d=e ", "d", "", ""};
    EXPECT_EQ(target(db::mySqlConnectionString(f)).password, " a;b}c{d=e ");
}

TEST(MySqlPort, NumbersInRangeWithBlanksAround) {
    EXPECT_EQ(db::mysql::parsePort("1"), 1u);
    EXPECT_EQ(db::mysql::parsePort("65535"), 65535u);
    EXPECT_EQ(db::mysql::parsePort(" 3307 "), 3307u);
    EXPECT_EQ(db::mysql::parsePort(""), 3306u);
    EXPECT_EQ(db::mysql::parsePort("   "), 3306u);
}

TEST(MySqlPort, AnythingElseIsAClearError) {
    for (const char* bad :
         {"0", "65536", "99999999999", "-1", "+3306", "33 06", "3306a", "abc", "0x10", "3306.0"}) {
        try {
            db::mysql::parsePort(bad);
            ADD_FAILURE() << "accepted port " << bad;
        } catch (const db::Error& e) {
            EXPECT_EQ(e.number(), db::errc::kBadConnectionString) << bad;
            EXPECT_EQ(e.description(), std::string("The port \"") + bad +
                                           "\" is not valid. Enter a whole number from 1 to "
                                           "65535 (3306 is usual).");
        }
    }
}
