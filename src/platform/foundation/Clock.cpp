#include "platform/foundation/Clock.h"

#include <atomic>
#include <chrono>

namespace plat {

namespace {
std::mutex sharedMutex;
// Whether the shared clock is the system's, read without the lock: "now" is asked for on every
// logged line, and the system's time needs no clock object, so the common case takes neither the
// lock nor a reference to the clock.
std::atomic<bool> sharedIsSystem{true};

Date systemNow() {
    using namespace std::chrono;
    auto micros = duration_cast<microseconds>(system_clock::now().time_since_epoch()).count();
    return Date(static_cast<double>(micros) / 1e6);
}

std::shared_ptr<Clock>& sharedSlot() {
    // Never destroyed: threads of their own (timers, library queues) may ask for the time while
    // the process ends.
    static auto* clock = new std::shared_ptr<Clock>(std::make_shared<SystemClock>());
    return *clock;
}
}  // namespace

std::shared_ptr<Clock> Clock::shared() {
    std::lock_guard lock(sharedMutex);
    return sharedSlot();
}

void Clock::setShared(std::shared_ptr<Clock> clock) {
    std::lock_guard lock(sharedMutex);
    auto& slot = sharedSlot();
    slot = clock ? std::move(clock) : std::make_shared<SystemClock>();
    sharedIsSystem.store(dynamic_cast<const SystemClock*>(slot.get()) != nullptr, std::memory_order_release);
}

Date SystemClock::now() const { return systemNow(); }

Date VirtualClock::now() const {
    std::lock_guard lock(mutex_);
    return now_;
}

void VirtualClock::set(Date date) {
    std::lock_guard lock(mutex_);
    now_ = date;
}

void VirtualClock::advance(TimeInterval seconds) {
    std::lock_guard lock(mutex_);
    now_ = now_.addingTimeInterval(seconds);
}

Date Date::now() {
    if (sharedIsSystem.load(std::memory_order_acquire)) return systemNow();
    return Clock::shared()->now();
}

TimeInterval Date::timeIntervalSinceNow() const { return t_ - now().t_; }

}  // namespace plat
