// "Delete Table/s" and "Rename Table" on the MySQL side, against the test server: what reaches
// the server, what the list shows, the refusals in their order, and the failure policy.
#include <gtest/gtest.h>

#include "browser/list_tables.h"
#include "tests/browser/browser_fixture.h"
#include "ui/window_helpers.h"

namespace browsertest {
namespace {

class MySqlCommandsTest : public BrowserTest {
  protected:
    // Creates the tables and lists them as "Next >" does (the first one current).
    void withTables(std::initializer_list<const char*> tables) {
        auto& db = useScratchDatabase();
        for (const char* t : tables) {
            std::string quoted;  // the test's own statement doubles a backquote
            for (const char* c = t; *c; ++c)
                quoted += *c == '`' ? std::string("``") : std::string(1, *c);
            db.exec("CREATE TABLE `" + quoted + "` (id INT)");
        }
        browser::listMySqlTables(*list2());
    }
    void select(std::initializer_list<int> rows) {
        for (int r : rows)
            list2()->setItemSelected(r, true);
    }
    void expectIdle() { EXPECT_EQ(ui::mousePointer(&form()), ui::kPointerDefault); }
};

TEST_F(MySqlCommandsTest, DeleteWithThreeSelectedDropsThemAndKeepsTheOthersInOrder) {
    DM_REQUIRE_MYSQL();
    withTables({"a1", "b2", "c3", "d4", "e5"});
    select({0, 2, 4});
    list2()->setListIndex(2);
    prompts.queueAnswer(ui::Answer::Yes);
    button("PushButton5")->click();
    EXPECT_EQ(names(list2()), (QStringList{"b2", "d4"}));
    EXPECT_EQ(serverTables(), (QStringList{"b2", "d4"}));
    EXPECT_EQ(list2()->selectedCount(), 0);
    EXPECT_EQ(messageTexts(), QStringList{"Delete these 3 tables from the MySQL database?\r\n"
                                          "a1, c3, e5\r\nThis cannot be undone."});
    expectIdle();
}

TEST_F(MySqlCommandsTest, DeleteWithASelectionButNoCurrentItemRefusesAndDeletesNothing) {
    DM_REQUIRE_MYSQL();
    withTables({"a1", "b2"});
    select({0, 1});
    list2()->setListIndex(-1);
    button("PushButton5")->click();
    ASSERT_EQ(messageTexts(), QStringList{"Please select a table"});
    EXPECT_EQ(prompts.messages()[0].title, "Dunmorrow");
    EXPECT_EQ(prompts.messages()[0].icon, ui::Icon::None);
    EXPECT_EQ(serverTables(), (QStringList{"a1", "b2"}));
    EXPECT_EQ(names(list2()), (QStringList{"a1", "b2"}));
    expectIdle();
}

TEST_F(MySqlCommandsTest, DeleteWithACurrentItemButNothingSelectedDoesNothingSilently) {
    DM_REQUIRE_MYSQL();
    withTables({"a1", "b2"});
    ASSERT_EQ(list2()->listIndex(), 0);  // as the listing left it
    button("PushButton5")->click();
    EXPECT_TRUE(prompts.records().empty());
    EXPECT_EQ(serverTables(), (QStringList{"a1", "b2"}));
    EXPECT_EQ(names(list2()), (QStringList{"a1", "b2"}));
}

TEST_F(MySqlCommandsTest, ARejectedDropIsReportedTheItemGoesAndTheWalkGoesOn) {
    DM_REQUIRE_MYSQL();
    withTables({"a1", "c3"});
    list2()->addItem("b2");  // listed, but not on the server
    select({0, 1, 2});
    prompts.queueAnswer(ui::Answer::Yes);
    button("PushButton5")->click();
    ASSERT_EQ(prompts.messages().size(), 2u);
    EXPECT_EQ(prompts.messages()[1].text,
              report(QString("Unknown table '%1.b2'").arg(QString::fromStdString(scratch->name())),
                     "PushButton5_Click", 112));
    EXPECT_EQ(list2()->count(), 0);
    EXPECT_TRUE(serverTables().isEmpty());  // a1 (after b2) and c3 (before it) both went
    expectIdle();
}

TEST_F(MySqlCommandsTest, ALoginThatFailsIsReportedAndEachDropFailsInTurn) {
    DM_REQUIRE_MYSQL();
    withTables({"a1", "b2", "c3"});
    login.password = "not-the-password";
    select({0, 2});
    prompts.queueAnswer(ui::Answer::Yes);
    button("PushButton5")->click();
    const QStringList texts = messageTexts();
    ASSERT_EQ(texts.size(), 4);
    EXPECT_TRUE(texts[0].endsWith("\r\nin Quillfen2021/08/31.Form2.PushButton5_Click at line 104" +
                                  kReportTail))
        << texts[0].toStdString();
    EXPECT_TRUE(texts[1].startsWith("Delete these 2 tables")) << texts[1].toStdString();
    const QString closed = "Operation is not allowed when the object is closed.";
    EXPECT_EQ(texts[2], report(closed, "PushButton5_Click", 112));
    EXPECT_EQ(texts[3], report(closed, "PushButton5_Click", 112));
    // The items go all the same; the tables stay.
    EXPECT_EQ(names(list2()), QStringList{"b2"});
    EXPECT_EQ(serverTables(), (QStringList{"a1", "b2", "c3"}));
    expectIdle();
}

TEST_F(MySqlCommandsTest, ANameHoldingABackquoteDropsThatTableAndNoOther) {
    DM_REQUIRE_MYSQL();
    // "a1`, `c3" between backquotes without doubling would read as two other tables.
    withTables({"a1", "c3", "a1`, `c3"});
    ASSERT_EQ(names(list2()), (QStringList{"a1", "a1`, `c3", "c3"}));
    select({1});
    prompts.queueAnswer(ui::Answer::Yes);
    button("PushButton5")->click();
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text,
              "Delete the table a1`, `c3 from the MySQL database?\r\nThis cannot be undone.");
    EXPECT_EQ(names(list2()), (QStringList{"a1", "c3"}));
    EXPECT_EQ(serverTables(), (QStringList{"a1", "c3"}));
}

TEST_F(MySqlCommandsTest, RenameAsksWithTheOldNamePresetAndRenamesOnTheServer) {
    DM_REQUIRE_MYSQL();
    withTables({"b2", "orders", "z9"});
    select({1});
    list2()->setListIndex(1);
    prompts.queueInput("Archive");
    button("PushButton7")->click();
    ASSERT_EQ(prompts.records().size(), 1u);
    const ui::InputRequest& asked = prompts.records()[0].input;
    EXPECT_EQ(prompts.records()[0].kind, ui::ScriptedPrompts::Record::Input);
    EXPECT_EQ(asked.prompt, "Enter new name of orders:");
    EXPECT_EQ(asked.title, "Dunmorrow");
    EXPECT_EQ(asked.defaultText, "orders");
    EXPECT_EQ(names(list2()), (QStringList{"Archive", "b2", "z9"}));
    EXPECT_EQ(serverTables(), (QStringList{"Archive", "b2", "z9"}));
    EXPECT_EQ(list2()->listIndex(), 0);
    expectIdle();
}

TEST_F(MySqlCommandsTest, RenameOnlyInLetterCaseWorksOnTheServer) {
    DM_REQUIRE_MYSQL();
    withTables({"orders"});
    select({0});
    prompts.queueInput("Orders");
    button("PushButton7")->click();
    EXPECT_EQ(names(list2()), QStringList{"Orders"});
    EXPECT_EQ(serverTables(), QStringList{"Orders"});
    EXPECT_EQ(prompts.messages().size(), 0u);
}

TEST_F(MySqlCommandsTest, CancelInTheInputBoxChangesNothing) {
    DM_REQUIRE_MYSQL();
    withTables({"a1", "b2"});
    select({1});
    prompts.queueInput("");
    button("PushButton7")->click();
    EXPECT_EQ(prompts.records().size(), 1u);  // the input box only
    EXPECT_EQ(names(list2()), (QStringList{"a1", "b2"}));
    EXPECT_EQ(serverTables(), (QStringList{"a1", "b2"}));
    EXPECT_TRUE(list2()->isItemSelected(1));
    expectIdle();
}

TEST_F(MySqlCommandsTest, RenameRefusalsComeInTheirOrder) {
    DM_REQUIRE_MYSQL();
    withTables({"a1", "b2", "c3"});
    // A current item and nothing selected.
    button("PushButton7")->click();
    EXPECT_EQ(messageTexts(), QStringList{"Please select just one table to rename."});
    // Two selected.
    prompts.clear();
    select({0, 1});
    button("PushButton7")->click();
    EXPECT_EQ(messageTexts(), QStringList{"Please select just one table to rename."});
    // No current item is tested first, whatever is selected.
    prompts.clear();
    list2()->setListIndex(-1);
    button("PushButton7")->click();
    EXPECT_EQ(messageTexts(), QStringList{"Please select a table to rename."});
    prompts.clear();
    list2()->setItemSelected(1, false);
    button("PushButton7")->click();
    EXPECT_EQ(messageTexts(), QStringList{"Please select a table to rename."});
    EXPECT_EQ(prompts.messages()[0].title, "Dunmorrow");
    EXPECT_EQ(serverTables(), (QStringList{"a1", "b2", "c3"}));
    expectIdle();
}

TEST_F(MySqlCommandsTest, RenameOntoAnExistingNameIsReportedAndTheListHoldsThatNameTwice) {
    DM_REQUIRE_MYSQL();
    withTables({"a1", "b2", "c3"});
    select({0});
    prompts.queueInput("c3");
    button("PushButton7")->click();
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_EQ(prompts.messages()[0].text,
              report("Table 'c3' already exists", "PushButton7_Click", 120));
    EXPECT_EQ(names(list2()), (QStringList{"b2", "c3", "c3"}));
    EXPECT_EQ(serverTables(), (QStringList{"a1", "b2", "c3"}));
    EXPECT_EQ(list2()->listIndex(), 0);
    expectIdle();
}

TEST_F(MySqlCommandsTest, ANewNameHoldingABackquoteIsTheNameTheTableGets) {
    DM_REQUIRE_MYSQL();
    withTables({"a1", "b2"});
    select({1});
    prompts.queueInput("x` TO `y");
    button("PushButton7")->click();
    EXPECT_TRUE(prompts.messages().empty());
    EXPECT_EQ(serverTables(), (QStringList{"a1", "x` TO `y"}));
    EXPECT_EQ(names(list2()), (QStringList{"a1", "x` TO `y"}));
}

}  // namespace
}  // namespace browsertest
