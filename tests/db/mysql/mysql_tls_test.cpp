// Encryption and logins of MySQL sessions: TLS whenever the test server offers it, certificates
// verified against the right and a wrong authority, and MySQL 8's caching_sha2_password (its
// fast path, its full login with the RSA key asked for or given, over TLS in clear) against a
// stand-in of a MySQL 8 server, which also offers no TLS or botches it on demand.
#include <gtest/gtest.h>

#include <cctype>
#include <string>

#include "db/connection.h"
#include "db/error.h"
#include "db/mysql/mysql_login.h"
#include "tests/support/db_error.h"
#include "tests/support/mysql8_stand_in.h"
#include "tests/support/mysql_scratch.h"
#include "tests/support/test_certificates.h"
#include "tests/support/test_env.h"

using db::Connection;
using testenv::MySql8StandIn;

namespace {

using testenv::errorOf;

std::string firstValue(Connection& c, const std::string& sql, std::size_t column = 0) {
    auto rs = c.execute(sql);
    return rs->field(column).value().toDebugString();
}

std::string cipherOf(Connection& c) {
    return firstValue(c, "SHOW SESSION STATUS LIKE 'Ssl_cipher'", 1);
}

// ---- The test server ----

class MySqlTls : public ::testing::Test {
  protected:
    void SetUp() override {
        DM_REQUIRE_MYSQL();
        scratch_ = std::make_unique<testenv::MySqlScratch>();
        authority_ = scratch_->scalar("SELECT @@ssl_ca");
        if (authority_.empty() || authority_ == "NULL")
            FAIL() << "the test server has no certificate (scripts/mariadb.sh makes one)";
    }

    std::string withTls(const db::MySqlTlsOptions& tls, const std::string& server = {}) const {
        db::LoginFields login = scratch_->login();
        if (!server.empty()) login.server = server;
        return db::mySqlConnectionString(login, tls);
    }

    std::string serverName() const { return "127.0.0.1:" + testenv::mysqlServer().port; }

    std::unique_ptr<testenv::MySqlScratch> scratch_;
    std::string authority_;  // the PEM file of the authority that signed the server's certificate
};

TEST_F(MySqlTls, TheProgramsOwnStringIsEncryptedWhenTheServerOffersTls) {
    Connection c;
    c.open(scratch_->connectionString());  // no TLS key in it, as every string before
    EXPECT_NE(cipherOf(c), "");
    EXPECT_NE(firstValue(c, "SELECT 'still' AS x"), "");

    Connection plain;
    plain.open(withTls({"disabled", "", ""}));
    EXPECT_EQ(cipherOf(plain), "");
}

TEST_F(MySqlTls, VerifiedSessionsWithTheServersAuthority) {
    for (const char* mode : {"VERIFY_IDENTITY", "VERIFY_CA", "REQUIRED", "PREFERRED"}) {
        for (const char* server : {"127.0.0.1", "localhost"}) {
            Connection c;
            c.open(withTls({mode, authority_, ""}, server));
            EXPECT_NE(cipherOf(c), "") << mode << " " << server;
        }
    }
}

TEST_F(MySqlTls, AnotherAuthoritysCertificateIsRefusedBeforeThePassword) {
    testenv::TempDir dir;
    const auto other = dir.path() / "other-authority.pem";
    testenv::writeTextFile(other, testenv::makeAuthority("Another authority").certificatePem);
    const std::string sslError = "TLS/SSL error: self-signed certificate in certificate chain";

    db::Error e = errorOf([&] {
        Connection c;
        c.open(withTls({"VERIFY_IDENTITY", other.string(), ""}));
    });
    EXPECT_EQ(e.number(), db::errc::kCannotOpen);
    EXPECT_EQ(e.description(), "The certificate of the MySQL server at " + serverName() +
                                   " could not be verified (" + sslError +
                                   "), so the password was not sent. The certificate must be "
                                   "signed by an authority of " +
                                   other.string() + " and name the server as \"127.0.0.1\".");
    // The name is not asked for, the authority still is; and a CA given to the lenient modes
    // is checked too.
    for (const char* mode : {"VERIFY_CA", "REQUIRED", "preferred"}) {
        e = errorOf([&] {
            Connection c;
            c.open(withTls({mode, other.string(), ""}));
        });
        EXPECT_EQ(e.description(), "The certificate of the MySQL server at " + serverName() +
                                       " could not be verified (" + sslError +
                                       "), so the password was not sent. The certificate must "
                                       "be signed by an authority of " +
                                       other.string() + ".")
            << mode;
    }
}

TEST_F(MySqlTls, TheSystemsAuthoritiesDoNotVouchForATestCertificate) {
    const db::Error e = errorOf([&] {
        Connection c;
        c.open(withTls({"VERIFY_IDENTITY", "", ""}));
    });
    EXPECT_EQ(e.number(), db::errc::kCannotOpen);
    EXPECT_NE(e.description().find("could not be verified"), std::string::npos) << e.description();
    EXPECT_NE(e.description().find("The certificate must be signed by an authority this "
                                   "computer trusts and name the server as \"127.0.0.1\"."),
              std::string::npos)
        << e.description();
}

TEST_F(MySqlTls, AUnixSocketStaysUnencryptedUnlessAsked) {
    const std::string socket = scratch_->scalar("SELECT @@socket");
    Connection local;
    local.open(withTls({}, socket));
    EXPECT_EQ(cipherOf(local), "");
    Connection asked;
    asked.open(withTls({"REQUIRED", "", ""}, socket));
    EXPECT_NE(cipherOf(asked), "");
}

// ---- A MySQL 8 stand-in ----

std::string standInString(const MySql8StandIn& s, const std::string& password,
                          const db::MySqlTlsOptions& tls = {}) {
    db::LoginFields f{"127.0.0.1", std::to_string(s.port()), "ann", password, "", "", ""};
    return db::mySqlConnectionString(f, tls);
}

void logIn(const std::string& connectionString) {
    Connection c;
    c.open(connectionString);
    c.execute("DO 1");  // a statement the stand-in answers, through the link just set up
    c.close();
}

TEST(MySql8Login, TheClientLibraryLoadsCachingSha2Password) {
    EXPECT_TRUE(db::mysql::authenticationPluginLoads("caching_sha2_password"));
    EXPECT_TRUE(db::mysql::authenticationPluginLoads("sha256_password"));
    EXPECT_FALSE(db::mysql::authenticationPluginLoads("no_such_login_method"));
}

TEST(MySql8Login, WithoutTlsThePasswordGoesEncryptedWithTheKeyTheServerSends) {
    MySql8StandIn server({});
    logIn(standInString(server, "pw-8"));
    const auto logins = server.logins(1);
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_FALSE(logins[0].tls);
    EXPECT_EQ(logins[0].user, "ann");
    EXPECT_EQ(logins[0].plugin, "caching_sha2_password");
    EXPECT_TRUE(logins[0].askedForKey);
    EXPECT_TRUE(logins[0].fullLogin);
    EXPECT_EQ(logins[0].password, "pw-8");
    EXPECT_TRUE(logins[0].accepted);
}

TEST(MySql8Login, AKeyFileSparesTheQuestion) {
    MySql8StandIn server({});
    testenv::TempDir dir;
    const auto key = dir.path() / "server-public-key.pem";
    testenv::writeTextFile(key, server.publicKeyPem());
    logIn(standInString(server, "pw-8", {"", "", key.string()}));
    const auto logins = server.logins(1);
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_FALSE(logins[0].askedForKey);
    EXPECT_EQ(logins[0].password, "pw-8");
    EXPECT_TRUE(logins[0].accepted);
}

TEST(MySql8Login, TheFastPathOfAKnownUser) {
    MySql8StandIn::Options o;
    o.cached = true;
    MySql8StandIn server(o);
    logIn(standInString(server, "pw-8"));
    const auto logins = server.logins(1);
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_FALSE(logins[0].fullLogin);
    EXPECT_FALSE(logins[0].askedForKey);
    EXPECT_TRUE(logins[0].accepted);
}

TEST(MySql8Login, AWrongPasswordIsTheServersRefusal) {
    MySql8StandIn server({});
    const db::Error e = errorOf([&] { logIn(standInString(server, "not-it")); });
    EXPECT_EQ(e.number(), db::errc::kWrongPassword);
    EXPECT_EQ(e.description(), "Access denied for user 'ann'@'localhost' (using password: YES)");
    EXPECT_EQ(server.logins(1).at(0).password, "not-it");
}

TEST(MySql8Login, OverTlsThePasswordGoesInsideTheEncryptedLink) {
    const testenv::Certificate authority = testenv::makeAuthority("Stand-in authority");
    const testenv::Certificate cert = testenv::issueServerCertificate(authority, "localhost");
    MySql8StandIn::Options o;
    o.tls = MySql8StandIn::Tls::Offered;
    o.certificatePem = cert.certificatePem;
    o.keyPem = cert.keyPem;
    MySql8StandIn server(o);
    testenv::TempDir dir;
    const auto ca = dir.path() / "ca.pem";
    testenv::writeTextFile(ca, authority.certificatePem);

    logIn(standInString(server, "pw-8"));  // PREFERRED
    logIn(standInString(server, "pw-8", {"VERIFY_IDENTITY", ca.string(), ""}));
    const auto logins = server.logins(2);
    ASSERT_EQ(logins.size(), 2u);
    for (const auto& l : logins) {
        EXPECT_TRUE(l.tls);
        EXPECT_FALSE(l.askedForKey);
        EXPECT_EQ(l.password, "pw-8");
        EXPECT_TRUE(l.accepted);
    }
}

TEST(MySql8Login, ACertificateForAnotherNameIsRefusedBeforeThePassword) {
    const testenv::Certificate authority = testenv::makeAuthority("Stand-in authority");
    const testenv::Certificate cert =
        testenv::issueServerCertificate(authority, "elsewhere", "DNS:elsewhere.example");
    MySql8StandIn::Options o;
    o.tls = MySql8StandIn::Tls::Offered;
    o.certificatePem = cert.certificatePem;
    o.keyPem = cert.keyPem;
    MySql8StandIn server(o);
    testenv::TempDir dir;
    const auto ca = dir.path() / "ca.pem";
    testenv::writeTextFile(ca, authority.certificatePem);

    const db::Error e = errorOf([&] {
        logIn(standInString(server, "pw-8", {"VERIFY_IDENTITY", ca.string(), ""}));
    });
    EXPECT_EQ(e.number(), db::errc::kCannotOpen);
    EXPECT_EQ(e.description(),
              "The certificate of the MySQL server at 127.0.0.1:" + std::to_string(server.port()) +
                  " could not be verified (TLS/SSL error: Validation of SSL server certificate "
                  "failed), so the password was not sent. The certificate must be "
                  "signed by an authority of " +
                  ca.string() + " and name the server as \"127.0.0.1\".");
    // VERIFY_CA checks the authority only.
    logIn(standInString(server, "pw-8", {"VERIFY_CA", ca.string(), ""}));
    const auto logins = server.logins(2);
    ASSERT_EQ(logins.size(), 2u);
    EXPECT_FALSE(logins[0].answered);
    EXPECT_TRUE(logins[1].accepted);
}

TEST(MySql8Login, AServerWithoutTlsIsRefusedWhenEncryptionIsRequired) {
    MySql8StandIn server({});
    const std::string at = "The MySQL server at 127.0.0.1:" + std::to_string(server.port());
    for (const char* mode : {"REQUIRED", "verify_ca", "Verify_Identity"}) {
        const db::Error e = errorOf([&] { logIn(standInString(server, "pw-8", {mode, "", ""})); });
        EXPECT_EQ(e.number(), db::errc::kCannotOpen);
        std::string name = mode;
        for (char& c : name)
            c = static_cast<char>(std::toupper(static_cast<unsigned char>(c)));
        EXPECT_EQ(e.description(), at +
                                       " offers no encrypted connection, and the connection "
                                       "string requires one (SSLMODE=" +
                                       name + "). The password was not sent.");
    }
    const auto logins = server.logins(3);
    ASSERT_EQ(logins.size(), 3u);
    EXPECT_TRUE(logins[0].answered);  // the fast path's scramble, not the password
    EXPECT_FALSE(logins[0].fullLogin);
    EXPECT_FALSE(logins[1].fullLogin);
    EXPECT_FALSE(logins[2].answered);  // refused by the library before the login
}

TEST(MySql8Login, ALoginThatNeedsNoPasswordIsRefusedRightAfterWhenEncryptionIsRequired) {
    // The fast path completes the login with a scramble alone; only then can the session be
    // seen to be unencrypted.
    MySql8StandIn::Options o;
    o.cached = true;
    MySql8StandIn server(o);
    const db::Error e = errorOf([&] {
        logIn(standInString(server, "pw-8", {"REQUIRED", "", ""}));
    });
    EXPECT_EQ(e.number(), db::errc::kCannotOpen);
    EXPECT_EQ(e.description(), "The MySQL server at 127.0.0.1:" + std::to_string(server.port()) +
                                   " offers no encrypted connection, and the connection string "
                                   "requires one (SSLMODE=REQUIRED). The session was closed "
                                   "unused.");
    const auto logins = server.logins(1);
    ASSERT_EQ(logins.size(), 1u);
    EXPECT_TRUE(logins[0].accepted);
    EXPECT_FALSE(logins[0].fullLogin);
}

TEST(MySql8Login, ABotchedTlsOfferFallsBackToAPlainLoginOnlyWhenPreferred) {
    MySql8StandIn::Options o;
    o.tls = MySql8StandIn::Tls::Broken;
    MySql8StandIn server(o);
    logIn(standInString(server, "pw-8"));
    auto logins = server.logins(2);
    ASSERT_EQ(logins.size(), 2u);
    EXPECT_FALSE(logins[0].answered);
    EXPECT_FALSE(logins[1].tls);
    EXPECT_TRUE(logins[1].accepted);

    const db::Error e = errorOf([&] {
        logIn(standInString(server, "pw-8", {"REQUIRED", "", ""}));
    });
    EXPECT_EQ(e.number(), db::errc::kCannotOpen);
    EXPECT_EQ(e.description().rfind("The encrypted connection to the MySQL server at 127.0.0.1:" +
                                        std::to_string(server.port()) + " could not be set up (",
                                    0),
              0u)
        << e.description();
    EXPECT_EQ(server.logins(3).size(), 3u);  // no second try
}

TEST(MySql8Login, ALoginMethodTheLibraryCannotLoadIsNamed) {
    MySql8StandIn::Options o;
    o.switchTo = "dunmorrow_missing_login";
    MySql8StandIn server(o);
    const db::Error e = errorOf([&] { logIn(standInString(server, "pw-8")); });
    EXPECT_EQ(e.number(), db::errc::kCannotOpen);
    EXPECT_EQ(e.description().rfind("The MySQL server asks for a login method that the MariaDB "
                                    "client library on this computer cannot load (Plugin "
                                    "dunmorrow_missing_login could not be loaded: ",
                                    0),
              0u)
        << e.description();
    EXPECT_NE(e.description().find("). Its plugins come with the client library (the Debian "
                                   "package libmariadb3)."),
              std::string::npos)
        << e.description();
}

}  // namespace
