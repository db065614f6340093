#include "platform/foundation/RunLoop.h"

#include <chrono>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Timer.h"

namespace plat {

RunLoop& RunLoop::main() {
    // Leaked on purpose: worker threads may still post to it while the process exits.
    static RunLoop* loop = [] {
        auto* l = new RunLoop();
        l->bindToCurrentThread();
        return l;
    }();
    return *loop;
}

void RunLoop::bindToCurrentThread() {
    std::lock_guard lock(mutex_);
    loopThread_ = std::this_thread::get_id();
    threadBound_ = true;
}

bool RunLoop::isLoopThread() const {
    std::lock_guard lock(mutex_);
    return threadBound_ && loopThread_ == std::this_thread::get_id();
}

void RunLoop::post(std::function<void()> task) {
    {
        std::lock_guard lock(mutex_);
        tasks_.push_back(std::move(task));
    }
    wake_.notify_all();
}

bool RunLoop::runOneTask() {
    std::function<void()> task;
    {
        std::lock_guard lock(mutex_);
        if (tasks_.empty()) return false;
        task = std::move(tasks_.front());
        tasks_.pop_front();
    }
    task();
    return true;
}

bool RunLoop::runOneDueTimer() {
    std::shared_ptr<Timer> timer;
    const Date now = Clock::shared()->now();
    {
        std::lock_guard lock(mutex_);
        auto it = timers_.begin();
        if (it == timers_.end() || it->first > now) return false;
        timer = it->second;
        timers_.erase(it);
    }
    timer->fireScheduled();
    return true;
}

std::size_t RunLoop::runUntilIdle() {
    std::size_t ran = 0;
    for (;;) {
        // Tasks first, so a timer never overtakes work posted before it came due.
        if (runOneTask() || runOneDueTimer()) {
            ++ran;
            continue;
        }
        return ran;
    }
}

void RunLoop::drain() {
    // A copy: the watch may be replaced while it runs.
    const auto watch = waitWatch_;
    drainWhile(watch, waitWatchInterval_);
}

void RunLoop::setWaitWatch(std::function<bool()> keepWaiting, TimeInterval interval) {
    waitWatch_ = std::move(keepWaiting);
    watched_ = static_cast<bool>(waitWatch_);
    waitWatchInterval_ = interval;
}

bool RunLoop::drainWhile(const std::function<bool()>& keepWaiting, TimeInterval interval) {
    const auto ready = [this] { return !tasks_.empty() || !waitsForBackgroundWork(); };
    bool waitedOut = true;
    for (;;) {
        runUntilIdle();
        std::unique_lock lock(mutex_);
        if (!waitsForBackgroundWork() && tasks_.empty()) return waitedOut;
        if (!keepWaiting) {
            wake_.wait(lock, ready);
            continue;
        }
        if (wake_.wait_for(lock, std::chrono::duration<double>(interval), ready)) continue;
        lock.unlock();
        if (!keepWaiting()) {
            stopWaitingForBackgroundWork();
            waitedOut = false;
        }
    }
}

bool RunLoop::advanceVirtualTime(TimeInterval seconds) {
    auto clock = std::dynamic_pointer_cast<VirtualClock>(Clock::shared());
    if (!clock) return false;
    const Date target = clock->now().addingTimeInterval(seconds);
    drain();
    for (;;) {
        auto next = nextTimerDate();
        if (!next || *next > target) break;
        if (*next > clock->now()) clock->set(*next);
        drain();
    }
    clock->set(target);
    drain();
    return true;
}

void RunLoop::run() {
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = false;
    }
    for (;;) {
        runUntilIdle();
        std::unique_lock lock(mutex_);
        if (stopRequested_) return;
        if (!tasks_.empty()) continue;
        if (timers_.empty()) {
            wake_.wait(lock, [this] { return stopRequested_ || !tasks_.empty(); });
        } else {
            const TimeInterval wait = timers_.begin()->first.timeIntervalSinceNow();
            if (wait > 0) {
                wake_.wait_for(lock, std::chrono::duration<double>(wait));
            }
        }
    }
}

void RunLoop::stop() {
    {
        std::lock_guard lock(mutex_);
        stopRequested_ = true;
    }
    wake_.notify_all();
}

std::optional<Date> RunLoop::nextTimerDate() const {
    std::lock_guard lock(mutex_);
    if (timers_.empty()) return std::nullopt;
    return timers_.begin()->first;
}

std::size_t RunLoop::pendingTaskCount() const {
    std::lock_guard lock(mutex_);
    return tasks_.size();
}

RunLoop::WorkId RunLoop::beginBackgroundWork(std::string what) {
    const bool unwaited = !what.empty() && isLoopThread() && runningUnwaitedResult_;
    std::lock_guard lock(mutex_);
    const WorkId id = nextWorkId_++;
    backgroundInFlight_.emplace(id, BackgroundWork{std::move(what), !unwaited});
    return id;
}

std::function<void()> RunLoop::resultTask(bool waitedFor, std::function<void()> result) {
    if (waitedFor) return result;
    return [this, result = std::move(result)] {
        // Restored rather than cleared: such a result may drain and run another one.
        struct Restore {
            bool& flag;
            bool was;
            ~Restore() { flag = was; }
        } restore{runningUnwaitedResult_, runningUnwaitedResult_};
        runningUnwaitedResult_ = true;
        result();
    };
}

void RunLoop::endBackgroundWork(WorkId work, std::function<void()> result) {
    {
        std::lock_guard lock(mutex_);
        bool waitedFor = true;
        if (auto it = backgroundInFlight_.find(work); it != backgroundInFlight_.end()) {
            waitedFor = it->second.waitedFor;
            backgroundInFlight_.erase(it);
        }
        tasks_.push_back(resultTask(waitedFor, std::move(result)));
    }
    wake_.notify_all();
}

void RunLoop::postResult(WorkId work, std::function<void()> result) {
    {
        std::lock_guard lock(mutex_);
        const auto it = backgroundInFlight_.find(work);
        tasks_.push_back(resultTask(it == backgroundInFlight_.end() || it->second.waitedFor, std::move(result)));
    }
    wake_.notify_all();
}

void RunLoop::endBackgroundWork(WorkId work) {
    {
        std::lock_guard lock(mutex_);
        backgroundInFlight_.erase(work);
    }
    wake_.notify_all();
}

std::vector<std::string> RunLoop::backgroundWorkWaitedFor() const {
    std::lock_guard lock(mutex_);
    std::vector<std::string> described;
    for (const auto& [id, work] : backgroundInFlight_) {
        if (work.waitedFor && !work.what.empty()) described.push_back(work.what);
    }
    return described;
}

void RunLoop::stopWaitingForBackgroundWork() {
    {
        std::lock_guard lock(mutex_);
        // The program's own work is quick and what comes after relies on it: it is still waited for.
        for (auto& [id, work] : backgroundInFlight_) work.waitedFor = work.waitedFor && work.what.empty();
    }
    wake_.notify_all();
}

void RunLoop::describeBackgroundWork(WorkId work, std::string what) {
    {
        std::lock_guard lock(mutex_);
        const auto it = backgroundInFlight_.find(work);
        if (it != backgroundInFlight_.end()) it->second.what = std::move(what);
    }
    wake_.notify_all();
}

namespace {
thread_local RunLoop::WorkId currentWorkOfThread = 0;
}  // namespace

RunLoop::WorkId RunLoop::currentWork() { return currentWorkOfThread; }
void RunLoop::setCurrentWork(WorkId work) { currentWorkOfThread = work; }

bool RunLoop::waitsForBackgroundWork() const {
    for (const auto& [id, work] : backgroundInFlight_) {
        if (work.waitedFor) return true;
    }
    return false;
}

void RunLoop::addTimer(const std::shared_ptr<Timer>& timer) {
    {
        std::lock_guard lock(mutex_);
        timers_.emplace(timer->fireDate(), timer);
    }
    wake_.notify_all();
}

void RunLoop::removeTimer(const Timer* timer) {
    std::lock_guard lock(mutex_);
    for (auto it = timers_.begin(); it != timers_.end(); ++it) {
        if (it->second.get() == timer) {
            timers_.erase(it);
            return;
        }
    }
}

void runOnMain(std::function<void()> task) {
    RunLoop& loop = RunLoop::main();
    if (loop.isLoopThread()) {
        task();
    } else {
        loop.post(std::move(task));
    }
}

}  // namespace plat
