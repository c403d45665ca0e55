// The statements of the delete and rename commands, the intermediate names of a rename in
// letter case only, and RenameAccessTableByCopy on copies of real Access files.
#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <fstream>
#include <functional>
#include <iterator>
#include <string>
#include <vector>

#include "browser/access_rename.h"
#include "browser/table_sql.h"
#include "db/connection.h"
#include "db/error.h"
#include "db/table_listing.h"
#include "tests/support/test_env.h"

namespace {

db::Error errorOf(const std::function<void()>& f) {
    try {
        f();
    } catch (const db::Error& e) {
        return e;
    }
    ADD_FAILURE() << "no error";
    return db::Error(0, "");
}

TEST(TableSql, StatementsAreConcatenatedWithTheNamesInBackquotes) {
    EXPECT_EQ(browser::accessDeleteTableSql("Order Details"), "DROP TABLE `Order Details`;");
    EXPECT_EQ(browser::dropTableSql("orders"), "DROP TABLE `orders`");
    EXPECT_EQ(browser::mySqlRenameTableSql("old one", "new"), "RENAME TABLE `old one` TO `new`");
    EXPECT_EQ(browser::accessCopyTableSql("Table1", "Kopie ä"),
              "SELECT a1.* INTO `Kopie ä` FROM `Table1` AS a1;");
    // Other characters that are special elsewhere stand as they are.
    EXPECT_EQ(browser::dropTableSql("a'b\"c[d];"), "DROP TABLE `a'b\"c[d];`");
}

TEST(TableSql, MySqlNamesHaveTheirBackquotesDoubledAndAccessNamesAreChecked) {
    // For MySQL a backquote inside a name is doubled: the statement names that one table.
    EXPECT_EQ(browser::dropTableSql("a1`, `c3"), "DROP TABLE `a1``, ``c3`");
    EXPECT_EQ(browser::mySqlRenameTableSql("x` TO `y", "t`"), "RENAME TABLE `x`` TO ``y` TO `t```");
    // Access cannot hold such a name: refused before anything is sent, saying why.
    const std::vector<std::pair<std::function<void()>, std::string>> refused = {
        {[] { (void)browser::accessDeleteTableSql("a`b"); }, "a`b"},
        {[] { (void)browser::accessDropTableSql("a`b"); }, "a`b"},
        {[] { (void)browser::accessCopyTableSql("a`b", "c"); }, "a`b"},
        {[] { (void)browser::accessCopyTableSql("c", "a`b"); }, "a`b"},
    };
    for (const auto& [build, name] : refused) {
        const db::Error e = errorOf(build);
        EXPECT_EQ(e.number(), db::errc::kSyntax);
        EXPECT_EQ(e.description(), "The table name \"" + name +
                                       "\" cannot be used in an Access file: it holds the "
                                       "character \"`\".");
    }
    EXPECT_EQ(errorOf([] { (void)browser::accessCopyTableSql("t", "x.y"); }).description(),
              "The table name \"x.y\" cannot be used in an Access file: it holds the character "
              "\".\".");
    EXPECT_EQ(errorOf([] { (void)browser::accessDeleteTableSql(" lead"); }).description(),
              "The table name \" lead\" cannot be used in an Access file: it starts with a "
              "blank.");
    EXPECT_EQ(
        errorOf([] { (void)browser::accessDeleteTableSql(std::string(65, 'n')); }).description(),
        "The table name \"" + std::string(65, 'n') +
            "\" cannot be used in an Access file: it is longer than 64 characters.");
}

TEST(IntermediateName, TheNameGetsASuffixAndStaysWithin64Characters) {
    EXPECT_EQ(browser::intermediateTableName("TABLE1", 1), "TABLE1_renaming");
    EXPECT_EQ(browser::intermediateTableName("TABLE1", 2), "TABLE1_renaming2");
    EXPECT_EQ(browser::intermediateTableName("TABLE1", 12), "TABLE1_renaming12");
    const std::string longName(64, 'x');
    EXPECT_EQ(browser::intermediateTableName(longName, 1), std::string(55, 'x') + "_renaming");
    EXPECT_EQ(browser::intermediateTableName(longName, 3), std::string(54, 'x') + "_renaming3");
    // Characters, not bytes, are counted, and none is cut in half.
    std::string umlauts;
    for (int i = 0; i < 60; ++i)
        umlauts += "ä";
    const std::string cut = browser::intermediateTableName(umlauts, 1);
    std::string expected;
    for (int i = 0; i < 55; ++i)
        expected += "ä";
    EXPECT_EQ(cut, expected + "_renaming");
}

class RenameByCopy : public ::testing::Test {
  protected:
    void SetUp() override {
        DM_REQUIRE_FIXTURE("access/V2003/queryTestV2003.mdb");
        file = dir.copyFixture("access/V2003/queryTestV2003.mdb").string();
        std::ifstream in(file, std::ios::binary);
        before.assign(std::istreambuf_iterator<char>(in), {});
    }
    std::string bytes() const {
        std::ifstream in(file, std::ios::binary);
        return std::string(std::istreambuf_iterator<char>(in), {});
    }
    bool rename(const std::string& from, const std::string& to) {
        return browser::renameAccessTableByCopy(from, to, file, "", [this](const std::string& n) {
            asked.push_back(n);
            return overwrite;
        });
    }
    testenv::TempDir dir;
    std::string file;
    std::string before;
    std::vector<std::string> asked;
    bool overwrite = false;
};

TEST_F(RenameByCopy, ExactlyTheSameNameChangesNothingAndAsksNothing) {
    EXPECT_TRUE(rename("Table2", "Table2"));
    EXPECT_TRUE(asked.empty());
    EXPECT_TRUE(bytes() == before) << "the file changed";
}

TEST_F(RenameByCopy, DecliningToOverwriteReturnsFalseAndLeavesTheFile) {
    overwrite = false;
    EXPECT_FALSE(rename("Table1", "TABLE3"));
    EXPECT_EQ(asked, std::vector<std::string>{"TABLE3"});
    EXPECT_TRUE(bytes() == before) << "the file changed";
    EXPECT_EQ(browser::overwriteQuestionText("TABLE3"), "Would you like to overwrite TABLE3?");
    EXPECT_STREQ(browser::kOverwriteTitle, "Overwrite?");
}

TEST_F(RenameByCopy, AMissingFileCannotBeOpened) {
    const std::string gone = (dir.path() / "gone.mdb").string();
    const db::Error e =
        errorOf([&] { browser::renameAccessTableByCopy("Table1", "Other", gone, "", {}); });
    EXPECT_EQ(e.number(), db::errc::kCannotOpen);
    EXPECT_TRUE(asked.empty());
}

TEST_F(RenameByCopy, InLetterCaseOnlyGoesThroughAFreeIntermediateName) {
    // The first intermediate name is taken by another table, so the second one is used.
    ASSERT_TRUE(rename("Table3", "TABLE1_renaming"));
    ASSERT_TRUE(rename("Table1", "TABLE1"));
    EXPECT_TRUE(asked.empty());
    db::LoginFields l;
    l.accessPath = file;
    const auto names = db::getAccessTableNames(file, l);
    ASSERT_TRUE(names.has_value());
    std::vector<std::string> sorted = *names;
    std::sort(sorted.begin(), sorted.end());
    EXPECT_EQ(sorted, (std::vector<std::string>{"TABLE1", "TABLE1_renaming", "Table2"}));
}

}  // namespace
