// The sorted table list.
#include "browser/table_list.h"

#include <QItemSelectionModel>
#include <stdexcept>
#include <string>

namespace browser {

bool tableNameLess(const QString& a, const QString& b) {
    return QString::compare(a, b, Qt::CaseInsensitive) < 0;
}

TableList::TableList(QWidget* parent) : QListWidget(parent) {
    setSelectionMode(QAbstractItemView::ExtendedSelection);
    // The order is kept by addItem(); the view's own sorting compares with letter case.
    setSortingEnabled(false);
}

void TableList::focusInEvent(QFocusEvent* event) {
    const bool hadCurrent = currentIndex().isValid();
    QListWidget::focusInEvent(event);
    if (!hadCurrent && currentIndex().isValid())
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
}

int TableList::addItem(const QString& name) {
    // The first place whose name sorts after `name`: equal names keep their arrival order.
    int low = 0, high = count();
    while (low < high) {
        const int mid = low + (high - low) / 2;
        if (tableNameLess(name, item(mid)->text()))
            high = mid;
        else
            low = mid + 1;
    }
    insertItem(low, name);
    return low;
}

void TableList::requireIndex(int index) const {
    if (index < 0 || index >= count())
        throw std::out_of_range("The list has no item at position " + std::to_string(index) +
                                "; it holds " + std::to_string(count()) + " items.");
}

QString TableList::itemText(int index) const {
    requireIndex(index);
    return item(index)->text();
}

void TableList::removeItem(int index) {
    requireIndex(index);
    delete takeItem(index);
}

int TableList::listIndex() const {
    return currentRow();
}

void TableList::setListIndex(int index) {
    if (index == -1) {
        selectionModel()->setCurrentIndex(QModelIndex(), QItemSelectionModel::NoUpdate);
        return;
    }
    requireIndex(index);
    setCurrentRow(index, QItemSelectionModel::NoUpdate);
}

bool TableList::isItemSelected(int index) const {
    requireIndex(index);
    return item(index)->isSelected();
}

void TableList::setItemSelected(int index, bool selected) {
    requireIndex(index);
    item(index)->setSelected(selected);
}

void TableList::setRangeSelected(int first, int last, bool selected) {
    requireIndex(first);
    requireIndex(last);
    const QItemSelection range(model()->index(first, 0), model()->index(last, 0));
    selectionModel()->select(
        range, selected ? QItemSelectionModel::Select : QItemSelectionModel::Deselect);
}

bool ListContains(const TableList& list, const QString& name) {
    const QString wanted = name.toLower();
    for (int i = 0; i < list.count(); ++i)
        if (list.item(i)->text().toLower() == wanted) return true;
    return false;
}

void ListRemoveItem(TableList& list, const QString& name) {
    for (int i = 0; i < list.count(); ++i) {
        if (list.item(i)->text() == name) {
            list.removeItem(i);
            return;
        }
    }
}

int TableList::selectedCount() const {
    int n = 0;
    for (int i = 0; i < count(); ++i)
        if (item(i)->isSelected()) ++n;
    return n;
}

}  // namespace browser
