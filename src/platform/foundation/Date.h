#pragma once

#include <compare>

namespace plat {

// Seconds, as a double, like every duration in the application.
using TimeInterval = double;

// A point in time: seconds since 1970-01-01 00:00:00 UTC. Value type; the clock says what
// "now" is, so that tests can run on virtual time.
class Date {
public:
    constexpr Date() = default;
    constexpr explicit Date(TimeInterval secondsSince1970) : t_(secondsSince1970) {}

    static Date now();  // from Clock::shared()
    static constexpr Date fromTimeIntervalSince1970(TimeInterval t) { return Date(t); }

    constexpr TimeInterval timeIntervalSince1970() const { return t_; }
    constexpr TimeInterval timeIntervalSince(Date other) const { return t_ - other.t_; }
    TimeInterval timeIntervalSinceNow() const;
    constexpr Date addingTimeInterval(TimeInterval dt) const { return Date(t_ + dt); }

    constexpr auto operator<=>(const Date&) const = default;

private:
    TimeInterval t_ = 0;
};

}  // namespace plat
