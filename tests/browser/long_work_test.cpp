// The table browser during long work and after a review left without Execute.
//
// The lists keep showing what their databases hold: a send whose review window was closed
// without Execute, after "Overwrite?" Yes, leaves the table's item, so the next send of it asks
// again, writes its DROP line and succeeds; a review closed after an Execute that failed half way
// lists the target anew. A send that reads a slow view (SLEEP in it) leaves the window answering
// its events within a tenth of a second, its buttons disabled meanwhile; closing the browser
// then ends the send without a review window and without writing anything.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QProcess>
#include <QProgressBar>
#include <QPushButton>
#include <QTimer>
#include <algorithm>

#include "browser/list_tables.h"
#include "browser/text_progress_bar.h"
#include "db/connection.h"
#include "db/connection_string.h"
#include "tests/browser/send_fixture.h"
#include "tests/support/heartbeat.h"
#include "ui/window_helpers.h"

namespace browsertest {
namespace {

const char* const kIndexFile = "access/V2003/indexTestV2003.mdb";  // Table1, Table2, Table3
const char* const kQueryFile = "access/V2003/queryTestV2003.mdb";  // the same, no relationships
const char* const kEmptyFile = "access/empty/empty.mdb";

const char* const kButtons[] = {"PushButton1", "PushButton2",  "PushButton3",  "PushButton4",
                                "PushButton5", "PushButton6",  "PushButton7",  "PushButton8",
                                "PushButton9", "PushButton10", "PushButton11", "PushButton12"};

class LongWorkTest : public SendTest {
  protected:
    // A copy of `fixture` and a scratch database made by `statements`, both listed; returns
    // the copy.
    std::filesystem::path withBoth(const char* fixture,
                                   std::initializer_list<const char*> statements) {
        const auto file = useAccessCopy(fixture);
        auto& db = useScratchDatabase();
        for (const char* sql : statements)
            db.exec(sql);
        listBoth();
        return file;
    }
    // The rows of an Access table, its first two fields ("id data") each, sorted.
    std::vector<std::string> accessRows(const std::string& table) {
        db::Connection cn;
        cn.open(db::buildAccessConnectionString(login));
        db::Recordset rs;
        rs.open("SELECT * FROM [" + table + "]", cn);
        std::vector<std::string> out;
        for (; !rs.eof(); rs.moveNext())
            out.push_back(rs.field(std::size_t{0}).value().toDebugString() + " " +
                          rs.field(std::size_t{1}).value().toDebugString());
        std::sort(out.begin(), out.end());
        return out;
    }
    // The header line mdb-export writes for a table: its column names.
    static std::string mdbColumns(const std::filesystem::path& file, const std::string& table) {
        QProcess p;
        p.start(QStringLiteral("mdb-export"),
                {QString::fromStdString(file.string()), QString::fromStdString(table)});
        if (!p.waitForFinished(30000)) return "mdb-export did not finish";
        return QString::fromUtf8(p.readAllStandardOutput()).section('\n', 0, 0).toStdString();
    }
    // Every button and check box of the browser disabled (true) or enabled (false).
    bool windowBusy() {
        for (const char* b : kButtons)
            if (button(b)->isEnabled()) return false;
        return !form().check15()->isEnabled() && !form().check16()->isEnabled();
    }
    bool windowIdle() {
        for (const char* b : kButtons)
            if (!button(b)->isEnabled()) return false;
        return form().check15()->isEnabled() && form().check16()->isEnabled();
    }
    // An empty Access file, and a view of three rows that sleeps half a second for each.
    std::filesystem::path withSlowView() {
        return withBoth(kEmptyFile,
                        {"CREATE TABLE base (id INT, data VARCHAR(10))",
                         "INSERT INTO base VALUES (1, 'one'), (2, 'two'), (3, 'three')",
                         "CREATE VIEW slow AS SELECT id, data, SLEEP(0.5) AS pause FROM base"});
    }
};

// ---- an abandoned review ----

TEST_F(LongWorkTest, AnAbandonedReviewKeepsTheAccessItemAndTheNextSendAsksAgainAndSucceeds) {
    DM_REQUIRE_FIXTURE(kQueryFile);
    DM_REQUIRE_MYSQL();
    const auto file =
        withBoth(kQueryFile, {"CREATE TABLE Table2 (id INT, data VARCHAR(10))",
                              "INSERT INTO Table2 VALUES (7, 'seven'), (8, 'eight')"});
    select(list2(), {"Table2"});

    prompts.queueAnswer(ui::Answer::Yes);
    QStringList listWhileShown;
    auto first = std::make_shared<ReviewSeen>();
    modal->onForm4([&](review::Form4& w) {
        listWhileShown = names(list1());
        first->text = w.text();
        w.reject();  // closed without Execute
    });
    button("PushButton4")->click();
    EXPECT_EQ(first->text.rfind("DROP TABLE `Table2`\r\n\r\nCREATE TABLE `Table2`(", 0), 0u);
    const QStringList held{"Table1", "Table2", "Table3"};
    EXPECT_EQ(listWhileShown, held);
    EXPECT_EQ(names(list1()), held);
    EXPECT_EQ(mdbTables(file), held);  // the file still holds it, as it was (no rows)
    EXPECT_EQ(mdbColumns(file, "Table2"), "col1,col2,col3");

    // The next send of the table asks again, drops and recreates it, and succeeds.
    prompts.queueAnswer(ui::Answer::Yes);
    auto second = expectReview(/*execute=*/true);
    button("PushButton4")->click();
    EXPECT_EQ(overwriteQuestions(), (QStringList{"Would you like to overwrite Table2?",
                                                 "Would you like to overwrite Table2?"}));
    EXPECT_EQ(second->text.rfind("DROP TABLE `Table2`\r\n\r\nCREATE TABLE `Table2`(", 0), 0u);
    ASSERT_TRUE(second->executedWithoutTrouble) << second->notes.toStdString();
    EXPECT_EQ(accessRows("Table2"), (std::vector<std::string>{"7 seven", "8 eight"}));
    EXPECT_EQ(mdbColumns(file, "Table2"), "id,data");
    EXPECT_EQ(names(list1()), held);
    EXPECT_EQ(mdbTables(file), held);
    EXPECT_EQ(messageTexts().last(), "Transfer finished.");
}

TEST_F(LongWorkTest, AnAbandonedReviewKeepsTheMySqlItemAndTheNextSendAsksAgainAndSucceeds) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth(kIndexFile, {"CREATE TABLE Table3 (id INT)", "INSERT INTO Table3 VALUES (99)"});
    select(list1(), {"Table3"});
    list1()->setListIndex(0);

    prompts.queueAnswer(ui::Answer::Yes);
    auto first = expectReview();
    button("PushButton3")->click();
    EXPECT_EQ(first->text.rfind("DROP TABLE `Table3`\r\n\r\nCREATE TABLE `Table3`(", 0), 0u);
    EXPECT_EQ(names(list2()), QStringList{"Table3"});
    EXPECT_EQ(scratch->scalar("SELECT GROUP_CONCAT(id) FROM Table3"), "99");  // untouched

    prompts.queueAnswer(ui::Answer::Yes);
    auto second = expectReview(/*execute=*/true);
    button("PushButton3")->click();
    EXPECT_EQ(overwriteQuestions(), (QStringList{"Would you like to overwrite Table3?",
                                                 "Would you like to overwrite Table3?"}));
    EXPECT_EQ(second->text.rfind("DROP TABLE `Table3`\r\n\r\nCREATE TABLE `Table3`(", 0), 0u);
    ASSERT_TRUE(second->executedWithoutTrouble) << second->notes.toStdString();
    EXPECT_EQ(scratch->scalar("SELECT GROUP_CONCAT(data ORDER BY id) FROM Table3"),
              "bar10,bar11,bar12,bar13");
    EXPECT_EQ(names(list2()), QStringList{"Table3"});
    EXPECT_EQ(names(list2()), serverTables());
}

// An Execute that dropped the table and then failed: the review closed after it lists the
// target anew, so the list no longer names a table the database lost.
TEST_F(LongWorkTest, AReviewClosedAfterAnExecuteThatFailedHalfWayListsTheTargetAnew) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth(kIndexFile, {"CREATE TABLE Table3 (id INT)", "CREATE TABLE other (id INT)"});
    select(list1(), {"Table3"});
    list1()->setListIndex(0);
    prompts.queueAnswer(ui::Answer::Yes);
    QString notes;
    modal->onForm4([&](review::Form4& w) {
        w.setText("DROP TABLE `Table3`\r\n\r\nnot a statement");
        w.pushButton3Click();
        notes = w.notes();
        w.reject();
    });
    button("PushButton3")->click();
    EXPECT_TRUE(notes.startsWith("not a statement\r\n")) << notes.toStdString();
    EXPECT_FALSE(ui::SqlExecuted);
    EXPECT_EQ(serverTables(), QStringList{"other"});
    EXPECT_EQ(names(list2()), QStringList{"other"});
    EXPECT_EQ(messageTexts().last(), "Transfer problem. See Notes.");
}

// The same on the Access side: a review whose Execute ran nothing (a wrong file) lists nothing
// anew, one whose Execute ran a line does.
TEST_F(LongWorkTest, TheAccessListIsListedAnewOnceAnExecuteRanALineOfTheScript) {
    DM_REQUIRE_FIXTURE(kQueryFile);
    DM_REQUIRE_MYSQL();
    const auto file = withBoth(kQueryFile, {"CREATE TABLE Table1 (id INT)"});
    select(list2(), {"Table1"});
    prompts.queueAnswer(ui::Answer::Yes);
    QString notes;
    modal->onForm4([&](review::Form4& w) {
        w.setText("DROP TABLE `Table1`\r\nCREATE TABLE `Table1` (`id` INT\r\n");
        w.pushButton3Click();  // the second line is rejected
        notes = w.notes();
        EXPECT_TRUE(w.ranStatements());
        w.reject();
    });
    button("PushButton4")->click();
    EXPECT_TRUE(notes.startsWith("CREATE TABLE `Table1` (`id` INT\r\n")) << notes.toStdString();
    EXPECT_EQ(mdbTables(file), (QStringList{"Table2", "Table3"}));
    EXPECT_EQ(names(list1()), (QStringList{"Table2", "Table3"}));
}

// ---- long work ----

TEST_F(LongWorkTest, TheBrowserAnswersWithinATenthOfASecondWhileASendReadsASlowView) {
    DM_REQUIRE_FIXTURE(kEmptyFile);
    DM_REQUIRE_MYSQL();
    const auto file = withSlowView();
    select(list2(), {"slow"});
    ASSERT_GE(list2()->listIndex(), 0);

    testenv::Heartbeat beat;
    int busyBeats = 0;
    bool sawBusyPointer = false;
    beat.onBeat = [&] {
        if (form().form4() && form().form4()->isVisible()) return;
        if (windowBusy()) ++busyBeats;
        if (ui::mousePointer(&form()) == ui::kPointerBusy) sawBusyPointer = true;
    };
    std::vector<int> values;
    QObject::connect(form().progressBar1(), &QProgressBar::valueChanged,
                     [&](int v) { values.push_back(v); });
    auto seen = expectReview(/*execute=*/true);
    beat.start();
    button("PushButton4")->click();
    beat.stop();

    // The view took its second and a half, and the window answered all along.
    EXPECT_GE(beat.elapsedMs(), 1500);
    EXPECT_LT(beat.longestGapMs(), 100) << "beats: " << beat.beats();
    EXPECT_GT(busyBeats, 50);  // about 150 beats of 10 ms while the view was read
    EXPECT_TRUE(sawBusyPointer);
    EXPECT_EQ(values, (std::vector<int>{33, 67, 100, 0}));
    ASSERT_TRUE(seen->executedWithoutTrouble) << seen->notes.toStdString();
    EXPECT_EQ(seen->text.rfind("CREATE TABLE `slow`(", 0), 0u);
    EXPECT_EQ(mdbTables(file), QStringList{"slow"});
    EXPECT_EQ(names(list1()), QStringList{"slow"});
    EXPECT_EQ(accessRows("slow"), (std::vector<std::string>{"1 one", "2 two", "3 three"}));
    EXPECT_TRUE(windowIdle());
    EXPECT_EQ(ui::mousePointer(&form()), ui::kPointerDefault);
}

TEST_F(LongWorkTest, ClosingTheBrowserWhileASendReadsASlowViewEndsItWithoutAReviewWindow) {
    DM_REQUIRE_FIXTURE(kEmptyFile);
    DM_REQUIRE_MYSQL();
    const auto file = withSlowView();
    form().show();
    select(list2(), {"slow"});
    QTimer::singleShot(300, &form(), [this] { form().close(); });
    testenv::Heartbeat beat;
    beat.start();
    button("PushButton4")->click();  // returns once the view's read is over
    beat.stop();
    EXPECT_GE(beat.elapsedMs(), 1500);
    EXPECT_LT(beat.longestGapMs(), 100);
    EXPECT_FALSE(form().isVisible());
    EXPECT_TRUE(prompts.records().empty());  // no question, no report, no message
    EXPECT_TRUE(mdbTables(file).isEmpty());  // nothing was written
    EXPECT_TRUE(windowIdle());
    // The fixture checks that no review window was shown.
}

// Delete and rename work on the database in a worker too: the buttons are disabled meanwhile
// and come back, and the question before a delete is asked on the window's thread.
TEST_F(LongWorkTest, DeleteAndRenameLeaveTheButtonsAsTheyWere) {
    DM_REQUIRE_FIXTURE(kIndexFile);
    DM_REQUIRE_MYSQL();
    withBoth(kIndexFile, {"CREATE TABLE a (id INT)", "CREATE TABLE b (id INT)"});
    button("PushButton12")->setEnabled(false);  // a button disabled before stays so
    bool busyWhileAsked = false;
    prompts.onRequest = [&](const ui::ScriptedPrompts::Record&) {
        busyWhileAsked = !button("PushButton5")->isEnabled() && !button("PushButton1")->isEnabled();
    };
    select(list2(), {"a"});
    prompts.queueAnswer(ui::Answer::Yes);
    button("PushButton5")->click();
    EXPECT_TRUE(busyWhileAsked);
    EXPECT_EQ(names(list2()), QStringList{"b"});
    EXPECT_EQ(serverTables(), QStringList{"b"});

    select(list1(), {"Table2"});
    list1()->setListIndex(1);
    prompts.queueInput("Renamed");
    button("PushButton6")->click();
    EXPECT_EQ(names(list1()), (QStringList{"Renamed", "Table1", "Table3"}));
    prompts.onRequest = nullptr;
    EXPECT_FALSE(button("PushButton12")->isEnabled());
    button("PushButton12")->setEnabled(true);
    EXPECT_TRUE(windowIdle());
}

}  // namespace
}  // namespace browsertest
