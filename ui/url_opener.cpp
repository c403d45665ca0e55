// The URL opener.
#include "ui/url_opener.h"

#include <QDesktopServices>
#include <QUrl>

namespace ui {

namespace {
UrlOpener gOpener;
}

bool openUrl(const QString& address) {
    try {
        if (gOpener) return gOpener(address);
        return QDesktopServices::openUrl(QUrl(address, QUrl::StrictMode));
    } catch (...) {
        // Opening a page is a courtesy; a failure to ask for it changes nothing in the program.
        return false;
    }
}

void setUrlOpener(UrlOpener opener) {
    gOpener = std::move(opener);
}

}  // namespace ui
