// Connection strings: the exact texts the program builds and how they parse back.
#include <gtest/gtest.h>

#include "db/connection_string.h"
#include "db/error.h"

using db::ConnectionString;
using db::LoginFields;

namespace {

LoginFields defaults() {
    LoginFields f;
    f.server = "localhost";
    f.port = "3306";
    return f;
}

}  // namespace

TEST(MySqlConnectionString, DefaultFieldsGiveEmptyValuesAndEndWithThePort) {
    EXPECT_EQ(
        db::mySqlConnectionString(defaults()),
        "DRIVER={MySQL ODBC 5.1 Driver};SERVER=localhost;USER=;DATABASE=;PASSWORD=;PORT=3306;");
}

TEST(MySqlConnectionString, FieldsInTheirOrder) {
    LoginFields f{"db.example.com", "3307", "ann", "s3cret", "shop", "", ""};
    EXPECT_EQ(db::mySqlConnectionString(f),
              "DRIVER={MySQL ODBC 5.1 Driver};SERVER=db.example.com;USER=ann;DATABASE=shop;"
              "PASSWORD=s3cret;PORT=3307;");
}

TEST(MySqlConnectionString, PasswordWithSemicolonIsBracedAndParsesBack) {
    LoginFields f = defaults();
    f.password = "a;b}c{d";
    const std::string s = db::mySqlConnectionString(f);
    EXPECT_EQ(s,
              "DRIVER={MySQL ODBC 5.1 Driver};SERVER=localhost;USER=;DATABASE=;"
              "PASSWORD={a;b}}c{d};PORT=3306;");
    auto cs = ConnectionString::parse(s);
    EXPECT_EQ(cs.get("password"), "a;b}c{d");
    EXPECT_EQ(cs.get("PORT"), "3306");
    EXPECT_EQ(cs.get("Driver"), "MySQL ODBC 5.1 Driver");
}

TEST(MySqlConnectionString, BlanksAndEqualsSignsAreKept) {
    LoginFields f = defaults();
    f.password = " pass=word ";
    f.user = "x y";
    auto cs = ConnectionString::parse(db::mySqlConnectionString(f));
    EXPECT_EQ(cs.get("PASSWORD"), " pass=word ");
    EXPECT_EQ(cs.get("USER"), "x y");
}

TEST(MySqlConnectionString, TlsOptionsFollowTheFieldsOnlyWhenGiven) {
    const LoginFields f = defaults();
    EXPECT_EQ(db::mySqlConnectionString(f, {}), db::mySqlConnectionString(f));
    EXPECT_EQ(db::mySqlConnectionString(f, {"VERIFY_IDENTITY", "/etc/ca;1.pem", ""}),
              "DRIVER={MySQL ODBC 5.1 Driver};SERVER=localhost;USER=;DATABASE=;PASSWORD=;"
              "PORT=3306;SSLMODE=VERIFY_IDENTITY;SSLCA={/etc/ca;1.pem};");
    const auto cs = ConnectionString::parse(db::mySqlConnectionString(f, {"", "", "/k.pem"}));
    EXPECT_EQ(cs.get("SERVER_PUBLIC_KEY"), "/k.pem");
    EXPECT_EQ(cs.get("SSLMODE"), std::nullopt);
}

TEST(AccessConnectionString, ProviderChosenByTheLastFiveCharacters) {
    LoginFields f;
    EXPECT_EQ(db::buildAccessConnectionString(f, "/data/Shop.ACCDB", ""),
              "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/data/Shop.ACCDB;"
              "JET OLEDB:Database Password=");
    EXPECT_EQ(db::buildAccessConnectionString(f, "/data/shop.mdb", "pw"),
              "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/data/shop.mdb;"
              "JET OLEDB:Database Password=pw");
    EXPECT_EQ(db::buildAccessConnectionString(f, "/data/x.maccdb", ""),
              "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/data/x.maccdb;"
              "JET OLEDB:Database Password=");
    EXPECT_EQ(db::buildAccessConnectionString(f, "/data/x.accdb ", ""),
              "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/data/x.accdb ;"
              "JET OLEDB:Database Password=");
    EXPECT_EQ(db::buildAccessConnectionString(f, "/data/noext", ""),
              "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=/data/noext;"
              "JET OLEDB:Database Password=");
    EXPECT_EQ(db::buildAccessConnectionString(f, "db", ""),
              "PROVIDER=Microsoft.Jet.OLEDB.4.0;Data Source=db;JET OLEDB:Database Password=");
}

TEST(AccessConnectionString, EmptyPathTakesPathAndPasswordFromTheFields) {
    LoginFields f;
    f.accessPath = "/a/b.accdb";
    f.accessPassword = "fieldpw";
    EXPECT_EQ(db::buildAccessConnectionString(f, "", "ignored"),
              "Provider=Microsoft.ACE.OLEDB.12.0;Data Source=/a/b.accdb;"
              "JET OLEDB:Database Password=fieldpw");
}

TEST(AccessConnectionString, PathAndPasswordWithSemicolonsParseBack) {
    LoginFields f;
    const std::string s = db::buildAccessConnectionString(f, "/odd;dir/x.mdb", "p;w}");
    auto cs = ConnectionString::parse(s);
    EXPECT_EQ(cs.get("data source"), "/odd;dir/x.mdb");
    EXPECT_EQ(cs.get("Jet OLEDB:Database Password"), "p;w}");
    EXPECT_EQ(cs.get("provider"), "Microsoft.Jet.OLEDB.4.0");
}

TEST(ConnectionStringParser, UnclosedBraceIsAnError) {
    try {
        ConnectionString::parse("DRIVER={MySQL;SERVER=x");
        FAIL() << "expected an error";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), db::errc::kBadConnectionString);
    }
}

TEST(ConnectionStringParser, MissingKeyGivesNothing) {
    auto cs = ConnectionString::parse("A=1;B=;");
    EXPECT_EQ(cs.get("b"), "");
    EXPECT_FALSE(cs.get("C").has_value());
}
