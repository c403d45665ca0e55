// Database work off the user-interface thread, so that the windows keep painting and answering
// while a slow query, a listing or a send runs.
//
// A command calls runInWorker() with the work; it returns when the work is done, as a plain call
// would, and rethrows what the work threw, so the command's numbered steps report failures as
// before. Meanwhile the user-interface thread handles window events: repaints, timers, progress,
// clicks (the command disables its window's buttons for that time, BusyWindow). Whatever the work
// needs from the windows (a question, a dialog, a list, the progress bar) it asks through
// onUiThread() or postToUiThread(); the prompt service does this by itself, so that every message
// box is shown on the user-interface thread whoever asks.
//
// Only one piece of work runs at a time: runInWorker() called from a worker runs the work there,
// and one called from the user-interface thread while another work waits there on onUiThread()
// (a dialog that reads a table of its own) runs beside a worker that is blocked.
//
// Without a QCoreApplication there are no windows: every function runs its work at once where it
// is called.
#pragma once

#include <atomic>
#include <functional>

namespace ui {

// True on the thread of the application's event loop, and everywhere when there is none.
bool isUiThread();

// Runs `work` in a thread of its own and handles window events on the calling thread until it
// is done; rethrows its exception. Called off the user-interface thread, runs `work` at once.
void runInWorker(const std::function<void()>& work);

// Runs `f` on the user-interface thread and waits for it; rethrows its exception in the caller.
// On the user-interface thread, runs it at once. REQUIRES: the user-interface thread handles
// events meanwhile (it does while it waits in runInWorker()).
void onUiThread(const std::function<void()>& f);

// Queues `f` for the user-interface thread, in order with the calls of onUiThread(), without
// waiting. On the user-interface thread, runs it at once.
void postToUiThread(std::function<void()> f);

// Counts the requests to end the program (endProgram() makes one), so that work that began
// before one can stop: EndWatch::programEnding() says whether one came since the watch was made.
// May be read from any thread.
void noteEndRequested();
class EndWatch {
  public:
    EndWatch();
    bool programEnding() const;

  private:
    unsigned start_;
};

}  // namespace ui
