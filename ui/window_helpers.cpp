// Window helpers.
#include "ui/window_helpers.h"

#include <QAbstractButton>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QEvent>
#include <QFileInfo>
#include <QGroupBox>
#include <QLabel>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QRadioButton>
#include <stdexcept>

#include "ui/program_state.h"

namespace ui {

namespace {

const char* const kPointerProperty = "dmMousePointer";
const char* const kHandProperty = "dmHandCursor";

void applyPointer(QWidget* window, int state) {
    switch (state) {
        case kPointerBusy:
            window->setCursor(Qt::WaitCursor);
            break;
        case kPointerCustom: {
            const QVariant hand = window->property(kHandProperty);
            if (hand.canConvert<QCursor>())
                window->setCursor(hand.value<QCursor>());
            else
                window->setCursor(Qt::ArrowCursor);
            break;
        }
        default:
            window->setCursor(Qt::ArrowCursor);
            break;
    }
    // Children take the window's pointer, as the platform's windows do.
    for (QWidget* child : window->findChildren<QWidget*>())
        child->unsetCursor();
}

class HoverFilter : public QObject {
  public:
    HoverFilter(QWidget* window, int target) : QObject(window), window_(window), target_(target) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::MouseMove || event->type() == QEvent::Enter ||
            event->type() == QEvent::HoverMove) {
            if (mousePointer(window_) != kPointerBusy && mousePointer(window_) != target_)
                setMousePointer(window_, target_);
        }
        return false;
    }

  private:
    QWidget* window_;
    int target_;
};

}  // namespace

bool fileExists(const QString& path) {
    if (path.isEmpty()) return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile() && info.lastModified().isValid();
}

QString programFile(const QString& relative) {
    return programFolder() + "/" + relative;
}

void prepareWindowColours(QWidget* window) {
    const QColor face = QApplication::palette().color(QPalette::Button);
    auto paint = [&](QWidget* w) {
        QPalette p = w->palette();
        p.setColor(QPalette::Window, face);
        w->setPalette(p);
        w->setAutoFillBackground(true);
    };
    paint(window);
    for (QWidget* w : window->findChildren<QWidget*>()) {
        if (qobject_cast<QGroupBox*>(w) || qobject_cast<QCheckBox*>(w) ||
            qobject_cast<QRadioButton*>(w) || qobject_cast<QLabel*>(w))
            paint(w);
    }
}

QIcon applicationIcon() {
    static QIcon icon = [] {
        QPixmap pm(64, 64);
        pm.fill(Qt::transparent);
        QPainter p(&pm);
        p.setRenderHint(QPainter::Antialiasing);
        p.setBrush(QColor(0x1f, 0x5f, 0x8b));
        p.setPen(Qt::NoPen);
        p.drawRoundedRect(2, 2, 60, 60, 12, 12);
        p.setPen(Qt::white);
        QFont f("Liberation Sans", 34, QFont::Bold);
        p.setFont(f);
        p.drawText(pm.rect(), Qt::AlignCenter, "D");
        return QIcon(pm);
    }();
    return icon;
}

void setApplicationIcon(QWidget* window) {
    window->setWindowIcon(applicationIcon());
}

bool handPointerFileExists() {
    return fileExists(programFile("HAND-M.CUR"));
}

void loadHandPointer(QWidget* window) {
    QPixmap pm;
    if (!pm.load(programFile("HAND-M.CUR")))
        throw std::runtime_error("The pointer file HAND-M.CUR could not be read.");
    window->setProperty(kHandProperty, QVariant::fromValue(QCursor(pm, 5, 0)));
    if (mousePointer(window) == kPointerCustom) applyPointer(window, kPointerCustom);
}

void setMousePointer(QWidget* window, int state) {
    window->setProperty(kPointerProperty, state);
    applyPointer(window, state);
}

int mousePointer(const QWidget* window) {
    const QVariant v = window->property(kPointerProperty);
    return v.isValid() ? v.toInt() : kPointerDefault;
}

void installHoverConvention(QWidget* window, std::initializer_list<QWidget*> buttons,
                            std::initializer_list<QWidget*> others) {
    auto* toHand = new HoverFilter(window, kPointerCustom);
    auto* toDefault = new HoverFilter(window, kPointerDefault);
    for (QWidget* b : buttons) {
        b->setMouseTracking(true);
        b->installEventFilter(toHand);
    }
    for (QWidget* o : others) {
        o->setMouseTracking(true);
        o->installEventFilter(toDefault);
    }
}

void processPendingEvents() {
    QApplication::processEvents();
}

}  // namespace ui
