// The configured message boxes.
#include "ui/message_box.h"

#include <QApplication>
#include <QFontMetrics>
#include <QGridLayout>
#include <QPushButton>
#include <QScreen>
#include <QSpacerItem>
#include <cmath>

namespace ui {

namespace {

// Room beside the title text at 96 dots per inch: the window's icon, three buttons and the
// margins between them, as common window managers draw them.
constexpr int kTitleBarRoom = 140;

QMessageBox::StandardButton standardButton(Answer a) {
    switch (a) {
        case Answer::Ok:
            return QMessageBox::Ok;
        case Answer::Cancel:
            return QMessageBox::Cancel;
        case Answer::Yes:
            return QMessageBox::Yes;
        case Answer::No:
            return QMessageBox::No;
    }
    return QMessageBox::NoButton;
}

}  // namespace

int titleBarWidth(const QString& title, const QFont& font, double dotsPerInch) {
    const double scale = dotsPerInch > 0 ? dotsPerInch / 96.0 : 1.0;
    return QFontMetrics(font).horizontalAdvance(title) +
           static_cast<int>(std::lround(kTitleBarRoom * scale));
}

std::unique_ptr<QMessageBox> createMessageBox(const MessageRequest& r, QWidget* parent) {
    auto box = std::make_unique<QMessageBox>(parent);
    box->setWindowTitle(r.title);
    box->setText(r.text);
    switch (r.icon) {
        case Icon::None:
            box->setIcon(QMessageBox::NoIcon);
            break;
        case Icon::Information:
            box->setIcon(QMessageBox::Information);
            break;
        case Icon::Question:
            box->setIcon(QMessageBox::Question);
            break;
        case Icon::Exclamation:
            box->setIcon(QMessageBox::Warning);
            break;
        case Icon::Critical:
            box->setIcon(QMessageBox::Critical);
            break;
    }
    switch (r.buttons) {
        case Buttons::Ok:
            box->setStandardButtons(QMessageBox::Ok);
            break;
        case Buttons::OkCancel:
            box->setStandardButtons(QMessageBox::Ok | QMessageBox::Cancel);
            break;
        case Buttons::YesNo:
            box->setStandardButtons(QMessageBox::Yes | QMessageBox::No);
            break;
        case Buttons::YesNoCancel:
            box->setStandardButtons(QMessageBox::Yes | QMessageBox::No | QMessageBox::Cancel);
            break;
    }
    if (r.defaultButton) {
        if (QAbstractButton* b = box->button(standardButton(*r.defaultButton)))
            box->setDefaultButton(qobject_cast<QPushButton*>(b));
    }
    // The box sizes itself to its layout when shown; a spacer across the layout sets the least
    // width it may take.
    if (auto* grid = qobject_cast<QGridLayout*>(box->layout())) {
        const QScreen* screen = box->screen();
        const int width = titleBarWidth(r.title, QApplication::font("QMdiSubWindowTitleBar"),
                                        screen ? screen->logicalDotsPerInch() : 96.0);
        const QMargins m = grid->contentsMargins();
        grid->addItem(new QSpacerItem(width - m.left() - m.right(), 0, QSizePolicy::Fixed,
                                      QSizePolicy::Minimum),
                      grid->rowCount(), 0, 1, grid->columnCount());
    }
    return box;
}

}  // namespace ui
