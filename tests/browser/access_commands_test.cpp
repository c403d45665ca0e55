// "Delete Table/s" and "Rename Table" on the Access side, on copies of real Access files, with
// mdb-tables as the independent reader of what the file holds afterwards. Where the engine does
// not write files, the same commands must report each failing statement, go on, and leave the
// file's tables where they were.
#include <gtest/gtest.h>

#include <QFile>

#include "browser/list_tables.h"
#include "db/connection.h"
#include "tests/browser/browser_fixture.h"
#include "ui/window_helpers.h"

namespace browsertest {
namespace {

// Table1, Table2, Table3, none of them in a relationship.
const char* const kFile = "access/V2003/queryTestV2003.mdb";
// Table1, Table2, Table3, all in relationships, which keep a table from being dropped.
const char* const kRelatedFile = "access/V2003/indexTestV2003.mdb";

QByteArray bytesOf(const std::filesystem::path& p) {
    QFile f(QString::fromStdString(p.string()));
    f.open(QIODevice::ReadOnly);
    return f.readAll();
}

class AccessCommandsTest : public BrowserTest {
  protected:
    void SetUp() override {
        BrowserTest::SetUp();
        if (!std::filesystem::exists(testenv::fixturesDir() / kFile)) return;
        file = useAccessCopy(kFile, "shop.mdb");
        browser::listAccessTables(*list1(), QString::fromStdString(file.string()));
        before = bytesOf(file);
    }
    void select(std::initializer_list<int> rows) {
        for (int r : rows)
            list1()->setItemSelected(r, true);
    }
    long rowsOf(const std::string& table) {
        db::Connection cn;
        cn.open(db::buildAccessConnectionString(login));
        return cn.execute("SELECT * FROM `" + table + "`")->recordCount();
    }
    // Compared as a whole; a difference is not printed byte by byte.
    void expectFileUnchanged() { EXPECT_TRUE(bytesOf(file) == before) << "the file changed"; }
    void expectIdle() { EXPECT_EQ(ui::mousePointer(&form()), ui::kPointerDefault); }

    std::filesystem::path file;
    QByteArray before;
};

TEST_F(AccessCommandsTest, DeleteWithASelectionButNoCurrentItemRefusesAndDeletesNothing) {
    DM_REQUIRE_FIXTURE(kFile);
    select({0, 1, 2});
    ASSERT_EQ(list1()->listIndex(), -1);  // as the listing left it
    button("PushButton1")->click();
    ASSERT_EQ(messageTexts(), QStringList{"Please select a table"});
    EXPECT_EQ(prompts.messages()[0].title, "Dunmorrow");
    EXPECT_EQ(list1()->count(), 3);
    expectFileUnchanged();
    expectIdle();
}

TEST_F(AccessCommandsTest, DeleteWithACurrentItemButNothingSelectedDoesNothingSilently) {
    DM_REQUIRE_FIXTURE(kFile);
    list1()->setListIndex(1);
    button("PushButton1")->click();
    EXPECT_TRUE(prompts.records().empty());
    EXPECT_EQ(list1()->count(), 3);
    expectFileUnchanged();
}

TEST_F(AccessCommandsTest, AFailingDropIsReportedTheItemGoesAndTheWalkGoesOn) {
    DM_REQUIRE_FIXTURE(kFile);
    list1()->addItem("Ghost");  // listed, but not in the file
    ASSERT_EQ(names(list1()), (QStringList{"Ghost", "Table1", "Table2", "Table3"}));
    select({0, 2});
    list1()->setListIndex(0);
    prompts.queueAnswer(ui::Answer::Yes);
    button("PushButton1")->click();
    const QStringList texts = messageTexts();
    const QString at116 =
        "\r\nin Quillfen2021/08/31.Form2.PushButton1_Click at line 116" + kReportTail;
    // Both items go whatever the file said, and the walk reached the first item.
    EXPECT_EQ(names(list1()), (QStringList{"Table1", "Table3"}));
    ASSERT_EQ(texts.size(), 2) << texts.join("|").toStdString();
    EXPECT_EQ(texts[0],
              "Delete these 2 tables from the Access database?\r\nGhost, Table2\r\nThis cannot "
              "be undone.");
    EXPECT_TRUE(texts[1].endsWith(at116)) << texts[1].toStdString();
    EXPECT_EQ(mdbTables(file), names(list1()));
    expectIdle();
}

TEST_F(AccessCommandsTest, DeleteWithThreeSelectedRemovesTheThreeTablesAndItems) {
    DM_REQUIRE_FIXTURE("access/V2007/testV2007.accdb");
    file = useAccessCopy("access/V2007/testV2007.accdb");
    browser::listAccessTables(*list1(), QString::fromStdString(file.string()));
    ASSERT_EQ(names(list1()), (QStringList{"Table1", "Table2", "Table3", "Table4"}));
    select({0, 1, 3});
    list1()->setListIndex(3);
    prompts.queueAnswer(ui::Answer::Yes);
    button("PushButton1")->click();
    ASSERT_EQ(prompts.messages().size(), 1u) << messageTexts().join("|").toStdString();
    const ui::MessageRequest asked = prompts.messages()[0];
    EXPECT_EQ(asked.text,
              "Delete these 3 tables from the Access database?\r\nTable1, Table2, Table4\r\n"
              "This cannot be undone.");
    EXPECT_EQ(asked.title, "Delete?");
    EXPECT_EQ(asked.buttons, ui::Buttons::YesNo);
    EXPECT_EQ(asked.defaultButton, ui::Answer::No);
    EXPECT_EQ(names(list1()), QStringList{"Table3"});
    EXPECT_EQ(mdbTables(file), names(list1()));
    expectIdle();
}

TEST_F(AccessCommandsTest, RenameRefusalsCountTheSelectionFirst) {
    DM_REQUIRE_FIXTURE(kFile);
    // Nothing selected (and no current item): the count is tested first.
    button("PushButton6")->click();
    EXPECT_EQ(messageTexts(), QStringList{"Please select just one table to rename."});
    prompts.clear();
    list1()->setListIndex(0);
    button("PushButton6")->click();
    EXPECT_EQ(messageTexts(), QStringList{"Please select just one table to rename."});
    prompts.clear();
    select({0, 2});
    button("PushButton6")->click();
    EXPECT_EQ(messageTexts(), QStringList{"Please select just one table to rename."});
    // One selected, no current item.
    prompts.clear();
    list1()->setItemSelected(0, false);
    list1()->setListIndex(-1);
    button("PushButton6")->click();
    EXPECT_EQ(messageTexts(), QStringList{"Please select a table to rename."});
    EXPECT_EQ(prompts.messages()[0].title, "Dunmorrow");
    EXPECT_EQ(list1()->count(), 3);
    expectFileUnchanged();
    expectIdle();
}

TEST_F(AccessCommandsTest, CancelInTheInputBoxChangesNothing) {
    DM_REQUIRE_FIXTURE(kFile);
    select({1});
    list1()->setListIndex(1);
    prompts.queueInput("");
    button("PushButton6")->click();
    ASSERT_EQ(prompts.records().size(), 1u);
    const ui::InputRequest& asked = prompts.records()[0].input;
    EXPECT_EQ(asked.prompt, "Enter new name of Table2:");
    EXPECT_EQ(asked.title, "Dunmorrow");
    EXPECT_EQ(asked.defaultText, "Table2");
    EXPECT_EQ(names(list1()), (QStringList{"Table1", "Table2", "Table3"}));
    expectFileUnchanged();
    expectIdle();
}

TEST_F(AccessCommandsTest, RenameOntoAnotherTableAnsweredNoChangesNothing) {
    DM_REQUIRE_FIXTURE(kFile);
    select({0});
    list1()->setListIndex(0);
    prompts.queueInput("table2");
    prompts.queueAnswer(ui::Answer::No);
    button("PushButton6")->click();
    ASSERT_EQ(prompts.messages().size(), 1u) << messageTexts().join("|").toStdString();
    const ui::MessageRequest q = prompts.messages()[0];
    EXPECT_EQ(q.text, "Would you like to overwrite table2?");
    EXPECT_EQ(q.title, "Overwrite?");
    EXPECT_EQ(q.buttons, ui::Buttons::YesNo);
    EXPECT_EQ(q.icon, ui::Icon::None);
    EXPECT_EQ(names(list1()), (QStringList{"Table1", "Table2", "Table3"}));
    expectFileUnchanged();
    expectIdle();
}

TEST_F(AccessCommandsTest, RenameOntoAnotherTableAnsweredYesReplacesItByTheCopy) {
    DM_REQUIRE_FIXTURE(kFile);
    const long table1Rows = rowsOf("Table1");
    select({0});
    list1()->setListIndex(0);
    prompts.queueInput("Table2");
    prompts.queueAnswer(ui::Answer::Yes);
    button("PushButton6")->click();
    EXPECT_EQ(messageTexts(), QStringList{"Would you like to overwrite Table2?"});
    // The overwritten table's item goes with it: the list names Table2 once, as the file does.
    EXPECT_EQ(names(list1()), (QStringList{"Table2", "Table3"}));
    EXPECT_EQ(mdbTables(file), names(list1()));
    EXPECT_EQ(rowsOf("Table2"), table1Rows);
    expectIdle();
}

TEST_F(AccessCommandsTest, RenameToAFreeNameCopiesAndDropsTheOld) {
    DM_REQUIRE_FIXTURE(kFile);
    select({2});
    list1()->setListIndex(2);
    prompts.queueInput("Archive");
    const long rows = rowsOf("Table3");
    button("PushButton6")->click();
    // The list changes as for a rename that went through, whatever the file said.
    EXPECT_EQ(names(list1()), (QStringList{"Archive", "Table1", "Table2"}));
    EXPECT_EQ(prompts.messages().size(), 0u) << messageTexts().join("|").toStdString();
    EXPECT_EQ(mdbTables(file), names(list1()));
    EXPECT_EQ(rowsOf("Archive"), rows);
    expectIdle();
}

TEST_F(AccessCommandsTest, RenameToExactlyTheSameNameChangesNothing) {
    DM_REQUIRE_FIXTURE(kFile);
    select({1});
    list1()->setListIndex(1);
    prompts.queueInput("Table2");
    button("PushButton6")->click();
    EXPECT_EQ(prompts.messages().size(), 0u) << messageTexts().join("|").toStdString();
    EXPECT_EQ(names(list1()), (QStringList{"Table1", "Table2", "Table3"}));
    expectFileUnchanged();
    expectIdle();
}

TEST_F(AccessCommandsTest, RenameInLetterCaseOnlyNeverLosesTheTable) {
    DM_REQUIRE_FIXTURE(kFile);
    select({1});
    list1()->setListIndex(1);
    prompts.queueInput("TABLE2");
    const long rows = rowsOf("Table2");
    button("PushButton6")->click();
    // The table itself is no other table to overwrite: no question.
    for (const auto& m : prompts.messages())
        EXPECT_NE(m.title, "Overwrite?");
    EXPECT_EQ(names(list1()), (QStringList{"Table1", "TABLE2", "Table3"}));
    EXPECT_EQ(prompts.messages().size(), 0u) << messageTexts().join("|").toStdString();
    EXPECT_EQ(mdbTables(file), names(list1()));  // no intermediate table left behind
    EXPECT_EQ(rowsOf("TABLE2"), rows);
}

TEST_F(AccessCommandsTest, ATableInARelationshipKeepsItsNameAndLeavesNoIntermediateCopy) {
    DM_REQUIRE_FIXTURE(kRelatedFile);
    file = useAccessCopy(kRelatedFile, "related.mdb");
    browser::listAccessTables(*list1(), QString::fromStdString(file.string()));
    select({1});
    list1()->setListIndex(1);
    prompts.queueInput("TABLE2");
    button("PushButton6")->click();
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(messageTexts()[0],
              report("The table 'Table2' takes part in a relationship; delete the relationship "
                     "before the table.",
                     "PushButton6_Click", 120));
    EXPECT_EQ(mdbTables(file), (QStringList{"Table1", "Table2", "Table3"}));
}

}  // namespace
}  // namespace browsertest
