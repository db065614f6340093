#pragma once

#include <memory>
#include <mutex>

#include "platform/foundation/Date.h"

namespace plat {

// Where "now" comes from. The application reads time only through Clock::shared(), so a test
// (or a script of the driver) can replace it with a VirtualClock and move time by hand.
class Clock {
public:
    virtual ~Clock() = default;
    virtual Date now() const = 0;
    // True when time passes only through VirtualClock::advance.
    virtual bool isVirtual() const { return false; }

    static std::shared_ptr<Clock> shared();
    static void setShared(std::shared_ptr<Clock> clock);
};

class SystemClock final : public Clock {
public:
    Date now() const override;
};

class VirtualClock final : public Clock {
public:
    explicit VirtualClock(Date start = Date(1'800'000'000.0)) : now_(start) {}
    Date now() const override;
    bool isVirtual() const override { return true; }
    void set(Date date);
    void advance(TimeInterval seconds);

private:
    mutable std::mutex mutex_;
    Date now_;
};

}  // namespace plat
