// The busy window.
#include "ui/busy_window.h"

#include <QAbstractButton>
#include <QWidget>

namespace ui {

BusyWindow::BusyWindow(QWidget* window) {
    for (QAbstractButton* b : window->findChildren<QAbstractButton*>()) {
        if (b->window() != window || !b->isEnabled()) continue;
        b->setEnabled(false);
        disabled_.emplace_back(b);
    }
}

BusyWindow::~BusyWindow() {
    for (const QPointer<QAbstractButton>& b : disabled_)
        if (b) b->setEnabled(true);
}

}  // namespace ui
