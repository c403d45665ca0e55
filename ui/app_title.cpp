// The application title.
#include "ui/app_title.h"

namespace ui {

namespace {
QString gTitle = kProductName;
}

QString applicationTitle() {
    return gTitle;
}

QString deriveApplicationTitle(const QString& productName) {
    QString t = productName;
    do {
        const int space = t.lastIndexOf(' ');
        if (space < 0) break;
        t = t.left(space);
    } while (t.size() > 40);
    return t;
}

void setApplicationTitle(const QString& productName) {
    gTitle = deriveApplicationTitle(productName);
}

}  // namespace ui
