// TableList, the list box of table names both sides of the table browser use.
//
// The list keeps its names sorted without regard to letter case: addItem() puts a name at its
// sorted place (after the names that compare equal to it), whatever order the names arrive in.
// Selection is extended (click, Shift-click, Ctrl-click). The current item, the one with the
// focus, is kept apart from the selection: listIndex() is its position or −1 when there is
// none, and setListIndex() moves it without selecting or deselecting anything, so a command
// that tests the current item and one that walks the selected items see two separate facts.
#pragma once

#include <QListWidget>
#include <QString>

namespace browser {

// True when `a` sorts before `b` in a table list: compared without regard to letter case.
bool tableNameLess(const QString& a, const QString& b);

class TableList;

// The send commands' tests of the other side's list.
// True when some item of `list`, lower-cased, equals `name` lower-cased; false for an empty list.
bool ListContains(const TableList& list, const QString& name);
// Removes the first item whose text equals `name` exactly (letter case counts); nothing happens
// when none does.
void ListRemoveItem(TableList& list, const QString& name);

class TableList : public QListWidget {
    Q_OBJECT

  public:
    explicit TableList(QWidget* parent = nullptr);

    int listCount() const { return count(); }

    // Adds `name` at its sorted place and returns that place. Hides QListWidget::addItem so
    // that no caller can append out of order.
    int addItem(const QString& name);

    // The name at `index`. Throws std::out_of_range when there is no such item.
    QString itemText(int index) const;

    // Removes the item at `index`. Throws std::out_of_range when there is no such item.
    void removeItem(int index);

    // The current item: its position, or −1 when the list has none.
    int listIndex() const;
    // Makes the item at `index` current, or none for −1, leaving the selection as it is.
    // Throws std::out_of_range for any other index outside the list.
    void setListIndex(int index);

    bool isItemSelected(int index) const;
    // Throws std::out_of_range when there is no such item.
    void setItemSelected(int index, bool selected);
    int selectedCount() const;
    // Selects or deselects the items `first` to `last` in one change of the selection (item by
    // item, a long list would be redrawn once per item). Throws std::out_of_range when either
    // end is outside the list.
    void setRangeSelected(int first, int last, bool selected);

  protected:
    // Receiving the focus leaves a list without a current item as it is; the view's own
    // handler would make the first item current.
    void focusInEvent(QFocusEvent* event) override;

  private:
    void requireIndex(int index) const;
};

}  // namespace browser
