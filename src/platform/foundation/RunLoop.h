#pragma once

#include <atomic>
#include <condition_variable>
#include <cstddef>
#include <cstdint>
#include <deque>
#include <functional>
#include <map>
#include <memory>
#include <mutex>
#include <optional>
#include <string>
#include <thread>
#include <vector>

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
    // post its result here) and runs what it posts, until the loop is quiet. Work no longer
    // waited for (stopWaitingForBackgroundWork) is not waited for here either. While a wait
    // watch is set, drain() waits as drainWhile() does with it.
    void drain();

    // As drain(), but while it blocks on background work it asks `keepWaiting` about every
    // `interval` seconds of real time (the server on the other end is real) whether to go on.
    // When told not to, the described work in flight is no longer waited for (its results still
    // arrive and run with a later drain or runUntilIdle), the rest is, and false is returned.
    // It goes on asking while it blocks: described work that began since (a request the rest
    // started) can be let go the same way.
    bool drainWhile(const std::function<bool()>& keepWaiting, TimeInterval interval);
    // Sets (or, with an empty function, removes) the watch every drain() waits with. Main thread.
    void setWaitWatch(std::function<bool()> keepWaiting, TimeInterval interval);
    // Whether a watch is set: whether described work is named to a person. Any thread.
    bool hasWaitWatch() const { return watched_.load(); }

    // Moves a virtual shared clock forward by `seconds`, firing every timer at its own time in
    // order and draining after each. Fails (returns false) when the shared clock is not virtual.
    bool advanceVirtualTime(TimeInterval seconds);

    // Blocks running tasks and timers as they come due on the real clock, until stop().
    void run();
    void stop();

    std::optional<Date> nextTimerDate() const;
    std::size_t pendingTaskCount() const;

    // Background work accounting: work started with these counted lets drain() wait for it.
    // `what` says, in a few words for a person, what the work waits on ("127.0.0.1:8080 (ZENET
    // login)"); work left undescribed is the program's own and quick.
    using WorkId = std::uint64_t;
    WorkId beginBackgroundWork(std::string what = {});
    void endBackgroundWork(WorkId work);
    // Ends the work and queues `result` (its completion) in one step. When no one waited for
    // the work any more, nobody waits for the servers `result` turns to either (a request
    // retried after a failure): they go on as the work did.
    void endBackgroundWork(WorkId work, std::function<void()> result);
    // Queues `result` of work still in flight as endBackgroundWork does, without ending it.
    void postResult(WorkId work, std::function<void()> result);
    // The descriptions of the described work drain() still waits for, oldest first.
    std::vector<std::string> backgroundWorkWaitedFor() const;
    // Lets drain() return without the described work in flight now.
    void stopWaitingForBackgroundWork();
    // Gives work in flight a description, or takes it away with an empty one, as the work turns
    // out to wait on something a person should know of (and may stop waiting for) and is done
    // with it. Work no longer waited for stays so.
    void describeBackgroundWork(WorkId work, std::string what);
    // The counted work the calling thread is running (dispatch::background, onQueue); 0 when none.
    static WorkId currentWork();
    static void setCurrentWork(WorkId work);

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
    struct BackgroundWork {
        std::string what;
        bool waitedFor = true;
    };
    bool waitsForBackgroundWork() const;  // with mutex_ held
    // `result` as queued: one of work no longer waited for marks what it starts the same way.
    std::function<void()> resultTask(bool waitedFor, std::function<void()> result);

    std::map<WorkId, BackgroundWork> backgroundInFlight_;
    std::function<bool()> waitWatch_;
    std::atomic<bool> watched_{false};
    bool runningUnwaitedResult_ = false;  // loop thread only
    TimeInterval waitWatchInterval_ = 0;
    WorkId nextWorkId_ = 1;
    std::thread::id loopThread_;
    bool threadBound_ = false;
    bool stopRequested_ = false;
};

// Runs `task` on the main run loop, at once when already there.
void runOnMain(std::function<void()> task);

}  // namespace plat
