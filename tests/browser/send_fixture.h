// Shared by the send command tests: the modal windows a send command shows (the customisation
// dialog, the review window), answered in order from a timer while the command waits in their
// modal loops, and what the review window held when it was shown.
#pragma once

#include <QTimer>
#include <deque>
#include <functional>
#include <memory>
#include <string>

#include "review/form4.h"
#include "tests/browser/browser_fixture.h"
#include "typecustom/form3.h"

namespace browsertest {

// The empty database of the same version as a fixture (relative to the fixtures folder).
std::string emptyDatabaseLike(const std::string& fixture);

// What a review window held when it appeared.
struct ReviewSeen {
    bool shown = false;
    std::string text;
    int sendType = -1;
    bool executedWithoutTrouble = false;  // Execute ran and the window closed itself
    QString notes;                        // the "Notes" box after Execute
};

// Answers the modal windows of a send command in the order queued. Each action must close its
// window (or leave it for the next action queued for the same window). A window that appears
// when nothing is queued is closed without confirming and counted, so that a test fails rather
// than waits.
class ModalScript {
  public:
    explicit ModalScript(browser::Form2& form);
    ~ModalScript();

    void onForm3(std::function<void(typecustom::Form3Window&)> act);
    void onForm4(std::function<void(review::Form4&)> act);
    std::size_t pending() const { return steps_.size(); }
    // Windows that appeared with nothing queued for them; they were closed unconfirmed.
    int unexpected() const { return unexpected_; }

  private:
    struct Step {
        bool form3;
        std::function<void(typecustom::Form3Window&)> act3;
        std::function<void(review::Form4&)> act4;
    };
    void tick();

    browser::Form2& form_;
    QTimer timer_;
    std::deque<Step> steps_;
    int unexpected_ = 0;
};

class SendTest : public BrowserTest {
  protected:
    void SetUp() override;
    void TearDown() override;

    // The next review window is read into the result and closed without executing, or
    // executed (which closes it when every line ran).
    std::shared_ptr<ReviewSeen> expectReview(bool execute = false);
    // The next customisation dialog is confirmed with its proposals as they stand; the
    // proposals are kept in `proposed` when given.
    void acceptCustomisation(std::vector<std::string>* proposed = nullptr);
    // The next customisation dialog is cancelled.
    void cancelCustomisation();

    // Fills both lists as "Next >" does.
    void listBoth();
    // Selects the items named (exactly) in `list`; the current item stays as it is.
    void select(browser::TableList* list, const QStringList& items);

    // The overwrite questions asked so far, their texts in order.
    QStringList overwriteQuestions() const;

    std::unique_ptr<ModalScript> modal;
};

}  // namespace browsertest
