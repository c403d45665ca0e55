// The table browser's side of "Next >": Form2Handoff creates Form2 the first time "Next >"
// touches it (running its load routine then), fills its two lists and shows it.
//
// The program installs one Form2Handoff as ui::browserHandoff() for its whole run; the window it
// creates lives as long as the handoff. A later "Next >" reuses the same window, whose lists the
// listings clear before they fill them.
#pragma once

#include <memory>

#include "ui/browser_handoff.h"

namespace browser {

class Form2;

class Form2Handoff : public ui::BrowserHandoff {
  public:
    Form2Handoff();
    ~Form2Handoff() override;

    // Fills List1 with the Access tables of the file named in the login fields.
    void listAccessTables() override;
    // Fills List2 with the MySQL tables of the login's database.
    void listMySqlTables() override;
    void showBrowser() override;

    // The window, created and loaded on first use.
    Form2& form();
    // The window if it exists, else nullptr.
    Form2* existingForm() const { return form_.get(); }

  private:
    std::unique_ptr<Form2> form_;
};

}  // namespace browser
