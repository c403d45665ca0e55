// The database password of .mdb files: kept masked in the header, checked before anything else
// is read. No fixture has one, so the tests give copies of fixtures a password the way Access
// stores it: the text (UTF-16LE in Jet 4, the code page in Jet 3) padded with zeros, in Jet 4
// XORed with the four bytes of the whole part of the creation date, then masked with the header's
// RC4 key stream.
#include <gtest/gtest.h>

#include "db/jet/database/database.h"
#include "db/jet/table/table_reader.h"
#include "tests/support/access_files.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

jet::ErrorKind openError(const fs::path& path, const std::string& password,
                         std::string* message = nullptr) {
    try {
        jet::OpenOptions o;
        o.password = password;
        jet::Database::open(path.string(), o);
    } catch (const jet::Error& e) {
        if (message) *message = e.message();
        return e.kind();
    }
    return jet::ErrorKind::Engine;  // stands for "opened"
}

std::vector<std::string> tablesWith(const fs::path& path, const std::string& password) {
    jet::OpenOptions o;
    o.password = password;
    return jet::Database::open(path.string(), o)->userTableNames();
}

struct Case {
    const char* fixture;
    const char* table;
};

// Test names and failures show the case by this, not by its bytes.
void PrintTo(const Case& c, std::ostream* os) {
    *os << c.fixture;
}

class DatabasePassword : public testing::TestWithParam<Case> {};

TEST_P(DatabasePassword, OnlyTheRightPasswordOpensTheFile) {
    DM_REQUIRE_FIXTURE(GetParam().fixture);
    testenv::TempDir dir;
    const fs::path copy = dir.copyFixture(GetParam().fixture);
    const auto before = tablesWith(copy, "");
    testenv::setDatabasePassword(copy, "Secret1");

    std::string message;
    EXPECT_EQ(openError(copy, "", &message), jet::ErrorKind::WrongPassword);
    EXPECT_EQ(message, "Not a valid password.");
    EXPECT_EQ(openError(copy, "secret1"), jet::ErrorKind::WrongPassword);  // letter case counts
    EXPECT_EQ(openError(copy, "Secret1 "), jet::ErrorKind::WrongPassword);
    EXPECT_EQ(openError(copy, "Secret"), jet::ErrorKind::WrongPassword);
    EXPECT_EQ(tablesWith(copy, "Secret1"), before);

    jet::OpenOptions o;
    o.password = "Secret1";
    auto db = jet::Database::open(copy.string(), o);
    auto reader = db->openTable(GetParam().table);
    std::vector<db::Value> row;
    EXPECT_TRUE(reader->next(row));
}

TEST_P(DatabasePassword, PasswordsBeyondAsciiAndOfFullLengthWork) {
    DM_REQUIRE_FIXTURE(GetParam().fixture);
    testenv::TempDir dir;
    const fs::path copy = dir.copyFixture(GetParam().fixture);
    testenv::setDatabasePassword(copy, "Pässwörd");
    EXPECT_EQ(openError(copy, "Passwort"), jet::ErrorKind::WrongPassword);
    EXPECT_FALSE(tablesWith(copy, "Pässwörd").empty());

    const std::string longest(20, 'x');  // the field holds twenty characters
    testenv::setDatabasePassword(copy, longest);
    EXPECT_FALSE(tablesWith(copy, longest).empty());
    EXPECT_EQ(openError(copy, longest + "x"), jet::ErrorKind::WrongPassword);
}

TEST_P(DatabasePassword, AFileWithoutPasswordOpensWithAnyPassword) {
    DM_REQUIRE_FIXTURE(GetParam().fixture);
    const fs::path path = testenv::fixturesDir() / GetParam().fixture;
    EXPECT_EQ(tablesWith(path, ""), tablesWith(path, "anything"));
}

INSTANTIATE_TEST_SUITE_P(Versions, DatabasePassword,
                         testing::Values(Case{"access/V1997/testV1997.mdb", "Table1"},
                                         Case{"access/V2000/testV2000.mdb", "Table1"},
                                         Case{"access/V2003/test2V2003.mdb", "MSP_PROJECTS"}),
                         [](const auto& testInfo) {
                             std::string n = fs::path(testInfo.param.fixture).stem().string();
                             return n;
                         });

}  // namespace
