// Setting, changing and removing the database password of .mdb files made by Access: the file
// then opens only with that password, reads exactly as before, changes in no byte outside the
// password field, and returns byte for byte to the original when the password is removed.
// Refusals (Access 97, .accdb files, a wrong old password, passwords that do not fit) leave the
// file unchanged.
#include <gtest/gtest.h>

#include <fstream>

#include "db/jet/base/error.h"
#include "db/jet/database/database.h"
#include "db/jet/table/table_reader.h"
#include "db/jet/write/database_password.h"
#include "tests/support/access_files.h"
#include "tests/support/run_program.h"
#include "tests/support/test_env.h"

namespace {

namespace fs = std::filesystem;

std::vector<char> bytesOf(const fs::path& p) {
    std::ifstream in(p, std::ios::binary);
    return std::vector<char>(std::istreambuf_iterator<char>(in), {});
}

// Every row of every user table, in order.
std::vector<std::vector<db::Value>> allRows(const std::string& path, const std::string& pwd) {
    auto db = jet::Database::open(path, {pwd});
    std::vector<std::vector<db::Value>> out;
    for (const auto& name : db->userTableNames()) {
        auto reader = db->openTable(name);
        std::vector<db::Value> row;
        while (reader->next(row))
            out.push_back(row);
        out.push_back({db::Value::text("end of " + name)});
    }
    return out;
}

jet::Error errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const jet::Error& e) {
        return e;
    }
    return jet::Error(jet::ErrorKind::Io, "no error");
}

class SetPassword : public testing::TestWithParam<std::string> {};

TEST_P(SetPassword, TheFileThenOpensOnlyWithThatPasswordAndReadsAsBefore) {
    DM_REQUIRE_FIXTURE(GetParam());
    testenv::TempDir dir;
    const fs::path copy = dir.copyFixture(GetParam());
    const std::string path = copy.string();
    const auto original = bytesOf(copy);
    const auto rows = allRows(path, "");
    ASSERT_FALSE(rows.empty());

    const std::string password = "Zürich-Ω 7";
    jet::setDatabasePassword(path, "", password);
    for (const std::string wrong : {"", "zürich-Ω 7", "Zürich-Ω", "Zürich-Ω 7 "}) {
        const jet::Error e = errorOf([&] { jet::Database::open(path, {wrong}); });
        EXPECT_EQ(e.kind(), jet::ErrorKind::WrongPassword) << wrong;
        EXPECT_EQ(e.message(), "Not a valid password.");
    }
    EXPECT_EQ(jet::Database::open(path, {password})->header().password, password);
    EXPECT_EQ(allRows(path, password), rows);

    // Only the password field of the header (0x42, 40 bytes) changed.
    const auto changed = bytesOf(copy);
    ASSERT_EQ(changed.size(), original.size());
    std::size_t differing = 0;
    for (std::size_t i = 0; i < original.size(); ++i)
        if (changed[i] != original[i]) {
            EXPECT_TRUE(i >= 0x42 && i < 0x42 + 40) << "byte " << i;
            ++differing;
        }
    EXPECT_GT(differing, 0u);

    // Another reader still reads it (mdbtools does not check passwords).
    if (!testenv::findOnPath("mdb-tables").empty()) {
        const auto before = testenv::runProgram({"mdb-tables", "-1", path});
        EXPECT_EQ(before.status, 0) << before.err;
        EXPECT_FALSE(before.out.empty());
    }

    // Changing it needs the old password; the longest password has 20 UTF-16 units.
    EXPECT_EQ(errorOf([&] { jet::setDatabasePassword(path, "", "x"); }).kind(),
              jet::ErrorKind::WrongPassword);
    const std::string longest =
        "\U0001F511"
        "abcdefghijklmnopqr";  // a surrogate pair + 18
    jet::setDatabasePassword(path, password, longest);
    EXPECT_EQ(jet::Database::open(path, {longest})->header().password, longest);
    EXPECT_EQ(errorOf([&] { jet::Database::open(path, {password}); }).kind(),
              jet::ErrorKind::WrongPassword);

    // Removing it gives back the very bytes Access wrote.
    jet::setDatabasePassword(path, longest, "");
    EXPECT_EQ(bytesOf(copy), original);
    EXPECT_EQ(allRows(path, "whatever"), rows);
}

INSTANTIATE_TEST_SUITE_P(Jet4Files, SetPassword,
                         testing::Values("access/V2000/testV2000.mdb",
                                         "access/V2003/test2V2003.mdb",
                                         "access/V2003/testUnicodeCompV2003.mdb",
                                         "access/encrypted/db-enc.mdb"),
                         [](const auto& testInfo) {
                             std::string n = fs::path(testInfo.param).stem().string();
                             for (auto& c : n)
                                 if (!std::isalnum(static_cast<unsigned char>(c))) c = '_';
                             return n;
                         });

TEST(SetPassword, WritesTheSameBytesAsTheTestsOwnMaskingOfAPassword) {
    // tests/support masks a password on its own, from the layout alone; the engine's writer
    // must agree with it byte for byte.
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    testenv::TempDir dir;
    for (const std::string& pwd :
         std::vector<std::string>{"a", "Secret1", "Pässwörd", std::string(20, 'z')}) {
        SCOPED_TRACE(pwd);
        const fs::path ours = dir.copyFixture("access/V2000/testV2000.mdb", "ours.mdb");
        const fs::path theirs = dir.copyFixture("access/V2000/testV2000.mdb", "theirs.mdb");
        jet::setDatabasePassword(ours.string(), "", pwd);
        testenv::setDatabasePassword(theirs, pwd);
        EXPECT_EQ(bytesOf(ours), bytesOf(theirs));
        fs::remove(ours);
        fs::remove(theirs);
    }
}

TEST(SetPasswordRefusal, LeavesTheFileUnchanged) {
    DM_REQUIRE_FIXTURE("access/V2000/testV2000.mdb");
    testenv::TempDir dir;
    using K = jet::ErrorKind;
    struct Case {
        std::string fixture, oldPassword, newPassword;
        K kind;
        std::string message;
    };
    const std::vector<Case> cases = {
        {"access/V2000/testV2000.mdb", "", "123456789012345678901", K::NotSupported,
         "The password is too long: a database password has at most 20 characters."},
        {"access/V2000/testV2000.mdb", "",
         "\U0001F511\U0001F511\U0001F511\U0001F511\U0001F511"
         "\U0001F511\U0001F511\U0001F511\U0001F511\U0001F511x",
         K::NotSupported,
         "The password is too long: a database password has at most 20 characters."},
        {"access/V2000/testV2000.mdb", "", std::string("ab\0cd", 5), K::NotSupported,
         "A database password cannot contain a NUL character."},
        {"access/V1997/testV1997.mdb", "", "secret", K::ReadOnly,
         "Databases of the Jet 3 (Access 97) format are read-only for this program."},
        {"access/V2007/testV2007.accdb", "", "secret", K::NotSupported,
         "An .accdb file keeps no database password in its header: a password encrypts the "
         "whole file, and setting one is not supported yet."},
        {"access/encrypted/db2013-enc.accdb", "1234", "secret", K::NotSupported,
         "Changing the password of an encrypted .accdb file is not supported yet."},
    };
    int n = 0;
    for (const auto& c : cases) {
        SCOPED_TRACE(c.fixture + " \"" + c.newPassword + "\"");
        const fs::path copy = dir.copyFixture(
            c.fixture, "f" + std::to_string(n++) + fs::path(c.fixture).extension().string());
        const auto before = bytesOf(copy);
        const jet::Error e =
            errorOf([&] { jet::setDatabasePassword(copy.string(), c.oldPassword, c.newPassword); });
        EXPECT_EQ(e.kind(), c.kind);
        EXPECT_EQ(e.message(), c.message);
        EXPECT_EQ(bytesOf(copy), before);
    }

    // A wrong old password, and a file that is not there.
    const fs::path copy = dir.copyFixture("access/V2000/testV2000.mdb", "p.mdb");
    jet::setDatabasePassword(copy.string(), "", "first");
    const auto before = bytesOf(copy);
    for (const std::string wrong : {"", "First", "second"})
        EXPECT_EQ(errorOf([&] { jet::setDatabasePassword(copy.string(), wrong, "x"); }).kind(),
                  K::WrongPassword);
    EXPECT_EQ(bytesOf(copy), before);
    EXPECT_EQ(errorOf([&] {
                  jet::setDatabasePassword((dir.path() / "none.mdb").string(), "", "x");
              }).kind(),
              K::NotDatabase);
}

}  // namespace
