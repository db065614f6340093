#pragma once

#include <cmath>

namespace plat {

// A geographic position in degrees (WGS 84).
struct Coordinate2D {
    double latitude = 0;
    double longitude = 0;

    constexpr bool operator==(const Coordinate2D&) const = default;

    // Latitude within ±90 and longitude within ±180, both finite.
    bool isValid() const {
        return std::isfinite(latitude) && std::isfinite(longitude) && std::fabs(latitude) <= 90 &&
               std::fabs(longitude) <= 180;
    }
};

}  // namespace plat
