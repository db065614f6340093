#include "beta/BBTimer.h"

namespace bb {

std::shared_ptr<BBTimer> BBTimer::initWithIntervalDispatchQueueBlock(plat::TimeInterval interval,
                                                                     plat::SerialQueue* queue, Block block) {
    if (!queue || !block || !(interval > 0)) return nullptr;
    std::shared_ptr<BBTimer> timer(new BBTimer());
    timer->block_ = std::move(block);
    timer->interval_ = interval;
    timer->valid_ = true;
    timer->dispatch_timer = BBTimerSource::create(*queue);
    // The handler must not keep the timer alive: its owner decides how long it lives.
    std::weak_ptr<BBTimer> weak = timer;
    timer->dispatch_timer->setEventHandler([weak] {
        if (auto strong = weak.lock()) strong->fire();
    });
    timer->restart();
    timer->dispatch_timer->resume();
    return timer;
}

BBTimer::~BBTimer() { invalidate(); }

void BBTimer::restart() {
    if (!valid_) return;
    std::lock_guard lock(mutex_);
    if (!dispatch_timer) return;
    const plat::TimeInterval interval = interval_;
    dispatch_timer->setTimer(plat::Date::now().addingTimeInterval(interval), interval);
}

void BBTimer::setInterval(plat::TimeInterval interval) {
    interval_ = interval;
    restart();
}

void BBTimer::fire() {
    Block current = block();
    if (current) current();
}

void BBTimer::invalidate() {
    valid_ = false;
    std::shared_ptr<BBTimerSource> source;
    {
        std::lock_guard lock(mutex_);
        block_ = nullptr;
        source = std::move(dispatch_timer);
    }
    if (source) source->cancel();
}

BBTimer::Block BBTimer::block() const {
    std::lock_guard lock(mutex_);
    return block_;
}

void BBTimer::setBlock(Block block) {
    std::lock_guard lock(mutex_);
    block_ = std::move(block);
}

}  // namespace bb
