// The hand-over from the connection window's "Next >" to the table browser.
//
// "Next >" checks the logins itself (steps 100 to 106) and then hands over: step 108 fills the
// browser's Access list, step 110 its MySQL list, step 112 shows the browser, and step 114 hides
// the connection window. The table browser implements BrowserHandoff and installs itself; each
// call may throw, and "Next >" reports the failure under that step and goes on with the next.
// Without an installed handoff, "Next >" ends after step 106 and the connection window stays.
#pragma once

namespace ui {

class BrowserHandoff {
  public:
    virtual ~BrowserHandoff() = default;
    // Step 108: loads the browser when needed and fills its Access list from the file named by
    // the login fields.
    virtual void listAccessTables() = 0;
    // Step 110: fills the browser's MySQL list.
    virtual void listMySqlTables() = 0;
    // Step 112: shows the browser, not modal.
    virtual void showBrowser() = 0;
};

// The installed handoff (not owned), or nullptr.
BrowserHandoff* browserHandoff();
void setBrowserHandoff(BrowserHandoff* handoff);

}  // namespace ui
