// The two listings against real databases: Access files of every version beside mdb-tables,
// and the test server's SHOW TABLES; the order, the current item, refilling, and the failures.
#include <gtest/gtest.h>

#include "browser/list_tables.h"
#include "db/error.h"
#include "tests/browser/browser_fixture.h"

namespace browsertest {
namespace {

class ListingTest : public BrowserTest {};

TEST_F(ListingTest, AccessFilesOfEveryVersionListTheirUserTablesAsMdbToolsReadsThem) {
    DM_REQUIRE_FIXTURE("access/V1997/testV1997.mdb");
    for (const char* f : {"access/V1997/testIndexCodesV1997.mdb", "access/V1997/testV1997.mdb",
                          "access/V2000/fixedTextTestV2000.mdb", "access/V2003/queryTestV2003.mdb",
                          "access/V2007/queryTestV2007.accdb", "access/V2007/testV2007.accdb",
                          "access/V2010/testEmoticonsV2010.accdb",
                          "access/V2019/extDateTestV2019.accdb", "access/encrypted/db-enc.mdb"}) {
        const auto copy = useAccessCopy(f);
        browser::listAccessTables(*list1(), QString::fromStdString(copy.string()));
        EXPECT_EQ(names(list1()), mdbTables(copy)) << f;
        EXPECT_EQ(list1()->listIndex(), -1) << f;
        EXPECT_EQ(list1()->selectedCount(), 0) << f;
    }
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(ListingTest, AccessNamesAreSortedWhateverOrderTheCatalogueGives) {
    DM_REQUIRE_FIXTURE("access/V1997/testIndexCodesV1997.mdb");
    const auto copy = useAccessCopy("access/V1997/testIndexCodesV1997.mdb");
    browser::listAccessTables(*list1(), QString::fromStdString(copy.string()));
    const QStringList shown = names(list1());
    ASSERT_EQ(shown.size(), 29);
    EXPECT_EQ(shown.mid(0, 4), (QStringList{"Table1", "Table10", "Table10_desc", "Table11"}));
    EXPECT_EQ(shown.last(), "Table9_desc");
}

TEST_F(ListingTest, AFileWithOnlySystemTablesGivesAnEmptyList) {
    DM_REQUIRE_FIXTURE("access/empty/empty2019.accdb");
    for (const char* f :
         {"access/empty/empty.mdb", "access/empty/empty2019.accdb", "access/misc/emptyJet4.mdb"}) {
        list1()->addItem("left over");
        const auto copy = useAccessCopy(f);
        browser::listAccessTables(*list1(), QString::fromStdString(copy.string()));
        EXPECT_EQ(list1()->count(), 0) << f;
    }
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(ListingTest, AMissingFileSaysUnableToAccessTheDatabaseAndEmptiesTheList) {
    list1()->addItem("left over");
    login.accessPath = (dir.path() / "gone.mdb").string();
    browser::listAccessTables(*list1(), QString::fromStdString(login.accessPath));
    EXPECT_EQ(list1()->count(), 0);
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text, "Unable to access the database");
    EXPECT_EQ(prompts.messages()[0].title, "Dunmorrow");
    EXPECT_EQ(prompts.messages()[0].buttons, ui::Buttons::Ok);
    EXPECT_EQ(prompts.messages()[0].icon, ui::Icon::Exclamation);
}

TEST_F(ListingTest, AWrongAccessPasswordFailsTheListingWithTheListCleared) {
    DM_REQUIRE_FIXTURE("access/V1997/testV1997.mdb");
    const auto copy = useAccessCopy("access/V1997/testV1997.mdb");
    setJet3Password(copy, "opensesame");
    list1()->addItem("left over");
    login.accessPassword = "OpenSesame";
    try {
        browser::listAccessTables(*list1(), QString::fromStdString(copy.string()));
        ADD_FAILURE() << "a wrong password listed the tables";
    } catch (const db::Error& e) {
        EXPECT_EQ(e.number(), db::errc::kWrongPassword);
        EXPECT_EQ(e.description(), "Not a valid password.");
    }
    EXPECT_EQ(list1()->count(), 0);
    // With the right one the same file lists.
    login.accessPassword = "opensesame";
    browser::listAccessTables(*list1(), QString::fromStdString(copy.string()));
    EXPECT_EQ(names(list1()), (QStringList{"Table1", "Table2", "Table3", "Table4"}));
}

TEST_F(ListingTest, MySqlTablesAreSortedWithoutRegardToCaseAndTheFirstIsCurrent) {
    DM_REQUIRE_MYSQL();
    auto& db = useScratchDatabase();
    for (const char* t : {"zeta", "Alpha", "beta", "Gamma10", "gamma9", "_under", "Ärger"})
        db.exec(std::string("CREATE TABLE `") + t + "` (id INT)");
    browser::listMySqlTables(*list2());
    EXPECT_EQ(names(list2()),
              (QStringList{"_under", "Alpha", "beta", "Gamma10", "gamma9", "zeta", "Ärger"}));
    EXPECT_EQ(list2()->listIndex(), 0);
    EXPECT_EQ(list2()->selectedCount(), 0);  // current, not selected
    // Listing again replaces the list.
    db.exec("DROP TABLE `zeta`");
    browser::listMySqlTables(*list2());
    EXPECT_EQ(list2()->count(), 6);
    EXPECT_EQ(list2()->listIndex(), 0);
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(ListingTest, AMySqlDatabaseWithoutTablesGivesAnEmptyListWithoutCurrentItem) {
    DM_REQUIRE_MYSQL();
    useScratchDatabase();
    list2()->addItem("left over");
    list2()->setListIndex(0);
    browser::listMySqlTables(*list2());
    EXPECT_EQ(list2()->count(), 0);
    EXPECT_EQ(list2()->listIndex(), -1);
}

TEST_F(ListingTest, AMySqlLoginThatFailsLeavesTheListAsItWas) {
    DM_REQUIRE_MYSQL();
    useScratchDatabase();
    login.password = "not-the-password";
    list2()->addItem("left over");
    EXPECT_THROW(browser::listMySqlTables(*list2()), db::Error);
    // The list is cleared only after the server answered.
    EXPECT_EQ(names(list2()), QStringList{"left over"});
}

}  // namespace
}  // namespace browsertest
