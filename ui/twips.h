// The designer's unit: twips, 15 to a pixel on a 96 dots-per-inch screen, scaled with the
// screen the window is on.
#pragma once

#include <QRect>
#include <QScreen>
#include <QWidget>
#include <cmath>

namespace ui {

class Twips {
  public:
    explicit Twips(const QWidget* window) {
        const QScreen* screen = window ? window->screen() : nullptr;
        const double dpi = screen ? screen->logicalDotsPerInch() : 96.0;
        scale_ = dpi / 96.0 / 15.0;
    }
    int operator()(int twips) const { return static_cast<int>(std::lround(twips * scale_)); }
    QRect rect(int left, int top, int width, int height) const {
        return QRect((*this)(left), (*this)(top), (*this)(width), (*this)(height));
    }

  private:
    double scale_ = 1.0 / 15.0;
};

}  // namespace ui
