// The start-up report (dunmorrow --startup-report): what the start-up left on screen, printed
// as text, and a prompt service that prints each message box instead of waiting for a click.
//
// The report reads, one item a line:
//   Shown: connection window        (a line per visible window: "connection window",
//   Shown: table browser             "table browser", or another window's designer name)
//   Access file: PATH               (the connection window's Access file field)
//   Sample database: PATH           (what "Load Sample/Example Database" puts there, followed
//                                    by " (missing)" when no such file exists)
//   Access tables: N                (the table browser's List1, then each name on a line of
//   <TAB>NAME                        its own after a tab; "Access tables: not listed" when
//   MySQL tables: N                  the table browser was never loaded; List2 likewise)
//   <TAB>NAME
#pragma once

#include <QString>
#include <iosfwd>

#include "ui/prompt_service.h"

namespace app {

class Form1;

// The report of the program's windows as they stand, `form1` being the connection window.
QString startupReport(const Form1& form1);

// Prints every request to `out` (message boxes as "Message box \"TITLE\": TEXT", line breaks
// kept) and answers as a user who declines: OK to a box with only OK, No to Yes/No, Cancel to
// the rest; no text for an input box, no file for a file dialog.
class ReportingPrompts : public ui::PromptService {
  public:
    explicit ReportingPrompts(std::ostream& out) : out_(out) {}

    ui::Answer message(const ui::MessageRequest& request) override;
    QString input(const ui::InputRequest& request) override;
    QString openFile(const ui::FileDialogRequest& request) override;
    QString saveFile(const ui::FileDialogRequest& request) override;

    // How many requests were printed.
    int requests() const { return requests_; }

  private:
    void print(const QString& what, const QString& title, const QString& text);

    std::ostream& out_;
    int requests_ = 0;
};

}  // namespace app
