// Work off the user-interface thread.
#include "ui/worker.h"

#include <QCoreApplication>
#include <QEventLoop>
#include <QThread>
#include <condition_variable>
#include <exception>
#include <memory>
#include <mutex>
#include <thread>

namespace ui {

namespace {

std::atomic<unsigned> gEndRequests{0};

// The calls of one worker reach the user-interface thread as events to the application object,
// in the order they were made.
void queue(QCoreApplication* app, std::function<void()> f) {
    QMetaObject::invokeMethod(app, std::move(f), Qt::QueuedConnection);
}

}  // namespace

bool isUiThread() {
    const QCoreApplication* app = QCoreApplication::instance();
    return !app || QThread::currentThread() == app->thread();
}

void runInWorker(const std::function<void()>& work) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || !isUiThread()) {
        work();
        return;
    }
    struct State {
        bool done = false;  // set on this thread, by the worker's last queued call
        std::exception_ptr error;
    };
    auto state = std::make_shared<State>();
    std::thread worker([&work, state, app] {
        std::exception_ptr error;
        try {
            work();
        } catch (...) {
            error = std::current_exception();
        }
        // Queued after every call the work queued, so that none of them is left to run once
        // this function has returned and the objects they use are gone.
        queue(app, [state, error] {
            state->error = error;
            state->done = true;
        });
    });
    // Not a QEventLoop: a request to end the program makes those return at once, and the work
    // must be waited for all the same (it uses the command's objects). An exception out of an
    // event handler is passed on once the work is done, never while it still runs.
    std::exception_ptr handlerError;
    while (!state->done) {
        try {
            QCoreApplication::processEvents(QEventLoop::AllEvents | QEventLoop::WaitForMoreEvents);
        } catch (...) {
            if (!handlerError) handlerError = std::current_exception();
        }
    }
    worker.join();
    if (handlerError) std::rethrow_exception(handlerError);
    if (state->error) std::rethrow_exception(state->error);
}

void onUiThread(const std::function<void()>& f) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || isUiThread()) {
        f();
        return;
    }
    struct Call {
        std::mutex m;
        std::condition_variable cv;
        bool done = false;
        std::exception_ptr error;
    };
    auto call = std::make_shared<Call>();
    queue(app, [call, &f] {
        std::exception_ptr error;
        try {
            f();
        } catch (...) {
            error = std::current_exception();
        }
        {
            std::lock_guard lock(call->m);
            call->error = error;
            call->done = true;
        }
        call->cv.notify_one();
    });
    std::unique_lock lock(call->m);
    call->cv.wait(lock, [&] { return call->done; });
    if (call->error) std::rethrow_exception(call->error);
}

void postToUiThread(std::function<void()> f) {
    QCoreApplication* app = QCoreApplication::instance();
    if (!app || isUiThread()) {
        f();
        return;
    }
    queue(app, std::move(f));
}

void noteEndRequested() {
    ++gEndRequests;
}

EndWatch::EndWatch() : start_(gEndRequests.load()) {}

bool EndWatch::programEnding() const {
    return gEndRequests.load() != start_;
}

}  // namespace ui
