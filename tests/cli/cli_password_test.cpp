// dunmorrow-cli and passwords: set-password makes a .mdb that lists only with its password and
// changes or removes it; encrypted .accdb files dump with --password and refuse without.
#include <gtest/gtest.h>

#include <fstream>
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
    EXPECT_NE(r.err.find("dunmorrow-cli: expected NEW or --new-password-file\nUsage: "
                         "dunmorrow-cli set-password FILE NEW|--new-password-file F "
                         "[--password-file OLD]"),
              std::string::npos)
        << r.err;
    EXPECT_NE(cli({"--help"})
                  .out.find("set-password FILE NEW|--new-password-file F [--password-file OLD]"),
              std::string::npos);
}

TEST(CliPassword, EveryCommandTakesItFromAFileOrTheEnvironmentAndHelpWarnsOfTheArgument) {
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    testenv::TempDir dir;
    const std::string path = dir.copyFixture("access/V2000/testV2000.mdb").string();
    const std::string secret = (dir.path() / "secret").string();
    const std::string fresh = (dir.path() / "fresh").string();
    std::ofstream(secret) << "Kiwi;=7\r\n";  // the first line, its line end not part of it
    std::ofstream(fresh) << "Mango 9\n";
    ASSERT_EQ(cli({"set-password", path, "--new-password-file", secret}).status, 0);
    EXPECT_EQ(cli({"tables", path}).status, 1);
    for (const std::vector<std::string>& command :
         {std::vector<std::string>{"tables", path}, {"dump", path, "Table1"}, {"check", path}}) {
        std::vector<std::string> withFile = command;
        withFile.insert(withFile.end(), {"--password-file", secret});
        const auto r = cli(withFile);
        EXPECT_EQ(r.status, 0) << command[0] << ": " << r.err;
        ::setenv("DUNMORROW_ACCESS_PASSWORD", "Kiwi;=7", 1);
        EXPECT_EQ(cli(command).status, 0) << command[0];
        ::unsetenv("DUNMORROW_ACCESS_PASSWORD");
    }
    // The new password from a file, the old one from the environment.
    ::setenv("DUNMORROW_ACCESS_PASSWORD", "Kiwi;=7", 1);
    EXPECT_EQ(cli({"set-password", path, "--new-password-file", fresh}).status, 0);
    ::unsetenv("DUNMORROW_ACCESS_PASSWORD");
    EXPECT_EQ(cli({"tables", path, "--password=Mango 9"}).status, 0);
    const auto missing = cli({"tables", path, "--password-file", (dir.path() / "no").string()});
    EXPECT_EQ(missing.status, 2);
    EXPECT_NE(missing.err.find("cannot read the password file"), std::string::npos);

    const std::string help = cli({"--help"}).out;
    EXPECT_NE(help.find("where every user of the\n                     machine can read it (in "
                        "the process list)"),
              std::string::npos)
        << help;
    EXPECT_NE(help.find("DUNMORROW_ACCESS_PASSWORD"), std::string::npos);
    EXPECT_NE(cli({"dump", "--help"}).out.find("the machine can read it in the process list"),
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
