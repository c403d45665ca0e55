// A window that opens at its designed size and remembers the size the user gives it.
//
// The size lives in the settings store under the window's own key, as "WIDTHxHEIGHT" in
// device-independent pixels. A size counts as the user's when the window changes size while it
// is shown, except while the window's own code resizes it (inside a ProgramResize). It is
// written once the user has stopped changing it for a moment, and at the latest when the window
// is hidden. Restoring never makes a window smaller than its minimum size, nor, unless that
// minimum needs it, larger than the room its screen has for windows.
#pragma once

#include <QBasicTimer>
#include <QObject>
#include <QSize>
#include <QString>
#include <optional>

class QWidget;

namespace ui {

// "640x480" for 640 by 480.
QString windowSizeText(QSize size);
// The size `text` names, or nothing when it is not two positive whole numbers joined by "x".
std::optional<QSize> parseWindowSize(const QString& text);
// The size to open at: `stored`, at least `minimum`, and at most `screenRoom` (an empty
// screenRoom puts no bound) unless `minimum` is larger.
QSize restoredWindowSize(QSize stored, QSize minimum, QSize screenRoom);

class WindowSizeMemory : public QObject {
  public:
    // Watches `window` (which owns this object) and remembers its size under `key`.
    WindowSizeMemory(QWidget* window, QString key);

    // Resizes the window to the remembered size; returns false, leaving the window as it is,
    // when none is remembered.
    bool restore();
    // True once the window has a size of the user's: restored, or changed by the user.
    bool userSized() const { return userSized_; }
    // Writes a size not yet written.
    void flush();

    // The window's own resizes while one of these lives are not the user's.
    class ProgramResize {
      public:
        explicit ProgramResize(WindowSizeMemory& memory) : memory_(memory) { ++memory_.own_; }
        ~ProgramResize() { --memory_.own_; }
        ProgramResize(const ProgramResize&) = delete;
        ProgramResize& operator=(const ProgramResize&) = delete;

      private:
        WindowSizeMemory& memory_;
    };

  protected:
    bool eventFilter(QObject* watched, QEvent* event) override;
    void timerEvent(QTimerEvent* event) override;

  private:
    QWidget* window_;
    QString key_;
    QBasicTimer settle_;
    int own_ = 0;
    bool userSized_ = false;
    bool pending_ = false;
};

}  // namespace ui
