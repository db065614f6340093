#include "platform/foundation/Timer.h"

#include "platform/foundation/Clock.h"
#include "platform/foundation/RunLoop.h"

namespace plat {

Timer::Timer(TimeInterval interval, bool repeats, Block block, RunLoop& loop)
    : interval_(interval < 0 ? 0 : interval),
      repeats_(repeats),
      block_(std::move(block)),
      loop_(loop),
      fireDate_(Clock::shared()->now().addingTimeInterval(interval_)) {}

std::shared_ptr<Timer> Timer::scheduled(TimeInterval interval, bool repeats, Block block) {
    return scheduled(interval, repeats, std::move(block), RunLoop::main());
}

std::shared_ptr<Timer> Timer::scheduled(TimeInterval interval, bool repeats, Block block,
                                        RunLoop& loop) {
    auto timer = std::make_shared<Timer>(interval, repeats, std::move(block), loop);
    loop.addTimer(timer);
    return timer;
}

void Timer::invalidate() {
    if (!valid_) return;
    valid_ = false;
    loop_.removeTimer(this);
    // The block may hold the last reference to its owner; let it go only once nothing runs it.
    block_ = nullptr;
}

void Timer::fire() {
    if (!valid_) return;
    auto self = shared_from_this();
    Block block = block_;
    if (block) block(*this);
    if (!repeats_) invalidate();
}

void Timer::fireScheduled() {
    if (!valid_) return;
    auto self = shared_from_this();
    if (repeats_) {
        // A repeating timer keeps its phase; fires missed while the loop was busy are skipped.
        // A zero interval would spin the loop, so it counts as one millisecond.
        const TimeInterval step = interval_ > 0 ? interval_ : 0.001;
        const Date now = Clock::shared()->now();
        do {
            fireDate_ = fireDate_.addingTimeInterval(step);
        } while (fireDate_ <= now);
        loop_.addTimer(self);
    }
    Block block = block_;
    if (block) block(*this);
    if (!repeats_) invalidate();
}

void CancelableDelay::schedule(TimeInterval delay, std::function<void()> block) {
    cancel();
    timer_ = Timer::scheduled(delay, false, [block = std::move(block)](Timer&) { block(); });
}

void CancelableDelay::cancel() {
    if (timer_) timer_->invalidate();
    timer_.reset();
}

bool CancelableDelay::isPending() const { return timer_ && timer_->isValid(); }

}  // namespace plat
