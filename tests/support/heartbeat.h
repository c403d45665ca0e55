// A timer that beats every few milliseconds while a test clicks through slow work, and records
// the longest wait between two beats: how long the window took, at worst, to answer an event.
#pragma once

#include <QElapsedTimer>
#include <QTimer>
#include <algorithm>
#include <functional>

namespace testenv {

class Heartbeat {
  public:
    explicit Heartbeat(int intervalMs = 10) {
        timer_.setTimerType(Qt::PreciseTimer);
        timer_.setInterval(intervalMs);
        QObject::connect(&timer_, &QTimer::timeout, [this] {
            const qint64 now = clock_.elapsed();
            longestMs_ = std::max(longestMs_, now - lastMs_);
            lastMs_ = now;
            ++beats_;
            if (onBeat) onBeat();
        });
    }
    void start() {
        clock_.start();
        lastMs_ = 0;
        timer_.start();
    }
    // Stops, counting the wait since the last beat too.
    void stop() {
        longestMs_ = std::max(longestMs_, clock_.elapsed() - lastMs_);
        timer_.stop();
    }
    qint64 longestGapMs() const { return longestMs_; }
    qint64 elapsedMs() const { return clock_.elapsed(); }
    int beats() const { return beats_; }

    std::function<void()> onBeat;  // called at each beat

  private:
    QTimer timer_;
    QElapsedTimer clock_;
    qint64 lastMs_ = 0;
    qint64 longestMs_ = 0;
    int beats_ = 0;
};

}  // namespace testenv
