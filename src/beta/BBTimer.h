#pragma once

#include <atomic>
#include <functional>
#include <memory>
#include <mutex>

#include "beta/BBTimerSource.h"

namespace bb {

// A repeating timer whose block runs on a given serial queue. Made only through
// initWithIntervalDispatchQueueBlock; destroying it invalidates it.
class BBTimer : public std::enable_shared_from_this<BBTimer> {
public:
    using Block = std::function<void()>;

    // The running timer; nothing when the queue or the block is missing or the interval is not
    // positive.
    static std::shared_ptr<BBTimer> initWithIntervalDispatchQueueBlock(plat::TimeInterval interval,
                                                                       plat::SerialQueue* queue, Block block);
    ~BBTimer();
    BBTimer(const BBTimer&) = delete;
    BBTimer& operator=(const BBTimer&) = delete;

    // Fires first one interval from now, then every interval.
    void restart();
    void setInterval(plat::TimeInterval interval);
    void fire();
    void invalidate();

    bool isValid() const { return valid_; }
    plat::TimeInterval interval() const { return interval_; }
    Block block() const;
    void setBlock(Block block);

private:
    BBTimer() = default;

    std::atomic<bool> valid_{false};
    std::atomic<plat::TimeInterval> interval_{0};
    mutable std::mutex mutex_;
    std::shared_ptr<BBTimerSource> dispatch_timer;
    Block block_;
};

}  // namespace bb
