// Work off the user-interface thread: it runs in another thread while the window's events go on,
// its failures come back to the caller, what it asks of the windows runs on the user-interface
// thread in the order asked (the prompt service's questions among it), nothing it queued is left
// once it returns, and a request to end the program is seen by work that began before it.
// The busy window disables and restores a window's buttons.
#include <gtest/gtest-spi.h>
#include <gtest/gtest.h>

#include <QApplication>
#include <QCheckBox>
#include <QDialog>
#include <QPushButton>
#include <QThread>
#include <QTimer>
#include <QWidget>
#include <chrono>
#include <stdexcept>
#include <thread>
#include <vector>

#include "tests/support/gui_fixture.h"
#include "tests/support/heartbeat.h"
#include "ui/busy_window.h"
#include "ui/program_state.h"
#include "ui/prompt_service.h"
#include "ui/worker.h"

namespace {

using namespace std::chrono_literals;

class WorkerTest : public testenv::GuiTest {};

TEST_F(WorkerTest, WorkRunsInAnotherThreadWhileTimersGoOn) {
    ASSERT_TRUE(ui::isUiThread());
    bool offUiThread = false;
    testenv::Heartbeat beat;
    beat.start();
    ui::runInWorker([&] {
        offUiThread = !ui::isUiThread();
        std::this_thread::sleep_for(600ms);
    });
    beat.stop();
    EXPECT_TRUE(offUiThread);
    EXPECT_GE(beat.elapsedMs(), 600);
    EXPECT_LT(beat.longestGapMs(), 100);
    EXPECT_GT(beat.beats(), 30);
}

TEST_F(WorkerTest, AFailureOfTheWorkReachesTheCaller) {
    EXPECT_THROW(ui::runInWorker([] { throw std::runtime_error("no table"); }), std::runtime_error);
    try {
        ui::runInWorker(
            [] { ui::onUiThread([] { throw std::invalid_argument("from the window"); }); });
        FAIL() << "nothing was thrown";
    } catch (const std::invalid_argument& e) {
        EXPECT_STREQ(e.what(), "from the window");
    }
}

TEST_F(WorkerTest, CallsFromTheWorkRunOnTheUiThreadInTheirOrderAndNoneIsLeftAfterIt) {
    std::vector<int> order;
    std::vector<bool> onUi;
    ui::runInWorker([&] {
        for (int i = 0; i < 200; ++i) {
            if (i % 50 == 49)
                ui::onUiThread([&, i] {
                    order.push_back(i);
                    onUi.push_back(ui::isUiThread());
                });
            else
                ui::postToUiThread([&, i] {
                    order.push_back(i);
                    onUi.push_back(ui::isUiThread());
                });
        }
        // Work inside work runs where it is.
        ui::runInWorker([&] { onUi.push_back(!ui::isUiThread()); });
    });
    // Every call queued ran before runInWorker returned, in order.
    ASSERT_EQ(order.size(), 200u);
    for (int i = 0; i < 200; ++i)
        EXPECT_EQ(order[static_cast<std::size_t>(i)], i);
    for (bool b : onUi)
        EXPECT_TRUE(b);
}

TEST_F(WorkerTest, QuestionsFromTheWorkAreAnsweredByTheServiceOnTheUiThread) {
    std::vector<bool> askedOnUi;
    prompts.onRequest = [&](const ui::ScriptedPrompts::Record&) {
        askedOnUi.push_back(QThread::currentThread() == qApp->thread());
    };
    prompts.queueAnswer(ui::Answer::Yes);
    prompts.queueInput("new name");
    ui::Answer answer = ui::Answer::Cancel;
    QString typed;
    ui::runInWorker([&] {
        answer = ui::prompts().message(
            {"Would you like to overwrite T?", "Overwrite?", ui::Buttons::YesNo, ui::Icon::None});
        typed = ui::prompts().input({"Enter new name of T:", "Dunmorrow", "T"});
        ui::inform("Transfer finished.");
    });
    EXPECT_EQ(answer, ui::Answer::Yes);
    EXPECT_EQ(typed, "new name");
    ASSERT_EQ(prompts.records().size(), 3u);
    EXPECT_EQ(prompts.messages()[0].title, "Overwrite?");
    EXPECT_EQ(prompts.messages()[1].text, "Transfer finished.");
    EXPECT_EQ(askedOnUi, (std::vector<bool>{true, true, true}));
    prompts.onRequest = nullptr;
}

TEST_F(WorkerTest, AModalDialogShownForTheWorkRunsItsOwnWorkBesideIt) {
    // The dialog a send shows between tables reads a table of its own while the send waits.
    bool innerRan = false;
    ui::runInWorker([&] {
        ui::onUiThread([&] {
            QDialog dialog;
            QTimer::singleShot(0, &dialog, [&] {
                ui::runInWorker([&] {
                    std::this_thread::sleep_for(50ms);
                    innerRan = !ui::isUiThread();
                });
                dialog.accept();
            });
            dialog.exec();
        });
    });
    EXPECT_TRUE(innerRan);
}

TEST_F(WorkerTest, AnEndRequestedDuringTheWorkIsSeenByItAndNotByLaterWork) {
    const ui::EndWatch before;
    bool seenInWork = false;
    ui::runInWorker([&] {
        ui::onUiThread([] { ui::noteEndRequested(); });
        seenInWork = before.programEnding();
    });
    EXPECT_TRUE(seenInWork);
    const ui::EndWatch after;
    EXPECT_FALSE(after.programEnding());
}

// Work that touches a window's objects itself, not through the window thread, fails the test
// that runs it: every window test watches for it.
void adoptByTheApplicationInAWorker() {
    ui::runInWorker([] { QObject child(qApp); });
}

TEST_F(WorkerTest, AWorkerThatUsesTheWindowThreadsObjectsFailsTheTest) {
    EXPECT_NONFATAL_FAILURE_ON_ALL_THREADS(adoptByTheApplicationInAWorker(),
                                           "Qt warning off the window thread: ");
}

TEST_F(WorkerTest, ABusyWindowDisablesItsOwnButtonsAndGivesBackTheirStates) {
    QWidget window;
    auto* a = new QPushButton("a", &window);
    auto* b = new QPushButton("b", &window);
    auto* box = new QCheckBox("c", &window);
    b->setEnabled(false);
    auto* dialog = new QDialog(&window);  // a window of its own, owned by this one
    auto* inDialog = new QPushButton("d", dialog);
    {
        const ui::BusyWindow busy(&window);
        EXPECT_FALSE(a->isEnabled());
        EXPECT_FALSE(b->isEnabled());
        EXPECT_FALSE(box->isEnabled());
        EXPECT_TRUE(inDialog->isEnabled());
        {
            const ui::BusyWindow again(&window);  // changes nothing
        }
        EXPECT_FALSE(a->isEnabled());
        b->setEnabled(false);
    }
    EXPECT_TRUE(a->isEnabled());
    EXPECT_FALSE(b->isEnabled());  // disabled before, disabled after
    EXPECT_TRUE(box->isEnabled());
    EXPECT_TRUE(inDialog->isEnabled());
}

}  // namespace
