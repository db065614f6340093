#pragma once

#include "platform/foundation/Date.h"

namespace qx {

// A position fix as the link hands it on: coordinate in degrees, altitude in metres, speed in
// metres per second (negative when unknown), and the time of the fix.
struct Location {
    double latitude = 0;
    double longitude = 0;
    double altitude = 0;
    double speed = -1;
    plat::Date timestamp;

    // Great-circle distance in metres.
    double distanceFromLocation(const Location& other) const;

    bool operator==(const Location&) const = default;
};

}  // namespace qx
