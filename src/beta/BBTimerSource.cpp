#include "beta/BBTimerSource.h"

#include <algorithm>
#include <chrono>
#include <cmath>
#include <condition_variable>
#include <optional>
#include <thread>
#include <vector>

#include "beta/BBAlternateSignalStack.h"
#include "platform/foundation/Clock.h"

namespace bb {

// Watches every timer source from one thread: sleeps until the earliest firing by the real clock
// (or until a source changes), then fires what is due.
class BBTimerSourceScheduler {
public:
    static BBTimerSourceScheduler& shared() {
        // Never released: its thread runs until the process ends.
        static BBTimerSourceScheduler* scheduler = new BBTimerSourceScheduler();
        return *scheduler;
    }

    void add(const std::shared_ptr<BBTimerSource>& source) {
        {
            std::lock_guard lock(mutex_);
            sources_.push_back(source);
        }
        changed();
    }

    void changed() {
        {
            std::lock_guard lock(mutex_);
            changed_ = true;
        }
        wake_.notify_all();
    }

    void fireDue() {
        const plat::Date now = plat::Date::now();
        for (const auto& source : liveSources()) {
            if (source->takeFiringDueBy(now)) source->deliver();
        }
    }

private:
    BBTimerSourceScheduler() : thread_([this] {
        BBAlternateSignalStack::prepareCurrentThread();
        run();
    }) {
        thread_.detach();
    }

    // The sources still alive and not cancelled; the others are forgotten.
    std::vector<std::shared_ptr<BBTimerSource>> liveSources() {
        std::lock_guard lock(mutex_);
        std::vector<std::shared_ptr<BBTimerSource>> live;
        std::vector<std::weak_ptr<BBTimerSource>> kept;
        for (const auto& weak : sources_) {
            if (auto source = weak.lock(); source && !source->isCancelled()) {
                live.push_back(std::move(source));
                kept.push_back(weak);
            }
        }
        sources_ = std::move(kept);
        return live;
    }

    std::optional<plat::Date> earliestFiring() {
        std::optional<plat::Date> earliest;
        for (const auto& source : liveSources()) {
            plat::Date date;
            if (source->nextFiring(date) && (!earliest || date < *earliest)) earliest = date;
        }
        return earliest;
    }

    void run() {
        for (;;) {
            const auto earliest = earliestFiring();
            const auto clock = plat::Clock::shared();
            std::unique_lock lock(mutex_);
            if (!earliest || clock->isVirtual()) {
                wake_.wait(lock, [this] { return changed_; });
            } else {
                const double seconds = std::max(0.0, earliest->timeIntervalSince(clock->now()));
                wake_.wait_for(lock, std::chrono::duration<double>(seconds), [this] { return changed_; });
            }
            changed_ = false;
            lock.unlock();
            if (!plat::Clock::shared()->isVirtual()) fireDue();
        }
    }

    std::mutex mutex_;
    std::condition_variable wake_;
    std::vector<std::weak_ptr<BBTimerSource>> sources_;
    bool changed_ = false;
    std::thread thread_;
};

std::shared_ptr<BBTimerSource> BBTimerSource::create(plat::SerialQueue& queue) {
    auto source = std::make_shared<BBTimerSource>(queue);
    BBTimerSourceScheduler::shared().add(source);
    return source;
}

void BBTimerSource::setEventHandler(std::function<void()> handler) {
    std::lock_guard lock(mutex_);
    handler_ = std::make_shared<const std::function<void()>>(std::move(handler));
}

void BBTimerSource::setTimer(plat::Date start, plat::TimeInterval interval) {
    {
        std::lock_guard lock(mutex_);
        next_ = start;
        interval_ = interval;
        armed_ = true;
    }
    BBTimerSourceScheduler::shared().changed();
}

void BBTimerSource::resume() {
    {
        std::lock_guard lock(mutex_);
        resumed_ = true;
    }
    BBTimerSourceScheduler::shared().changed();
}

void BBTimerSource::cancel() {
    {
        std::lock_guard lock(mutex_);
        cancelled_ = true;
        handler_.reset();
    }
    BBTimerSourceScheduler::shared().changed();
}

bool BBTimerSource::isCancelled() const {
    std::lock_guard lock(mutex_);
    return cancelled_;
}

void BBTimerSource::fireDueSources() { BBTimerSourceScheduler::shared().fireDue(); }

bool BBTimerSource::nextFiring(plat::Date& date) const {
    std::lock_guard lock(mutex_);
    if (!armed_ || !resumed_ || cancelled_) return false;
    date = next_;
    return true;
}

bool BBTimerSource::takeFiringDueBy(plat::Date now) {
    std::lock_guard lock(mutex_);
    if (!armed_ || !resumed_ || cancelled_ || next_ > now) return false;
    if (interval_ > 0) {
        const double missed = std::floor(now.timeIntervalSince(next_) / interval_);
        next_ = next_.addingTimeInterval((missed + 1) * interval_);
    } else {
        armed_ = false;
    }
    return true;
}

void BBTimerSource::deliver() {
    std::weak_ptr<BBTimerSource> weak = weak_from_this();
    queue_.async([weak] {
        auto source = weak.lock();
        if (!source) return;
        std::shared_ptr<const std::function<void()>> handler;
        {
            std::lock_guard lock(source->mutex_);
            if (source->cancelled_) return;
            handler = source->handler_;
        }
        if (handler && *handler) (*handler)();
    });
}

}  // namespace bb
