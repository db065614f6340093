#include "maps/MapHelper.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {
constexpr double kPi = 3.141592653589793;
double radians(double degrees) { return degrees * kPi / 180.0; }
}  // namespace

double MapHelper::distanceFrom(const plat::Coordinate2D& from, const plat::Coordinate2D& to) {
    // The spherical law of cosines loses every digit near zero: one place is no distance.
    if (from == to) return 0;
    const double lat1 = radians(from.latitude), lat2 = radians(to.latitude);
    const double dLon = radians(to.longitude) - radians(from.longitude);
    const double c = std::sin(lat1) * std::sin(lat2) + std::cos(lat1) * std::cos(lat2) * std::cos(dLon);
    // Rounding can push the cosine of a zero angle just past 1, where acos has no value.
    return std::acos(std::clamp(c, -1.0, 1.0)) * kSphereRadius;
}

plat::MapPoint MapHelper::mapPointFromLatitudeAndLongitude(double latitude, double longitude) {
    return plat::mapPointForCoordinate({latitude, longitude});
}

}  // namespace qx
