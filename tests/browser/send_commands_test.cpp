// "Send Table/s To MySQL" and "Send Table/s To Access", clicked in the table browser against the
// test server and copies of real Access files: the refusals, the order of the tables, the
// overwrite question and what it does to the lists, empty tables, Null rows and awkward text,
// the customisation dialog cancelled (and the text that waits for the next command), the
// failure report with its statement, the progress bar, and the refill after an execution.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QProgressBar>

#include "browser/list_tables.h"
#include "browser/text_progress_bar.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "tests/browser/send_fixture.h"
#include "ui/app_title.h"
#include "ui/window_helpers.h"

namespace browsertest {
namespace {

const char* const kIndexFile = "access/V2003/indexTestV2003.mdb";  // Table1, Table2, Table3
const char* const kEmptyTablesFile = "access/V2003/queryTestV2003.mdb";

// The lines the default mapping writes for the tables of indexTestV2003.mdb.
const std::string kTable1 =
    "CREATE TABLE `Table1`(`id` INT,`otherfk1` INT,`otherfk2` INT,`data` text,`otherfk3` INT)"
    "\r\n\r\n"
    "INSERT INTO `Table1` VALUES('0', '0', '10', 'baz0', '0')\r\n"
    "INSERT INTO `Table1` VALUES('1', '1', '11', 'baz11', '0')\r\n"
    "INSERT INTO `Table1` VALUES('2', '1', '11', 'baz11-2', '0')\r\n"
    "INSERT INTO `Table1` VALUES('3', '2', '13', 'baz13', '0')\r\n"
    "\r\n";
const std::string kTable2 =
    "CREATE TABLE `Table2`(`id` INT,`data` text)\r\n\r\n"
    "INSERT INTO `Table2` VALUES('0', 'foo0')\r\n"
    "INSERT INTO `Table2` VALUES('1', 'foo1')\r\n"
    "INSERT INTO `Table2` VALUES('2', 'foo2')\r\n"
    "\r\n";
const std::string kTable3 =
    "CREATE TABLE `Table3`(`id` INT,`data` text)\r\n\r\n"
    "INSERT INTO `Table3` VALUES('10', 'bar10')\r\n"
    "INSERT INTO `Table3` VALUES('11', 'bar11')\r\n"
    "INSERT INTO `Table3` VALUES('12', 'bar12')\r\n"
    "INSERT INTO `Table3` VALUES('13', 'bar13')\r\n"
    "\r\n";

class SendCommandsTest : public SendTest {
  protected:
    // The index fixture as the Access file and a scratch database with `tables` (id INT), both
    // listed.
    void withBoth(std::initializer_list<const char*> tables, const char* fixture = kIndexFile) {
        access_ = useAccessCopy(fixture);
        auto& db = useScratchDatabase();
        for (const char* t : tables)
            db.exec(std::string("CREATE TABLE `") + t + "` (id INT)");
        listBoth();
    }
    const std::filesystem::path& accessFile() const { return access_; }
    void expectIdle() { EXPECT_EQ(ui::mousePointer(&form()), ui::kPointerDefault); }
    std::string serverTables() {
        auto rs = scratch->exec("SHOW TABLES");
        std::string out;
        for (; !rs->eof(); rs->moveNext())
            out += rs->field(std::size_t{0}).value().asText() + " ";
        return out;
    }

    std::filesystem::path access_;
};

void expectInformation(const ui::MessageRequest& m, const QString& text) {
    EXPECT_EQ(m.text, text);
    EXPECT_EQ(m.title, ui::applicationTitle());
    EXPECT_EQ(m.buttons, ui::Buttons::Ok);
    EXPECT_EQ(m.icon, ui::Icon::None);
}

// ---- refusals and empty selections ----

TEST_F(SendCommandsTest, WithoutACurrentItemEachSideRefusesAndDoesNothingElse) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({"Table1"});
    select(list1(), {"Table2"});
    ASSERT_EQ(list1()->listIndex(), -1);  // the Access listing leaves no current item
    button("PushButton3")->click();
    ASSERT_EQ(prompts.messages().size(), 1u);
    expectInformation(prompts.messages()[0], "Please select a table");

    select(list2(), {"Table1"});
    list2()->setListIndex(-1);
    button("PushButton4")->click();
    ASSERT_EQ(prompts.messages().size(), 2u);
    expectInformation(prompts.messages()[1], "Please select a table to send.");
    EXPECT_EQ(form().form4(), nullptr);
    expectIdle();
}

TEST_F(SendCommandsTest, ACurrentItemWithNothingSelectedOpensAnEmptyReviewWindow) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({"Table1"});
    list1()->setListIndex(1);
    ui::SqlExecuted = true;  // left over from an earlier command
    auto seen = expectReview();
    button("PushButton3")->click();
    EXPECT_TRUE(seen->shown);
    EXPECT_EQ(seen->text, "");
    EXPECT_EQ(seen->sendType, 0);
    EXPECT_FALSE(ui::SqlExecuted);
    EXPECT_EQ(form().form4(), nullptr);  // discarded once shown
    EXPECT_TRUE(prompts.records().empty());
    expectIdle();

    // The other side, with every selected table answered No: the window opens for Access.
    select(list2(), {"Table1"});
    prompts.queueAnswer(ui::Answer::No);
    scratch->exec("CREATE TABLE later (id INT)");
    seen = expectReview();
    button("PushButton4")->click();
    EXPECT_TRUE(seen->shown);
    EXPECT_EQ(seen->text, "");
    EXPECT_EQ(seen->sendType, 1);
    EXPECT_EQ(overwriteQuestions(), QStringList{"Would you like to overwrite Table1?"});
    EXPECT_EQ(names(list2()), QStringList{"Table1"});  // closed without executing: not listed anew
}

// ---- order, overwrite, No ----

TEST_F(SendCommandsTest, TablesGoFromTheBottomOfTheListUpInTheScript) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({});
    select(list1(), {"Table1", "Table3"});
    list1()->setListIndex(1);  // current but not selected: not sent
    auto seen = expectReview();
    button("PushButton3")->click();
    EXPECT_EQ(seen->text, kTable3 + kTable1);
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(SendCommandsTest, OverwriteAsksInAnyLetterCaseDropsByTheSourceNameAndKeepsTheItems) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({"table1", "Table2"});
    select(list1(), {"Table1", "Table2", "Table3"});
    list1()->setListIndex(0);
    prompts.queueAnswer(ui::Answer::Yes);  // Table2
    prompts.queueAnswer(ui::Answer::Yes);  // Table1, listed on the server as table1
    QStringList listWhileShown;
    std::string text;
    modal->onForm4([&](review::Form4& w) {
        listWhileShown = names(list2());
        text = w.text();
        w.reject();
    });
    button("PushButton3")->click();

    ASSERT_EQ(prompts.messages().size(), 2u);
    for (const auto& m : prompts.messages()) {
        EXPECT_EQ(m.title, "Overwrite?");
        EXPECT_EQ(m.buttons, ui::Buttons::YesNo);
        EXPECT_EQ(m.icon, ui::Icon::None);
    }
    EXPECT_EQ(overwriteQuestions(), (QStringList{"Would you like to overwrite Table2?",
                                                 "Would you like to overwrite Table1?"}));
    EXPECT_EQ(text, kTable3 + "DROP TABLE `Table2`\r\n\r\n" + kTable2 +
                        "DROP TABLE `Table1`\r\n\r\n" + kTable1);
    // The server holds both tables until the script runs: the list keeps naming them, and the
    // review closed without Execute leaves it so.
    EXPECT_EQ(listWhileShown, (QStringList{"table1", "Table2"}));
    EXPECT_EQ(names(list2()), (QStringList{"table1", "Table2"}));
}

TEST_F(SendCommandsTest, TwoTablesOverwrittenAreReplacedOnTheServerWhenExecuted) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({"Table1", "Table2"});
    scratch->exec("INSERT INTO Table1 VALUES (99)");
    select(list1(), {"Table1", "Table2"});
    list1()->setListIndex(0);
    prompts.queueAnswer(ui::Answer::Yes);
    prompts.queueAnswer(ui::Answer::Yes);
    auto seen = expectReview(/*execute=*/true);
    button("PushButton3")->click();
    EXPECT_EQ(seen->text,
              "DROP TABLE `Table2`\r\n\r\n" + kTable2 + "DROP TABLE `Table1`\r\n\r\n" + kTable1);
    EXPECT_TRUE(seen->executedWithoutTrouble) << seen->notes.toStdString();
    EXPECT_EQ(prompts.messages().back().text, "Transfer finished.");
    EXPECT_TRUE(ui::SqlExecuted);
    EXPECT_EQ(scratch->scalar("SELECT GROUP_CONCAT(data ORDER BY id) FROM Table1"),
              "baz0,baz11,baz11-2,baz13");
    EXPECT_EQ(scratch->scalar("SELECT GROUP_CONCAT(id ORDER BY id) FROM Table2"), "0,1,2");
    // Listed anew from the server: both back, the current item the first.
    EXPECT_EQ(names(list2()), (QStringList{"Table1", "Table2"}));
    EXPECT_EQ(list2()->listIndex(), 0);
}

TEST_F(SendCommandsTest, NoSkipsTheTableEntirelyAndTheWalkGoesOn) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({"Table2"});
    select(list1(), {"Table1", "Table2", "Table3"});
    list1()->setListIndex(2);
    prompts.queueAnswer(ui::Answer::No);
    auto seen = expectReview();
    button("PushButton3")->click();
    EXPECT_EQ(seen->text, kTable3 + kTable1);
    EXPECT_EQ(names(list2()), QStringList{"Table2"});
}

// ---- what the rows become ----

TEST_F(SendCommandsTest, AnEmptyAccessTableGivesItsCreateLineAndTwoEmptyLines) {
    DM_REQUIRE_FIXTURE(kEmptyTablesFile);
    DM_REQUIRE_MYSQL();
    withBoth({}, kEmptyTablesFile);
    select(list1(), {"Table2"});
    list1()->setListIndex(1);
    auto seen = expectReview();
    button("PushButton3")->click();
    EXPECT_EQ(seen->text, "CREATE TABLE `Table2`(`col1` text,`col2` text,`col3` text)\r\n\r\n\r\n");
}

TEST_F(SendCommandsTest, MySqlRowsOfNullsLineBreaksBackslashesAndBackticksForAccess) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({});
    scratch->exec("CREATE TABLE edge (id INT, a VARCHAR(20), b TEXT)");
    scratch->exec(
        "INSERT INTO edge VALUES (NULL, NULL, NULL), (1, '\\r\\n', 'C:\\\\temp\\\\'), "
        "(2, 'a`b', 'x\\r\\ny\\rz\\nw'), (3, '', 'it''s \\\\''')");
    scratch->exec("CREATE TABLE nothing (id INT, t TEXT)");
    browser::listMySqlTables(*list2());
    select(list2(), {"edge", "nothing"});
    auto seen = expectReview();
    button("PushButton4")->click();
    EXPECT_EQ(seen->sendType, 1);
    // No backslash escapes for Access; a text with a CR LF pair is written in pieces joined by
    // the break's characters, a lone CR or LF stays; an empty text is NULL like a Null.
    EXPECT_EQ(seen->text,
              "CREATE TABLE `nothing`(`id` INT,`t` TEXT);\r\n\r\n\r\n"
              "CREATE TABLE `edge`(`id` INT,`a` TEXT,`b` TEXT);\r\n\r\n"
              "INSERT INTO `edge` VALUES(NULL, NULL, NULL)\r\n"
              "INSERT INTO `edge` VALUES('1', Chr(13) & Chr(10), 'C:\\temp\\')\r\n"
              "INSERT INTO `edge` VALUES('2', 'a`b', 'x' & Chr(13) & Chr(10) & 'y\rz\nw')\r\n"
              "INSERT INTO `edge` VALUES('3', NULL, 'it''s \\''')\r\n"
              "\r\n");
}

// ---- the customisation dialog ----

TEST_F(SendCommandsTest, CancellingTheDialogEndsTheCommandAndItsTextWaitsForTheNextOne) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({});
    scratch->exec("CREATE TABLE a (id INT)");
    scratch->exec("CREATE TABLE b (n VARCHAR(5))");
    scratch->exec("INSERT INTO b VALUES ('x')");
    scratch->exec("CREATE TABLE c (id INT)");
    scratch->exec("INSERT INTO c VALUES (7)");
    browser::listMySqlTables(*list2());
    form().check16()->setChecked(true);
    select(list2(), {"a", "b"});
    acceptCustomisation();  // b, the lower one, first
    cancelCustomisation();  // then a
    button("PushButton4")->click();
    ASSERT_NE(form().form4(), nullptr);  // collecting, not shown
    EXPECT_FALSE(form().form4()->isVisible());
    EXPECT_TRUE(ui::CustomizeCancelled);
    expectIdle();
    EXPECT_EQ(form().progressText(), "Progress Bar");

    const std::string bLines =
        "CREATE TABLE `b`([n] VARCHAR(5))\r\n\r\nINSERT INTO `b` VALUES('x')\r\n\r\n";
    form().check16()->setChecked(false);
    form().pushButton9Click();  // Deselect All
    select(list2(), {"c"});
    auto seen = expectReview();
    button("PushButton4")->click();
    EXPECT_EQ(seen->text, bLines +
                              "CREATE TABLE `c`(`id` INT);\r\n\r\n"
                              "INSERT INTO `c` VALUES('7')\r\n\r\n");
    EXPECT_EQ(form().form4(), nullptr);

    // The window was discarded with its text: the next command starts afresh.
    seen = expectReview();
    button("PushButton4")->click();
    EXPECT_EQ(seen->text, "CREATE TABLE `c`(`id` INT);\r\n\r\nINSERT INTO `c` VALUES('7')\r\n\r\n");
}

TEST_F(SendCommandsTest, CancellingTheFirstTablesDialogShowsNothingAndKeepsTheListsAsTheyWere) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({"Table3"});
    form().check15()->setChecked(true);
    select(list1(), {"Table2", "Table3"});
    list1()->setListIndex(0);
    prompts.queueAnswer(ui::Answer::Yes);  // Table3 exists on the server
    cancelCustomisation();
    button("PushButton3")->click();
    EXPECT_EQ(overwriteQuestions(), QStringList{"Would you like to overwrite Table3?"});
    // Nothing was added for the cancelled table: no DROP line, the list keeps its item.
    EXPECT_EQ(names(list2()), QStringList{"Table3"});
    EXPECT_EQ(form().form4(), nullptr);  // nothing was collected, so nothing was made
    expectIdle();
}

TEST_F(SendCommandsTest, TextLeftForOneDatabaseIsNotShownForTheOther) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({"a"});
    form().check15()->setChecked(true);
    select(list1(), {"Table2", "Table3"});
    list1()->setListIndex(0);
    acceptCustomisation();  // Table3
    cancelCustomisation();  // Table2
    button("PushButton3")->click();
    ASSERT_NE(form().form4(), nullptr);
    EXPECT_EQ(form().form4()->text().rfind("CREATE TABLE `Table3`(", 0), 0u);

    // Statements for MySQL would run on the Access file there: the next command to Access
    // starts without them.
    select(list2(), {"a"});
    auto seen = expectReview();
    button("PushButton4")->click();
    EXPECT_EQ(seen->sendType, 1);
    EXPECT_EQ(seen->text, "CREATE TABLE `a`(`id` INT);\r\n\r\n\r\n");
}

TEST_F(SendCommandsTest, AMySqlNameInOtherLetterCaseInTheAccessListCountsAsPresent) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({"table2"});
    select(list2(), {"table2"});
    prompts.queueAnswer(ui::Answer::Yes);
    auto seen = expectReview();
    button("PushButton4")->click();
    EXPECT_EQ(overwriteQuestions(), QStringList{"Would you like to overwrite table2?"});
    EXPECT_EQ(prompts.messages()[0].title, "Overwrite?");
    EXPECT_EQ(prompts.messages()[0].buttons, ui::Buttons::YesNo);
    EXPECT_EQ(seen->text,
              "DROP TABLE `table2`\r\n\r\nCREATE TABLE `table2`(`id` INT);\r\n\r\n\r\n");
    // The Access item stays: removal compares letter case.
    EXPECT_EQ(names(list1()), (QStringList{"Table1", "Table2", "Table3"}));
}

// ---- failures, progress, re-entry, the refill ----

TEST_F(SendCommandsTest, AFailingStepIsReportedWithTheLastStatementAndTheWalkGoesOn) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({});
    scratch->exec("CREATE TABLE aaa (id INT)");
    scratch->exec("CREATE TABLE zzz (id INT)");
    scratch->exec("INSERT INTO zzz VALUES (1), (2)");
    browser::listMySqlTables(*list2());
    scratch->exec("DROP TABLE aaa");  // gone behind the list's back
    select(list2(), {"aaa", "zzz"});
    auto seen = expectReview();
    button("PushButton4")->click();

    const auto boxes = prompts.messages();
    ASSERT_GE(boxes.size(), 2u);
    const QString first = boxes[0].text;
    const QString description = first.left(first.indexOf("\r\n"));
    EXPECT_TRUE(description.contains("aaa")) << description.toStdString();
    EXPECT_EQ(first, report(description, "PushButton4_Click", 128) +
                         "\r\rsql: INSERT INTO `zzz` VALUES('2')");
    EXPECT_EQ(boxes[0].title, "Application Error");
    EXPECT_EQ(boxes[0].icon, ui::Icon::Exclamation);
    // Later steps that need the record set fail too, with the head the command had made.
    EXPECT_TRUE(boxes[1].text.endsWith("\r\rsql: CREATE TABLE `aaa`("))
        << boxes[1].text.toStdString();
    // The review window still opens, with what was collected.
    EXPECT_TRUE(seen->shown);
    EXPECT_EQ(seen->text.rfind("CREATE TABLE `zzz`(`id` INT);\r\n\r\n"
                               "INSERT INTO `zzz` VALUES('1')\r\nINSERT INTO `zzz` VALUES('2')\r\n"
                               "\r\n",
                               0),
              0u);
    expectIdle();
}

TEST_F(SendCommandsTest, AnUnreadableAccessFileIsReportedAtItsStepAndTheWindowStillOpens) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({});
    select(list1(), {"Table2"});
    list1()->setListIndex(0);
    std::filesystem::remove(login.accessPath);
    auto seen = expectReview();
    button("PushButton3")->click();
    const auto boxes = prompts.messages();
    ASSERT_FALSE(boxes.empty());
    EXPECT_TRUE(boxes[0].text.contains("PushButton3_Click at line 112"))
        << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[0].text.endsWith("\r\rsql: ")) << boxes[0].text.toStdString();
    EXPECT_TRUE(boxes[1].text.contains("PushButton3_Click at line 132"))
        << boxes[1].text.toStdString();
    EXPECT_TRUE(seen->shown);
    expectIdle();
}

TEST_F(SendCommandsTest, AWrongMySqlPasswordIsReportedAtItsStepAndEachTableAfterIt) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({"a", "b"});
    select(list2(), {"a", "b"});
    login.password = "not the password";
    auto seen = expectReview();
    button("PushButton4")->click();
    QStringList where;
    for (const auto& m : prompts.messages()) {
        EXPECT_EQ(m.title, "Application Error");
        const int at = m.text.indexOf("PushButton4_Click at line ");
        where << m.text.mid(at + 26, 3);
    }
    // The connection (112); then for each table, bottom first, the record set (128) and the
    // steps that need it (the fields 210, the row count 280, closing 322); last, closing the
    // connection (328). Each shows the statement as it stood: nothing yet, then the table's
    // head, then the statement the mapping made of it without fields.
    EXPECT_EQ(where.join(" "), "112 128 210 280 322 128 210 280 322 328");
    const auto boxes = prompts.messages();
    ASSERT_EQ(boxes.size(), 10u);
    EXPECT_TRUE(boxes[0].text.endsWith("\r\rsql: "));
    EXPECT_TRUE(boxes[1].text.endsWith("\r\rsql: "));
    EXPECT_TRUE(boxes[2].text.endsWith("\r\rsql: CREATE TABLE `b`("));
    EXPECT_TRUE(boxes[5].text.endsWith("\r\rsql: CREATE TABLE `b`);"));
    EXPECT_TRUE(boxes[6].text.endsWith("\r\rsql: CREATE TABLE `a`("));
    EXPECT_TRUE(seen->shown);
    EXPECT_EQ(seen->sendType, 1);
    expectIdle();
}

TEST_F(SendCommandsTest, TheProgressBarRunsToAHundredPerTableAndIsReset) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({});
    select(list1(), {"Table2", "Table3"});
    list1()->setListIndex(0);
    form().setProgressText("something else");
    std::vector<int> values;
    std::vector<int> pointers;
    QObject::connect(form().progressBar1(), &QProgressBar::valueChanged, [&](int v) {
        values.push_back(v);
        pointers.push_back(ui::mousePointer(&form()));
    });
    expectReview();
    button("PushButton3")->click();
    // Table3 (four rows), then Table2 (three rows), each reset to 0 afterwards.
    EXPECT_EQ(values, (std::vector<int>{25, 50, 75, 100, 0, 33, 67, 100, 0}));
    // The hourglass while the first table's rows are written; the normal pointer after each
    // table, as the command restores it there.
    EXPECT_EQ(pointers.front(), ui::kPointerBusy);
    EXPECT_EQ(form().progressText(), "Progress Bar");
    EXPECT_EQ(form().progressBar1()->value(), 0);
}

TEST_F(SendCommandsTest, AClickOnASendButtonWhileASendRunsIsIgnored) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({"Table1"});
    select(list1(), {"Table2"});
    list1()->setListIndex(0);
    select(list2(), {"Table1"});
    int nested = 0;
    QObject::connect(form().progressBar1(), &QProgressBar::valueChanged, [&](int v) {
        if (v == 100 && nested++ == 0) {
            button("PushButton4")->click();
            button("PushButton3")->click();
        }
    });
    auto seen = expectReview();
    button("PushButton3")->click();
    EXPECT_EQ(seen->text, kTable2);
    EXPECT_TRUE(prompts.records().empty());  // no question, no second window
}

TEST_F(SendCommandsTest, TheTargetListIsListedAnewOnlyAfterAnExecutedScript) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({});
    select(list1(), {"Table3"});
    list1()->setListIndex(0);
    auto seen = expectReview(/*execute=*/true);
    button("PushButton3")->click();
    ASSERT_TRUE(seen->executedWithoutTrouble) << seen->notes.toStdString();
    EXPECT_EQ(names(list2()), QStringList{"Table3"});
    EXPECT_EQ(scratch->scalar("SELECT GROUP_CONCAT(data ORDER BY id) FROM Table3"),
              "bar10,bar11,bar12,bar13");

    // A second command closed without executing refreshes nothing, though the first executed.
    scratch->exec("CREATE TABLE behind (id INT)");
    select(list1(), {"Table3"});
    prompts.queueAnswer(ui::Answer::Yes);
    seen = expectReview();
    button("PushButton3")->click();
    EXPECT_FALSE(ui::SqlExecuted);
    // The server still holds Table3; nothing ran, so nothing is listed anew.
    EXPECT_EQ(names(list2()), QStringList{"Table3"});
    EXPECT_EQ(serverTables(), "Table3 behind ");
}

// The same for a send to Access: the Access list is listed anew from the file after an executed
// script, and a later send closed without executing leaves it as it was.
TEST_F(SendCommandsTest, TheAccessListIsListedAnewOnlyAfterAnExecutedScript) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth({"Moved"});
    scratch->exec("INSERT INTO Moved VALUES (1), (2)");
    select(list2(), {"Moved"});
    list2()->setListIndex(0);
    auto seen = expectReview(/*execute=*/true);
    button("PushButton4")->click();
    ASSERT_TRUE(seen->executedWithoutTrouble) << seen->notes.toStdString();
    EXPECT_EQ(names(list1()), (QStringList{"Moved", "Table1", "Table2", "Table3"}));
    EXPECT_EQ(mdbTables(accessFile()), names(list1()));

    // A second send, closed without executing: the table the file gains meanwhile stays unlisted.
    scratch->exec("CREATE TABLE Other (id INT)");
    listBoth();
    select(list2(), {"Other"});
    {
        db::LoginFields l;
        l.accessPath = accessFile().string();
        db::Connection cn;
        cn.open(db::buildAccessConnectionString(l));
        cn.execute("CREATE TABLE Behind (id INT)");
    }
    seen = expectReview();
    button("PushButton4")->click();
    EXPECT_FALSE(ui::SqlExecuted);
    EXPECT_EQ(names(list1()), (QStringList{"Moved", "Table1", "Table2", "Table3"}));
}

}  // namespace
}  // namespace browsertest
