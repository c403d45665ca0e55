// The table lists: sorted without regard to letter case whatever the arrival order, the
// current item apart from the selection, and the mouse's extended selection.
#include <gtest/gtest.h>

#include <QApplication>
#include <QTest>
#include <stdexcept>

#include "browser/table_list.h"
#include "tests/browser/browser_fixture.h"

namespace browsertest {
namespace {

TEST(TableListOrder, NamesGoToTheirPlaceWithoutRegardToLetterCase) {
    browser::TableList list;
    for (const char* n : {"orders", "Zeta", "alpha", "Beta", "ALPHA", "table10", "Table9", "_x"})
        list.addItem(n);
    // Equal names keep their arrival order.
    EXPECT_EQ(names(&list),
              (QStringList{"_x", "alpha", "ALPHA", "Beta", "orders", "table10", "Table9", "Zeta"}));
    EXPECT_EQ(list.addItem("beta"), 4);  // after "Beta"
    EXPECT_EQ(list.addItem("Ä"), 9);     // letters beyond ASCII sort after the Latin ones
    EXPECT_FALSE(list.isSortingEnabled());
}

TEST(TableListOrder, ItemsOutsideTheListAreErrorsNotCrashes) {
    browser::TableList list;
    list.addItem("One");
    EXPECT_THROW(list.itemText(1), std::out_of_range);
    EXPECT_THROW(list.removeItem(-1), std::out_of_range);
    EXPECT_THROW(list.setItemSelected(5, true), std::out_of_range);
    EXPECT_THROW(list.setListIndex(1), std::out_of_range);
    EXPECT_THROW(list.isItemSelected(-2), std::out_of_range);
    EXPECT_EQ(list.itemText(0), "One");
}

TEST(TableListHelpers, ContainsIgnoresLetterCaseRemoveDoesNot) {
    browser::TableList list;
    EXPECT_FALSE(browser::ListContains(list, ""));  // an empty list holds nothing
    for (const char* n : {"orders", "Ödegård", "Orders2"})
        list.addItem(n);
    EXPECT_TRUE(browser::ListContains(list, "ORDERS"));
    EXPECT_TRUE(browser::ListContains(list, "öDEGÅRD"));  // letters beyond ASCII too
    EXPECT_FALSE(browser::ListContains(list, "order"));   // whole names, not parts
    EXPECT_FALSE(browser::ListContains(list, "orders "));

    browser::ListRemoveItem(list, "Orders");  // other letter case: nothing happens
    EXPECT_EQ(names(&list), (QStringList{"orders", "Orders2", "Ödegård"}));
    browser::ListRemoveItem(list, "orders");
    EXPECT_EQ(names(&list), (QStringList{"Orders2", "Ödegård"}));
    browser::ListRemoveItem(list, "missing");
    EXPECT_EQ(list.listCount(), 2);
}

TEST(TableListCurrent, TheCurrentItemAndTheSelectionAreSeparate) {
    browser::TableList list;
    for (const char* n : {"A", "B", "C", "D"})
        list.addItem(n);
    EXPECT_EQ(list.listIndex(), -1);
    list.setListIndex(2);
    EXPECT_EQ(list.listIndex(), 2);
    EXPECT_EQ(list.selectedCount(), 0);  // making an item current selects nothing

    list.setItemSelected(0, true);
    list.setItemSelected(3, true);
    EXPECT_EQ(list.listIndex(), 2);  // selecting does not move the current item
    EXPECT_EQ(list.selectedCount(), 2);
    EXPECT_FALSE(list.isItemSelected(2));

    list.setListIndex(-1);
    EXPECT_EQ(list.listIndex(), -1);
    EXPECT_EQ(list.selectedCount(), 2);  // dropping the current item keeps the selection
    EXPECT_TRUE(list.isItemSelected(0));
    EXPECT_TRUE(list.isItemSelected(3));
}

TEST(TableListCurrent, AddingAndRemovingItemsKeepTheSelectionOnTheirNames) {
    browser::TableList list;
    for (const char* n : {"b", "d"})
        list.addItem(n);
    list.setItemSelected(1, true);  // "d"
    list.addItem("a");
    list.addItem("c");
    EXPECT_EQ(names(&list), (QStringList{"a", "b", "c", "d"}));
    EXPECT_TRUE(list.isItemSelected(3));
    EXPECT_EQ(list.selectedCount(), 1);
    list.removeItem(0);
    EXPECT_EQ(names(&list), (QStringList{"b", "c", "d"}));
    EXPECT_TRUE(list.isItemSelected(2));
}

class TableListMouse : public BrowserTest {};

TEST_F(TableListMouse, TheFocusAloneMakesNoItemCurrent) {
    for (const char* n : {"b", "a"})
        list1()->addItem(n);
    form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
    form().activateWindow();
    list1()->setFocus(Qt::TabFocusReason);
    QApplication::processEvents();
    ASSERT_TRUE(list1()->hasFocus());
    EXPECT_EQ(list1()->listIndex(), -1);
    EXPECT_EQ(list1()->selectedCount(), 0);
    // A current item stays current when the focus comes back.
    list1()->setListIndex(1);
    list2()->setFocus(Qt::TabFocusReason);
    list1()->setFocus(Qt::TabFocusReason);
    EXPECT_EQ(list1()->listIndex(), 1);
}

class TableListMouseClicks : public BrowserTest {
  protected:
    QPoint centre(browser::TableList* list, int row) {
        return list->visualItemRect(list->item(row)).center();
    }
};

TEST_F(TableListMouseClicks, ClickShiftClickAndCtrlClickSelectAsExtendedSelection) {
    browser::TableList* list = list1();
    for (const char* n : {"e", "d", "c", "b", "a"})
        list->addItem(n);
    form().show();
    ASSERT_TRUE(QTest::qWaitForWindowExposed(&form()));
    QWidget* vp = list->viewport();

    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, centre(list, 1));
    EXPECT_EQ(list->listIndex(), 1);
    EXPECT_EQ(list->selectedCount(), 1);
    EXPECT_TRUE(list->isItemSelected(1));

    QTest::mouseClick(vp, Qt::LeftButton, Qt::ShiftModifier, centre(list, 3));
    EXPECT_EQ(list->selectedCount(), 3);  // b, c, d
    for (int i : {1, 2, 3})
        EXPECT_TRUE(list->isItemSelected(i)) << i;
    EXPECT_EQ(list->listIndex(), 3);

    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, centre(list, 2));
    EXPECT_FALSE(list->isItemSelected(2));  // Ctrl-click takes one item out
    EXPECT_EQ(list->listIndex(), 2);        // and makes it current all the same
    EXPECT_EQ(list->selectedCount(), 2);

    QTest::mouseClick(vp, Qt::LeftButton, Qt::ControlModifier, centre(list, 4));
    EXPECT_TRUE(list->isItemSelected(4));  // and adds one
    EXPECT_EQ(list->selectedCount(), 3);

    QTest::mouseClick(vp, Qt::LeftButton, Qt::NoModifier, centre(list, 0));
    EXPECT_EQ(list->selectedCount(), 1);  // a plain click starts again
    EXPECT_TRUE(list->isItemSelected(0));
}

}  // namespace
}  // namespace browsertest
