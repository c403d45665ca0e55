// Password-protected and encoded Access files through the data-access objects, as the windows
// reach them: the password travels in ";JET OLEDB:Database Password=", the table listing and
// the table check work, record sets read, and a wrong or empty password fails with the
// provider's error number and sentence.
#include <gtest/gtest.h>

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

// Test names and failures show the case by this, not by its bytes.
void PrintTo(const Protected& c, std::ostream* os) {
    *os << c.file;
}

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
    [](const auto& testInfo) {
        std::string n = std::filesystem::path(testInfo.param.file).stem().string();
        for (auto& c : n)
            if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
        return n;
    });

}  // namespace
