#include "link/DemoWalk.h"

#include <cmath>
#include <numbers>

namespace qx {

double DemoWalk::doseRateAt(double metresAlong) {
    double d = std::fabs(std::fmod(metresAlong, kLoopLength) - kHotSpotAt);
    d = std::min(d, kLoopLength - d);
    const double x = d / kHotSpotWidth;
    return kBackground + (kHotSpotPeak - kBackground) * std::exp(-x * x);
}

DemoSample DemoWalk::sample(std::size_t index) const {
    constexpr double kEarthRadius = 6371000.0;
    constexpr double kRadius = kLoopLength / (2 * std::numbers::pi);
    const double t = static_cast<double>(index);
    const double along = std::fmod(kSpeed * t, kLoopLength);
    // Start at the southern point of the circle and walk anticlockwise.
    const double angle = 2 * std::numbers::pi * along / kLoopLength - std::numbers::pi / 2;
    const double north = kRadius * std::sin(angle);
    const double east = kRadius * std::cos(angle);
    const double rad = std::numbers::pi / 180.0;

    DemoSample s;
    s.offset = t;
    s.der = doseRateAt(along);
    Location fix;
    fix.latitude = centreLatitude_ + north / kEarthRadius / rad;
    fix.longitude = centreLongitude_ + east / (kEarthRadius * std::cos(centreLatitude_ * rad)) / rad;
    fix.altitude = kBaseAltitude + 8 * std::sin(2 * angle);
    fix.speed = kSpeed;
    s.fix = fix;
    return s;
}

}  // namespace qx
