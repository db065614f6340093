#pragma once

#include <functional>
#include <memory>
#include <mutex>

#include "platform/foundation/Date.h"
#include "platform/foundation/Dispatch.h"

namespace bb {

// A repeating timer source that queues its handler on a serial queue, timed by the shared clock.
// One thread of the library's own watches every source. On a virtual clock time moves only by
// hand, so whoever moves it calls fireDueSources() to let the sources see the new time.
class BBTimerSource : public std::enable_shared_from_this<BBTimerSource> {
public:
    static std::shared_ptr<BBTimerSource> create(plat::SerialQueue& queue);

    void setEventHandler(std::function<void()> handler);
    // First firing at `start`, then every `interval` seconds. Firings that fall due together
    // (the process was busy, or a virtual clock jumped) are delivered once.
    void setTimer(plat::Date start, plat::TimeInterval interval);
    void resume();
    void cancel();
    bool isCancelled() const;

    // Queues the handler of every resumed source whose time has come.
    static void fireDueSources();

    explicit BBTimerSource(plat::SerialQueue& queue) : queue_(queue) {}

private:
    friend class BBTimerSourceScheduler;
    // The next firing, when the source is armed, resumed and not cancelled.
    bool nextFiring(plat::Date& date) const;
    // When due by `now`, moves the schedule past `now` and returns true.
    bool takeFiringDueBy(plat::Date now);
    void deliver();

    plat::SerialQueue& queue_;
    mutable std::mutex mutex_;
    std::shared_ptr<const std::function<void()>> handler_;
    plat::Date next_;
    plat::TimeInterval interval_ = 0;
    bool armed_ = false;
    bool resumed_ = false;
    bool cancelled_ = false;
};

}  // namespace bb
