// Opening a web page in the desktop's browser, through one replaceable opener.
//
// The program opens pages with the desktop's URL handler (QDesktopServices). Tests install an
// opener of their own that records the addresses, so that no test starts a browser.
#pragma once

#include <QString>
#include <functional>

namespace ui {

// Asks the desktop to open `address`; returns false when the request was refused. Never throws.
bool openUrl(const QString& address);

// Installs `opener` for every later openUrl(); an empty function restores the desktop's handler.
using UrlOpener = std::function<bool(const QString& address)>;
void setUrlOpener(UrlOpener opener);

}  // namespace ui
