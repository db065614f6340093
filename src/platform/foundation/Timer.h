#pragma once

#include <functional>
#include <memory>

#include "platform/foundation/Date.h"

namespace plat {

class RunLoop;

// A one-shot or repeating timer on the main run loop, timed by the shared clock. The run loop
// keeps the timer alive until it is invalidated or, for a one-shot timer, until it fired.
class Timer : public std::enable_shared_from_this<Timer> {
public:
    using Block = std::function<void(Timer&)>;

    static std::shared_ptr<Timer> scheduled(TimeInterval interval, bool repeats, Block block);
    static std::shared_ptr<Timer> scheduled(TimeInterval interval, bool repeats, Block block,
                                            RunLoop& loop);

    void invalidate();
    bool isValid() const { return valid_; }
    bool repeats() const { return repeats_; }
    TimeInterval interval() const { return interval_; }
    Date fireDate() const { return fireDate_; }

    // Fires now (outside its schedule); a one-shot timer is then invalid.
    void fire();

    Timer(TimeInterval interval, bool repeats, Block block, RunLoop& loop);

private:
    friend class RunLoop;
    void fireScheduled();

    TimeInterval interval_;
    bool repeats_;
    Block block_;
    RunLoop& loop_;
    Date fireDate_;
    bool valid_ = true;
};

// Runs `block` once after `delay`, cancelling the block still pending from an earlier call of
// the same object.
class CancelableDelay {
public:
    void schedule(TimeInterval delay, std::function<void()> block);
    void cancel();
    bool isPending() const;
    ~CancelableDelay() { cancel(); }

private:
    std::shared_ptr<Timer> timer_;
};

}  // namespace plat
