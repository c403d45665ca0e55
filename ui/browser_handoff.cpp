// The installed browser handoff.
#include "ui/browser_handoff.h"

namespace ui {

namespace {
BrowserHandoff* gHandoff = nullptr;
}

BrowserHandoff* browserHandoff() {
    return gHandoff;
}

void setBrowserHandoff(BrowserHandoff* handoff) {
    gHandoff = handoff;
}

}  // namespace ui
