// The type customisation dialog as people use it: its title names the table it is for, its
// lists take the room of a larger window, and it opens at the size the user gave it.
#include <gtest/gtest.h>

#include <QGroupBox>
#include <QLineEdit>
#include <QListWidget>
#include <QPushButton>
#include <QTimer>
#include <QtTest/QTest>

#include "tests/support/gui_fixture.h"
#include "typecustom/form3.h"
#include "ui/settings.h"
#include "ui/window_size.h"

using typecustom::Form3;
using typecustom::Form3Window;

namespace {

class Form3HabitsTest : public testenv::GuiTest {
  protected:
    void prepare(const std::string& table) {
        form_.mType = "none";  // no inference: the lists stay empty
        form_.mTableName = table;
        form_.mSQL = "CREATE TABLE `" + table + "`(";
    }
    Form3 form_;
};

TEST(Form3Title, NamesTheTable) {
    EXPECT_EQ(typecustom::dialogTitle("Orders"), "Data Type Customization - Orders");
    EXPECT_EQ(typecustom::dialogTitle("Invoices 2024"), "Data Type Customization - Invoices 2024");
    EXPECT_EQ(typecustom::dialogTitle("Ødegård"), "Data Type Customization - Ødegård");
    EXPECT_EQ(typecustom::dialogTitle(""), "Data Type Customization");
}

TEST_F(Form3HabitsTest, EachShowingIsTitledWithItsOwnTable) {
    QStringList titles;
    for (const char* table : {"Orders", "Customers"}) {
        prepare(table);
        QTimer::singleShot(0, [&] {
            titles << form_.window()->windowTitle();
            form_.window()->pushButton4()->click();
        });
        form_.showModal();
    }
    EXPECT_EQ(titles, (QStringList{"Data Type Customization - Orders",
                                   "Data Type Customization - Customers"}));
}

TEST_F(Form3HabitsTest, ALargerDialogGivesItsListsTheRoomAndRemembersItsSize) {
    prepare("Orders");
    QSize designed;
    {
        Form3Window w(form_);
        w.show();
        ASSERT_TRUE(QTest::qWaitForWindowExposed(&w));
        designed = w.size();
        EXPECT_EQ(w.minimumSize(), designed);
        const QRect list1 = w.list1()->geometry();
        const QRect frame2 = w.frame2()->geometry();
        const QRect text = w.text1()->geometry();
        const QRect frame3 = w.frame3()->geometry();
        const QRect ok = w.pushButton2()->geometry();
        const QRect cancel = w.pushButton4()->geometry();
        const QRect help = w.pushButton3()->geometry();
        w.resize(designed + QSize(100, 80));
        EXPECT_EQ(w.list1()->geometry(), list1.adjusted(0, 0, 50, 80));
        EXPECT_EQ(w.list2()->geometry(), w.list1()->geometry());
        EXPECT_EQ(w.frame2()->geometry(), frame2.adjusted(50, 0, 100, 80));
        EXPECT_EQ(w.text1()->geometry(), text.adjusted(0, 0, 100, 0));
        EXPECT_EQ(w.frame3()->geometry(), frame3.adjusted(0, 80, 100, 80));
        EXPECT_EQ(w.pushButton2()->geometry(), ok.adjusted(0, 80, 50, 80));
        EXPECT_EQ(w.pushButton4()->geometry(), cancel.adjusted(50, 80, 100, 80));
        EXPECT_EQ(w.pushButton3()->geometry(), help.adjusted(0, 0, 100, 0));
        w.pushButton4()->click();
    }
    EXPECT_EQ(ui::getSetting(ui::kKeyForm3Size), ui::windowSizeText(designed + QSize(100, 80)));
    Form3Window again(form_);
    EXPECT_EQ(again.size(), designed + QSize(100, 80));
}

}  // namespace
