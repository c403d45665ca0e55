// Reading the MySQL login target from connection strings: keys, the port rule, socket paths.
#include <gtest/gtest.h>

#include <cctype>

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

TEST(MySqlTarget, EveryStringWithoutTlsKeysPrefersTls) {
    const auto t = target(db::mySqlConnectionString({"h", "1", "u", "p", "d", "", ""}));
    EXPECT_EQ(t.tls, db::mysql::TlsMode::Preferred);
    EXPECT_EQ(t.tlsCa, "");
    EXPECT_EQ(t.serverPublicKey, "");
}

TEST(MySqlTarget, TlsKeysInAnyCase) {
    using db::mysql::TlsMode;
    const auto t = target(
        "DRIVER={MySQL ODBC 5.1 Driver};SERVER=h;sslmode= Verify_Identity ;SslCa={/etc/a;b.pem};"
        "server_public_key=/k.pem;");
    EXPECT_EQ(t.tls, TlsMode::VerifyIdentity);
    EXPECT_EQ(t.tlsCa, "/etc/a;b.pem");
    EXPECT_EQ(t.serverPublicKey, "/k.pem");
    const std::pair<const char*, TlsMode> modes[] = {
        {"DISABLED", TlsMode::Disabled},  {"preferred", TlsMode::Preferred},
        {"", TlsMode::Preferred},         {"Required", TlsMode::Required},
        {"VERIFY_CA", TlsMode::VerifyCa}, {"verify_identity", TlsMode::VerifyIdentity}};
    for (const auto& [text, mode] : modes) {
        EXPECT_EQ(db::mysql::parseTlsMode(text), mode) << text;
        if (*text) {
            std::string upper = text;
            for (char& c : upper)
                c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
            EXPECT_EQ(db::mysql::tlsModeName(mode), upper);
        }
    }
}

TEST(MySqlTarget, AnUnknownTlsModeIsAClearError) {
    for (const char* bad : {"VERIFY", "ON", "1", "verify-identity", "REQUIRED;"}) {
        try {
            db::mysql::parseTlsMode(bad);
            ADD_FAILURE() << "accepted SSLMODE " << bad;
        } catch (const db::Error& e) {
            EXPECT_EQ(e.number(), db::errc::kBadConnectionString) << bad;
            EXPECT_EQ(e.description(), std::string("The connection string asks for SSLMODE \"") +
                                           bad +
                                           "\", which is not a mode. Use DISABLED, PREFERRED, "
                                           "REQUIRED, VERIFY_CA or VERIFY_IDENTITY.");
        }
    }
}
