// The table browser as people use it: "Select All" counts as a selection for the commands that
// want a current item, "Delete Table/s" asks first naming the tables, and the window grows with
// its lists and remembers the size the user gave it.
#include <gtest/gtest.h>

#include <QCheckBox>
#include <QGroupBox>
#include <QProgressBar>
#include <QtTest/QTest>

#include "browser/list_tables.h"
#include "browser/text_progress_bar.h"
#include "tests/browser/browser_fixture.h"
#include "ui/settings.h"
#include "ui/window_helpers.h"
#include "ui/window_size.h"

namespace browsertest {
namespace {

// Table1, Table2, Table3, none of them in a relationship.
const char* const kFile = "access/V2003/queryTestV2003.mdb";

class WindowTrapsTest : public BrowserTest {
  protected:
    void listAccess() {
        file = useAccessCopy(kFile, "shop.mdb");
        browser::listAccessTables(*list1(), QString::fromStdString(file.string()));
    }
    void expectDeleteQuestion(const ui::MessageRequest& m, const QString& text) {
        EXPECT_EQ(m.text, text);
        EXPECT_EQ(m.title, "Delete?");
        EXPECT_EQ(m.buttons, ui::Buttons::YesNo);
        EXPECT_EQ(m.icon, ui::Icon::None);
        EXPECT_EQ(m.defaultButton, ui::Answer::No);
    }
    std::filesystem::path file;
};

TEST_F(WindowTrapsTest, SelectAllGivesAListWithoutCurrentItemItsFirstAndKeepsAnother) {
    for (const char* n : {"b", "a", "c"})
        list1()->addItem(n);
    ASSERT_EQ(list1()->listIndex(), -1);
    button("PushButton10")->click();
    EXPECT_EQ(list1()->listIndex(), 0);
    EXPECT_EQ(list1()->selectedCount(), 3);
    list1()->setListIndex(2);
    button("PushButton10")->click();
    EXPECT_EQ(list1()->listIndex(), 2);  // a current item the user chose stays
    // An empty list stays without one.
    button("PushButton8")->click();
    EXPECT_EQ(list2()->listIndex(), -1);
    EXPECT_TRUE(prompts.records().empty());
}

TEST_F(WindowTrapsTest, SelectAllThenDeleteAsksNamingTheTablesAndNoDropsNothing) {
    DM_REQUIRE_FIXTURE(kFile);
    listAccess();
    ASSERT_EQ(list1()->listIndex(), -1);  // as the listing left it
    button("PushButton10")->click();
    prompts.queueAnswer(ui::Answer::No);
    button("PushButton1")->click();
    ASSERT_EQ(prompts.messages().size(), 1u);  // no "Please select a table"
    expectDeleteQuestion(prompts.messages()[0],
                         "Delete these 3 tables from the Access database?\r\nTable1, Table2, "
                         "Table3\r\nThis cannot be undone.");
    EXPECT_EQ(names(list1()), (QStringList{"Table1", "Table2", "Table3"}));
    EXPECT_EQ(mdbTables(file), names(list1()));
    EXPECT_EQ(ui::mousePointer(&form()), ui::kPointerDefault);

    prompts.clear();
    prompts.queueAnswer(ui::Answer::Yes);
    button("PushButton1")->click();
    ASSERT_EQ(prompts.messages().size(), 1u);
    EXPECT_TRUE(list1()->count() == 0);
    EXPECT_TRUE(mdbTables(file).isEmpty());
    EXPECT_EQ(ui::mousePointer(&form()), ui::kPointerDefault);
}

TEST_F(WindowTrapsTest, SelectAllThenRenameCountsTheSelection) {
    DM_REQUIRE_FIXTURE(kFile);
    listAccess();
    button("PushButton10")->click();
    button("PushButton6")->click();
    EXPECT_EQ(messageTexts(), QStringList{"Please select just one table to rename."});
}

TEST_F(WindowTrapsTest, DeletingManyMySqlTablesNamesTheFirstFiveAndCountsTheRest) {
    DM_REQUIRE_MYSQL();
    auto& db = useScratchDatabase();
    for (const char* t : {"a1", "b2", "c3", "d4", "e5", "f6", "g7"})
        db.exec(std::string("CREATE TABLE `") + t + "` (id INT)");
    browser::listMySqlTables(*list2());
    list2()->setListIndex(-1);
    button("PushButton8")->click();
    prompts.queueAnswer(ui::Answer::No);
    button("PushButton5")->click();
    ASSERT_EQ(prompts.messages().size(), 1u);
    expectDeleteQuestion(prompts.messages()[0],
                         "Delete these 7 tables from the MySQL database?\r\na1, b2, c3, d4, e5 "
                         "and 2 more\r\nThis cannot be undone.");
    EXPECT_EQ(list2()->count(), 7);
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = "
                        "DATABASE()"),
              "7");
    // One table is named alone.
    button("PushButton9")->click();
    list2()->setItemSelected(3, true);
    list2()->setListIndex(3);
    prompts.clear();
    prompts.queueAnswer(ui::Answer::Yes);
    button("PushButton5")->click();
    ASSERT_EQ(prompts.messages().size(), 1u);
    expectDeleteQuestion(prompts.messages()[0],
                         "Delete the table d4 from the MySQL database?\r\nThis cannot be undone.");
    EXPECT_EQ(names(list2()), (QStringList{"a1", "b2", "c3", "e5", "f6", "g7"}));
    EXPECT_EQ(db.scalar("SELECT COUNT(*) FROM information_schema.tables WHERE table_schema = "
                        "DATABASE()"),
              "6");
}

// ---- size ----

TEST_F(WindowTrapsTest, ALargerBrowserGivesItsListsTheRoomAndKeepsTheHalvesMirrored) {
    browser::Form2& f = form();
    f.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
    const QSize designed = f.size();
    EXPECT_EQ(f.minimumSize(), designed);
    auto* frame1 = f.findChild<QGroupBox*>("Frame1");
    auto* frame2 = f.findChild<QGroupBox*>("Frame2");
    const QRect f1 = frame1->geometry();
    const QRect f2 = frame2->geometry();
    const QRect list = list1()->geometry();
    const QRect send = button("PushButton3")->geometry();
    const QRect selectAll = button("PushButton10")->geometry();
    const QRect deselect = button("PushButton11")->geometry();
    const QRect back = button("PushButton2")->geometry();
    const QRect help = button("PushButton12")->geometry();
    const QRect bar = f.progressBar1()->geometry();
    f.resize(designed + QSize(300, 200));
    EXPECT_EQ(list1()->geometry(), list.adjusted(0, 0, 150, 200));
    EXPECT_EQ(list2()->geometry(), list1()->geometry());  // inside their frames
    EXPECT_EQ(frame1->geometry(), f1.adjusted(0, 0, 150, 200));
    EXPECT_EQ(frame2->geometry(), f2.adjusted(150, 0, 300, 200));
    EXPECT_EQ(button("PushButton3")->geometry(), send.adjusted(0, 200, 150, 200));
    EXPECT_EQ(button("PushButton4")->geometry(), button("PushButton3")->geometry());
    EXPECT_EQ(button("PushButton10")->geometry(), selectAll.adjusted(0, 200, 75, 200));
    EXPECT_EQ(button("PushButton11")->geometry(), deselect.adjusted(75, 200, 150, 200));
    EXPECT_EQ(f.check15()->y(), f.check16()->y());
    EXPECT_EQ(f.progressBar1()->geometry(), bar.adjusted(0, 200, 300, 200));
    EXPECT_EQ(button("PushButton2")->geometry(), back.adjusted(0, 200, 150, 200));
    EXPECT_EQ(button("PushButton12")->geometry(), help.adjusted(150, 200, 300, 200));
    f.resize(100, 100);
    EXPECT_EQ(f.size(), designed);
    EXPECT_EQ(list1()->geometry(), list);
}

TEST_F(WindowTrapsTest, TheBrowserOpensAtTheSizeTheUserGaveIt) {
    QSize designed;
    int listHeight = 0;
    {
        browser::Form2& f = form();
        f.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&f));
        designed = f.size();
        listHeight = list1()->height();
        f.resize(designed + QSize(120, 90));
        f.hide();
    }
    EXPECT_EQ(ui::getSetting(ui::kKeyForm2Size), ui::windowSizeText(designed + QSize(120, 90)));
    browser::Form2 next;
    next.formLoad();
    EXPECT_EQ(next.size(), designed + QSize(120, 90));
    next.show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&next));
    // Fitted to the frame the window system reports, as the first window was.
    EXPECT_EQ(next.minimumSize(), designed);
    EXPECT_EQ(next.list1()->height(), listHeight + 90);
    EXPECT_EQ(next.size(), designed + QSize(120, 90));
}

}  // namespace
}  // namespace browsertest
