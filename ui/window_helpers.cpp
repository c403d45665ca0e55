// Window helpers.
#include "ui/window_helpers.h"

#include <QAbstractButton>
#include <QAbstractScrollArea>
#include <QApplication>
#include <QCheckBox>
#include <QCursor>
#include <QEvent>
#include <QFile>
#include <QFileInfo>
#include <QFocusEvent>
#include <QGroupBox>
#include <QLabel>
#include <QLineEdit>
#include <QMouseEvent>
#include <QPainter>
#include <QPalette>
#include <QPixmap>
#include <QRadioButton>
#include <QSet>
#include <QTimer>
#include <optional>
#include <stdexcept>

#include "ui/program_state.h"
#include "ui/worker.h"

namespace ui {

namespace {

const char* const kPointerProperty = "dmMousePointer";
const char* const kHandProperty = "dmHandCursor";
const char* const kOwnCursorProperty = "dmOwnCursor";

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
    // The hourglass shows over every control: a control with a pointer of its own (a text
    // field's text pointer) gives it up while the window is busy and gets it back afterwards.
    // The hand and the arrow leave such controls their own pointer.
    for (QWidget* child : window->findChildren<QWidget*>()) {
        if (state == kPointerBusy) {
            if (child->testAttribute(Qt::WA_SetCursor) &&
                !child->property(kOwnCursorProperty).isValid()) {
                child->setProperty(kOwnCursorProperty, QVariant::fromValue(child->cursor()));
                child->unsetCursor();
            }
        } else if (const QVariant own = child->property(kOwnCursorProperty); own.isValid()) {
            child->setCursor(own.value<QCursor>());
            child->setProperty(kOwnCursorProperty, QVariant());
        }
    }
}

// The mouse position of a move or enter event, in the receiver's coordinates.
std::optional<QPoint> eventPosition(QEvent* event) {
    switch (event->type()) {
        case QEvent::MouseMove:
            return static_cast<QMouseEvent*>(event)->position().toPoint();
        case QEvent::Enter:
            return static_cast<QEnterEvent*>(event)->position().toPoint();
        case QEvent::HoverMove:
            return static_cast<QHoverEvent*>(event)->position().toPoint();
        default:
            return std::nullopt;
    }
}

class HoverFilter : public QObject {
  public:
    HoverFilter(QWidget* window, std::initializer_list<QWidget*> buttons)
        : QObject(window), window_(window), buttons_(buttons) {}

    bool eventFilter(QObject* watched, QEvent* event) override {
        const std::optional<QPoint> pos = eventPosition(event);
        if (!pos) return false;
        auto* widget = static_cast<QWidget*>(watched);
        const bool overButton = buttons_.contains(widget);
        // A move that a button ignored travels on to the controls behind it; there it must not
        // undo the hand the button just set.
        if (!overButton)
            for (QWidget* under = widget->childAt(*pos); under && under != widget;
                 under = under->parentWidget())
                if (buttons_.contains(under)) return false;
        const int target = overButton ? kPointerCustom : kPointerDefault;
        if (mousePointer(window_) != kPointerBusy && mousePointer(window_) != target)
            setMousePointer(window_, target);
        return false;
    }

  private:
    QWidget* window_;
    QSet<QWidget*> buttons_;
};

class SelectAllFilter : public QObject {
  public:
    explicit SelectAllFilter(QLineEdit* field) : QObject(field), field_(field) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() != QEvent::FocusIn) return false;
        field_->selectAll();
        // A click moves the text cursor after the focus arrived; select again once it is done.
        if (static_cast<QFocusEvent*>(event)->reason() == Qt::MouseFocusReason)
            QTimer::singleShot(0, field_, [f = field_] { f->selectAll(); });
        return false;
    }

  private:
    QLineEdit* field_;
};

class PathFieldFilter : public QObject {
  public:
    explicit PathFieldFilter(QLineEdit* field) : QObject(field), field_(field) {}
    bool eventFilter(QObject*, QEvent* event) override {
        if (event->type() == QEvent::FocusOut) showStart();
        return false;
    }
    void showStart() {
        if (!field_->hasFocus()) field_->setCursorPosition(0);
    }

  private:
    QLineEdit* field_;
};

}  // namespace

bool fileExists(const QString& path) {
    if (path.isEmpty()) return false;
    const QFileInfo info(path);
    return info.exists() && info.isFile() && info.lastModified().isValid();
}

QString programFile(const QString& relative) {
    const QString beside = programFolder() + "/" + relative;
    if (fileExists(beside)) return beside;
    const QString installed = installedDataFolder() + "/" + relative;
    return fileExists(installed) ? installed : beside;
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
    // The installed icon (share/icons/hicolor/.../dunmorrow) when the desktop's icon theme has
    // it, so the windows show what the menu shows; else one drawn here, as beside a build.
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
        return QIcon::fromTheme(QStringLiteral("dunmorrow"), QIcon(pm));
    }();
    return icon;
}

void setApplicationIcon(QWidget* window) {
    window->setWindowIcon(applicationIcon());
}

bool handPointerFileExists() {
    return fileExists(programFile("HAND-M.CUR"));
}

namespace {

QPoint cursorHotspot(const QByteArray& file, const QSize& imageSize) {
    // A cursor file opens with a six-byte header (reserved 0, type 2, image count) and one
    // sixteen-byte entry per image, whose bytes 4 to 7 hold the hot spot's x and y, little-endian.
    // Any other file (an icon named .CUR) has no hot spot: the top left corner is used.
    auto u16 = [&](int at) {
        return static_cast<int>(static_cast<unsigned char>(file[at])) |
               static_cast<int>(static_cast<unsigned char>(file[at + 1])) << 8;
    };
    if (file.size() < 6 + 16 || u16(0) != 0 || u16(2) != 2 || u16(4) < 1) return {0, 0};
    const int x = u16(6 + 4), y = u16(6 + 6);
    if (x >= imageSize.width() || y >= imageSize.height()) return {0, 0};
    return {x, y};
}

}  // namespace

void loadHandPointer(QWidget* window) {
    QFile file(programFile("HAND-M.CUR"));
    QByteArray bytes;
    if (file.open(QIODevice::ReadOnly)) bytes = file.readAll();
    QPixmap pm;
    if (bytes.isEmpty() || !pm.loadFromData(bytes, "CUR"))
        throw std::runtime_error("The pointer file " + file.fileName().toStdString() +
                                 " could not be read as a pointer image.");
    const QPoint hot = cursorHotspot(bytes, pm.size());
    window->setProperty(kHandProperty, QVariant::fromValue(QCursor(pm, hot.x(), hot.y())));
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
    auto* filter = new HoverFilter(window, buttons);
    for (QWidget* b : buttons) {
        b->setMouseTracking(true);
        b->installEventFilter(filter);
    }
    for (QWidget* o : others) {
        o->setMouseTracking(true);
        o->installEventFilter(filter);
        // Lists and multi-line texts receive the mouse on their viewport.
        if (auto* area = qobject_cast<QAbstractScrollArea*>(o)) {
            area->viewport()->setMouseTracking(true);
            area->viewport()->installEventFilter(filter);
        }
    }
}

void selectAllOnFocus(QLineEdit* field) {
    field->installEventFilter(new SelectAllFilter(field));
}

void showPathFromItsStart(QLineEdit* field) {
    auto* filter = new PathFieldFilter(field);
    field->installEventFilter(filter);
    QObject::connect(field, &QLineEdit::textChanged, filter, [field, filter](const QString& text) {
        field->setToolTip(text);
        // A text the program set (setText() clears the modified flag) shows from its start;
        // what the user types stays where the cursor is.
        if (!field->isModified()) filter->showStart();
    });
    field->setToolTip(field->text());
    filter->showStart();
}

void processPendingEvents() {
    if (!isUiThread()) return;  // a worker's window events run on the user-interface thread
    QApplication::processEvents();
}

}  // namespace ui
