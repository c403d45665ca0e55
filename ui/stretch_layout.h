// Windows designed at one size, in the designer's twips, that grow with their window.
//
// Each control keeps its designed place while the window has its designed size. When the
// window is larger, the control moves and grows by shares of the extra width and height: a list
// that takes all the extra height, two buttons side by side that take half the extra width each
// (the right one also moving right by half), a row below a growing list that moves down by all
// of it. Edges are rounded once each, so controls that meet at the designed size still meet.
// A window smaller than designed is laid out as at its designed size.
#pragma once

#include <QPointer>
#include <QRect>
#include <QSize>
#include <QWidget>
#include <vector>

namespace ui {

// Shares of the extra width (left, width) and height (top, height) a control takes.
struct Growth {
    double left = 0;
    double top = 0;
    double width = 0;
    double height = 0;
};

// Where a control designed at `designed` lies in a window `extra` pixels larger than designed.
QRect grownRect(const QRect& designed, const Growth& growth, QSize extra);

class StretchLayout {
  public:
    // `designed` is the control's place in pixels at the window's designed size, relative to
    // its parent (a frame's children grow by shares of the window's growth too).
    void add(QWidget* control, const QRect& designed, Growth growth);
    // Places every control for a window `extra` pixels larger than designed.
    void apply(QSize extra) const;

  private:
    struct Item {
        QPointer<QWidget> control;
        QRect designed;
        Growth growth;
    };
    std::vector<Item> items_;
};

}  // namespace ui
