// Remembered window sizes.
#include "ui/window_size.h"

#include <QEvent>
#include <QRegularExpression>
#include <QScreen>
#include <QTimerEvent>
#include <QWidget>
#include <algorithm>

#include "ui/settings.h"

namespace ui {

namespace {

// How long a size must stay unchanged before it is written: a drag of the window's edge
// changes it many times a second.
constexpr int kSettleMilliseconds = 400;

}  // namespace

QString windowSizeText(QSize size) {
    return QString::number(size.width()) + QLatin1Char('x') + QString::number(size.height());
}

std::optional<QSize> parseWindowSize(const QString& text) {
    static const QRegularExpression form(QStringLiteral("^([0-9]{1,5})x([0-9]{1,5})$"));
    const QRegularExpressionMatch m = form.match(text);
    if (!m.hasMatch()) return std::nullopt;
    const int width = m.captured(1).toInt();
    const int height = m.captured(2).toInt();
    if (width <= 0 || height <= 0) return std::nullopt;
    return QSize(width, height);
}

QSize restoredWindowSize(QSize stored, QSize minimum, QSize screenRoom) {
    auto bound = [](int value, int low, int room) {
        if (room > 0) value = std::min(value, std::max(room, low));
        return std::max(value, low);
    };
    return QSize(bound(stored.width(), minimum.width(), screenRoom.width()),
                 bound(stored.height(), minimum.height(), screenRoom.height()));
}

WindowSizeMemory::WindowSizeMemory(QWidget* window, QString key)
    : QObject(window), window_(window), key_(std::move(key)) {
    window_->installEventFilter(this);
}

bool WindowSizeMemory::restore() {
    const std::optional<QSize> stored = parseWindowSize(ui::getSetting(key_));
    if (!stored) return false;
    const QScreen* screen = window_->screen();
    QSize room = screen ? screen->availableSize() : QSize();
    // The room is for the whole window, title bar and borders included.
    const QSize frame = window_->frameGeometry().size() - window_->geometry().size();
    if (room.isValid() && window_->isVisible()) room -= frame;
    const ProgramResize own(*this);
    window_->resize(restoredWindowSize(*stored, window_->minimumSize(), room));
    userSized_ = true;
    return true;
}

void WindowSizeMemory::flush() {
    settle_.stop();
    if (!pending_) return;
    pending_ = false;
    ui::saveSetting(key_, windowSizeText(window_->size()));
}

bool WindowSizeMemory::eventFilter(QObject* watched, QEvent* event) {
    if (watched == window_) {
        if (event->type() == QEvent::Resize && own_ == 0 && window_->isVisible()) {
            userSized_ = true;
            pending_ = true;
            settle_.start(kSettleMilliseconds, this);
        } else if (event->type() == QEvent::Hide) {
            flush();
        }
    }
    return QObject::eventFilter(watched, event);
}

void WindowSizeMemory::timerEvent(QTimerEvent* event) {
    if (event->timerId() == settle_.timerId()) {
        flush();
        return;
    }
    QObject::timerEvent(event);
}

}  // namespace ui
