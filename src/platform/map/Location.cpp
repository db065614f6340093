#include "platform/map/Location.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace plat {

Location::Location(double latitude, double longitude)
    : coordinate_{latitude, longitude}, timestamp_(Date::now()) {}

LocationDistance Location::distanceFromLocation(const Location& other) const {
    return distanceBetween(coordinate_, other.coordinate_);
}

LocationDistance Location::distanceBetween(const Coordinate2D& a, const Coordinate2D& b) {
    // Haversine: well conditioned for the short distances a track is made of.
    constexpr double rad = std::numbers::pi / 180.0;
    const double dLat = (b.latitude - a.latitude) * rad;
    const double dLon = (b.longitude - a.longitude) * rad;
    const double s = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(a.latitude * rad) * std::cos(b.latitude * rad) * std::sin(dLon / 2) * std::sin(dLon / 2);
    return 2 * kEarthMeanRadius * std::asin(std::min(1.0, std::sqrt(s)));
}

}  // namespace plat
