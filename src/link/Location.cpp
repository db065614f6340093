#include "link/Location.h"

#include <cmath>
#include <numbers>

namespace qx {

double Location::distanceFromLocation(const Location& other) const {
    constexpr double kEarthRadius = 6371000.0;
    constexpr double kRad = std::numbers::pi / 180.0;
    const double dLat = (other.latitude - latitude) * kRad;
    const double dLon = (other.longitude - longitude) * kRad;
    const double a = std::sin(dLat / 2) * std::sin(dLat / 2) +
                     std::cos(latitude * kRad) * std::cos(other.latitude * kRad) * std::sin(dLon / 2) *
                         std::sin(dLon / 2);
    return 2 * kEarthRadius * std::asin(std::min(1.0, std::sqrt(a)));
}

}  // namespace qx
