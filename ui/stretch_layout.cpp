// Growing the controls of a window designed at one size.
#include "ui/stretch_layout.h"

#include <algorithm>
#include <cmath>

namespace ui {

namespace {

int shareOf(double share, int extra) {
    return static_cast<int>(std::lround(share * extra));
}

}  // namespace

QRect grownRect(const QRect& designed, const Growth& growth, QSize extra) {
    const int dx = std::max(0, extra.width());
    const int dy = std::max(0, extra.height());
    const int left = designed.x() + shareOf(growth.left, dx);
    const int top = designed.y() + shareOf(growth.top, dy);
    const int right = designed.x() + designed.width() + shareOf(growth.left + growth.width, dx);
    const int bottom = designed.y() + designed.height() + shareOf(growth.top + growth.height, dy);
    return QRect(left, top, right - left, bottom - top);
}

void StretchLayout::add(QWidget* control, const QRect& designed, Growth growth) {
    items_.push_back({control, designed, growth});
    control->setGeometry(designed);
}

void StretchLayout::apply(QSize extra) const {
    for (const Item& item : items_)
        if (item.control) item.control->setGeometry(grownRect(item.designed, item.growth, extra));
}

}  // namespace ui
