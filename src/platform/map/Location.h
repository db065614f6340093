#pragma once

#include "platform/foundation/Date.h"
#include "platform/map/Coordinate.h"

namespace plat {

using LocationDistance = double;  // metres

// One position fix: where, how high, how fast, which way and when. Negative speed, course or
// accuracy mean "not known", as the positioning hardware reports them.
class Location {
public:
    Location() = default;
    Location(Coordinate2D coordinate, double altitude, double horizontalAccuracy, double speed, double course,
             Date timestamp)
        : coordinate_(coordinate),
          altitude_(altitude),
          horizontalAccuracy_(horizontalAccuracy),
          speed_(speed),
          course_(course),
          timestamp_(timestamp) {}
    // A fix of a coordinate alone, taken now.
    Location(double latitude, double longitude);

    const Coordinate2D& coordinate() const { return coordinate_; }
    double altitude() const { return altitude_; }                      // metres
    double horizontalAccuracy() const { return horizontalAccuracy_; }  // metres; < 0 invalid
    double speed() const { return speed_; }                            // metres per second; < 0 invalid
    double course() const { return course_; }                          // degrees from north; < 0 invalid
    Date timestamp() const { return timestamp_; }

    // Great-circle distance over the earth's mean radius, in metres.
    LocationDistance distanceFromLocation(const Location& other) const;
    static LocationDistance distanceBetween(const Coordinate2D& a, const Coordinate2D& b);

    static constexpr double kEarthMeanRadius = 6371008.8;

private:
    Coordinate2D coordinate_;
    double altitude_ = 0;
    double horizontalAccuracy_ = 0;
    double speed_ = -1;
    double course_ = -1;
    Date timestamp_;
};

}  // namespace plat
