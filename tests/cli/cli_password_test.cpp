// dunmorrow-cli and passwords: set-password makes a .mdb that lists only with its password and
// changes or removes it; encrypted .accdb files dump with --password and refuse without.
#include <gtest/gtest.h>

#include <sstream>

#include "app/cli/commands.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/error.h"
#include "tests/support/test_env.h"

namespace {

std::unique_ptr<db::Connection> openAccess(const std::string& path, const std::string& password) {
    db::LoginFields l;
    l.accessPath = path;
    l.accessPassword = password;
    auto cn = std::make_unique<db::Connection>();
    cn->open(db::buildAccessConnectionString(l));
    return cn;
}

long errorNumberOf(const std::string& path, const std::string& password) {
    try {
        openAccess(path, password);
    } catch (const db::Error& e) {
        return e.number();
    }
    return 0;
}

struct CliResult {
    int status;
    std::string out, err;
};

CliResult cli(const std::vector<std::string>& args) {
    std::ostringstream out, err;
    const int status = cli::runCommandLine(args, out, err);
    return {status, out.str(), err.str()};
}

TEST(CliPassword, SetPasswordMakesAFileThatListsOnlyWithThatPassword) {
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    testenv::TempDir dir;
    const std::string path = dir.copyFixture("access/V2000/testV2000.mdb").string();
    const auto before = cli({"tables", path});
    ASSERT_EQ(before.status, 0) << before.err;

    auto r = cli({"set-password", path, "Kiwi;=7"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "The database password of \"" + path + "\" is set.\n");

    r = cli({"tables", path});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.out, "");
    EXPECT_EQ(r.err, "dunmorrow-cli: Not a valid password.\n");
    r = cli({"tables", path, "--password", "Kiwi;=7"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, before.out);
    // The connection string quotes the password, so ";" and "=" in it reach the engine.
    auto cn = openAccess(path, "Kiwi;=7");
    EXPECT_EQ(cn->execute("SELECT * FROM [Table1]")->fieldCount() > 0, true);
    cn->close();
    EXPECT_EQ(errorNumberOf(path, "Kiwi"), db::errc::kWrongPassword);

    r = cli({"set-password", path, "other"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "dunmorrow-cli: Not a valid password.\n");
    r = cli({"set-password", path, "", "--password", "Kiwi;=7"});
    EXPECT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out, "The database password of \"" + path + "\" is removed.\n");
    EXPECT_EQ(cli({"tables", path}).out, before.out);

    r = cli({"set-password", path, "123456789012345678901"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err,
              "dunmorrow-cli: The password is too long: a database password has at most 20 "
              "characters.\n");
    r = cli({"set-password", path});
    EXPECT_EQ(r.status, 2);
    EXPECT_NE(r.err.find("Usage: dunmorrow-cli set-password FILE NEW [--password OLD]"),
              std::string::npos)
        << r.err;
    EXPECT_NE(cli({"--help"}).out.find("set-password FILE NEW [--password OLD]"),
              std::string::npos);
}

TEST(CliPassword, EncryptedAccdbDumpsWithItsPassword) {
    DM_REQUIRE_FIXTURE("access/encrypted/db2013-enc.accdb");
    const std::string path =
        (testenv::fixturesDir() / "access/encrypted/db2013-enc.accdb").string();
    auto r = cli({"dump", path, "Customers", "--password=1234"});
    ASSERT_EQ(r.status, 0) << r.err;
    EXPECT_EQ(r.out.substr(0, 27), "ID\tField1\n1\tTest\n2\tTest2\n3\t");
    r = cli({"dump", path, "Customers"});
    EXPECT_EQ(r.status, 1);
    EXPECT_EQ(r.err, "dunmorrow-cli: Not a valid password.\n");
}

}  // namespace
