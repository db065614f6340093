#pragma once

#include <condition_variable>
#include <cstddef>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <thread>

#include "platform/foundation/Date.h"

namespace plat {

class Timer;

// The main run loop: one queue of tasks and the timers, run on the main thread. Every screen,
// instrument callback and completion runs here; other threads hand work to it with post().
class RunLoop {
public:
    static RunLoop& main();

    // Makes the calling thread the loop's thread (the first user of main() otherwise).
    void bindToCurrentThread();
    bool isLoopThread() const;

    // Queues a task; safe from any thread.
    void post(std::function<void()> task);

    // Runs queued tasks and timers that are due by the shared clock until none is ready.
    // Never waits for time to pass. Returns how many tasks and timer firings ran.
    std::size_t runUntilIdle();

    // Like runUntilIdle, then also waits for background work still in flight (work that will
    // post its result here) and runs what it posts, until the loop is quiet.
    void drain();

    // Moves a virtual shared clock forward by `seconds`, firing every timer at its own time in
    // order and draining after each. Fails (returns false) when the shared clock is not virtual.
    bool advanceVirtualTime(TimeInterval seconds);

    // Blocks running tasks and timers as they come due on the real clock, until stop().
    void run();
    void stop();

    std::optional<Date> nextTimerDate() const;
    std::size_t pendingTaskCount() const;

    // Background work accounting: work started with these counted lets drain() wait for it.
    void beginBackgroundWork();
    void endBackgroundWork();

private:
    friend class Timer;
    RunLoop() = default;
    void addTimer(const std::shared_ptr<Timer>& timer);
    void removeTimer(const Timer* timer);
    bool runOneDueTimer();
    bool runOneTask();

    mutable std::mutex mutex_;
    std::condition_variable wake_;
    std::deque<std::function<void()>> tasks_;
    std::multimap<Date, std::shared_ptr<Timer>> timers_;
    std::size_t backgroundInFlight_ = 0;
    std::thread::id loopThread_;
    bool threadBound_ = false;
    bool stopRequested_ = false;
};

// Runs `task` on the main run loop, at once when already there.
void runOnMain(std::function<void()> task);

}  // namespace plat
