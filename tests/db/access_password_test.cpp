// Password-protected and encoded Access files through the data-access objects, as the windows
// reach them: the password travels in ";JET OLEDB:Database Password=", the table listing and
// the table check work, record sets read, and a wrong or empty password fails with the
// provider's error number and sentence. Also dunmorrow-cli's set-password and --password.
#include <gtest/gtest.h>

#include <sstream>

#include "app/cli/commands.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "db/error.h"
#include "db/table_listing.h"
#include "tests/support/test_env.h"

namespace {

db::LoginFields loginFor(const std::string& path, const std::string& password) {
    db::LoginFields l;
    l.accessPath = path;
    l.accessPassword = password;
    return l;
}

std::unique_ptr<db::Connection> openAccess(const std::string& path, const std::string& password) {
    auto cn = std::make_unique<db::Connection>();
    cn->setCursorLocation(db::kAdUseClient);
    cn->open(db::buildAccessConnectionString(loginFor(path, password)));
    return cn;
}

template <typename F>
db::Error errorOf(F&& f) {
    try {
        f();
    } catch (const db::Error& e) {
        return e;
    }
    return db::Error(0, "no error");
}

struct Protected {
    const char* file;
    const char* password;
    const char* table;
    long rows;
};

class ProtectedAccess : public testing::TestWithParam<Protected> {};

TEST_P(ProtectedAccess, OpensListsAndReadsWithThePasswordOfTheConnectionString) {
    const auto& p = GetParam();
    DM_REQUIRE_FIXTURE(p.file);
    const std::string path = (testenv::fixturesDir() / p.file).string();

    const auto names = db::getAccessTableNames(path, loginFor(path, p.password));
    ASSERT_TRUE(names.has_value());
    EXPECT_EQ(*names, std::vector<std::string>{p.table});
    EXPECT_TRUE(db::accessTableExists(path, p.password, p.table));
    EXPECT_FALSE(db::accessTableExists(path, p.password, "NoSuchTable"));

    auto cn = openAccess(path, p.password);
    auto schema = cn->openSchema(20);
    int userTables = 0;
    while (!schema->eof()) {
        if (schema->field("TABLE_TYPE").value() == db::Value::text("TABLE")) {
            EXPECT_EQ(schema->field("TABLE_NAME").value(), db::Value::text(p.table));
            ++userTables;
        }
        schema->moveNext();
    }
    EXPECT_EQ(userTables, 1);

    auto rs = cn->execute(std::string("SELECT * FROM `") + p.table + "`");
    EXPECT_EQ(rs->recordCount(), p.rows);
    EXPECT_EQ(rs->field(0).name(), "ID");
    EXPECT_EQ(rs->field(0).value(), db::Value::integer(1));
    cn->close();
}

TEST_P(ProtectedAccess, AWrongOrEmptyPasswordFailsWithTheProvidersErrorWhereThereIsOne) {
    const auto& p = GetParam();
    DM_REQUIRE_FIXTURE(p.file);
    const std::string path = (testenv::fixturesDir() / p.file).string();
    if (std::string(p.password).empty()) {
        // Encoded without a database password: whatever password is given opens it.
        for (const char* pwd : {"", "wrong"})
            EXPECT_EQ(openAccess(path, pwd)->execute("SELECT * FROM [Table1]")->recordCount(),
                      p.rows);
        return;
    }
    for (const std::string& pwd :
         {std::string(), std::string("wrong"), std::string(p.password) + "x"}) {
        SCOPED_TRACE("password \"" + pwd + "\"");
        db::Error e = errorOf([&] { openAccess(path, pwd); });
        EXPECT_EQ(e.number(), db::errc::kWrongPassword);
        EXPECT_EQ(e.description(), "Not a valid password.");
        // "Next >" lists the tables with the same string: the same error reaches its report.
        e = errorOf([&] { db::getAccessTableNames(path, loginFor(path, pwd)); });
        EXPECT_EQ(e.number(), db::errc::kWrongPassword);
        e = errorOf([&] { db::accessTableExists(path, pwd, p.table); });
        EXPECT_EQ(e.number(), db::errc::kWrongPassword);
    }
}

INSTANTIATE_TEST_SUITE_P(
    Fixtures, ProtectedAccess,
    testing::Values(Protected{"access/encrypted/db2007-enc.accdb", "Test123", "Table1", 1},
                    Protected{"access/encrypted/db2013-enc.accdb", "1234", "Customers", 7},
                    Protected{"access/encrypted/db-enc.mdb", "", "Table1", 2},
                    Protected{"access/encrypted/db97-enc.mdb", "", "Table1", 2}),
    [](const auto& info) {
        std::string n = std::filesystem::path(info.param.file).stem().string();
        for (auto& c : n)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

// ---- dunmorrow-cli ----

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
    EXPECT_EQ(errorOf([&] { openAccess(path, "Kiwi"); }).number(), db::errc::kWrongPassword);

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
