#pragma once

#include "platform/map/Coordinate.h"

namespace plat {

// How far a region reaches, in degrees.
struct CoordinateSpan {
    double latitudeDelta = 0;
    double longitudeDelta = 0;
    constexpr bool operator==(const CoordinateSpan&) const = default;
};

// A centre and a span: what a map shows.
struct CoordinateRegion {
    Coordinate2D center;
    CoordinateSpan span;
    constexpr bool operator==(const CoordinateRegion&) const = default;
};

enum class MapType { Standard = 0, Satellite = 1, Hybrid = 2 };

// Whether the map keeps the user's position in its centre, and turned to the user's course.
enum class UserTrackingMode { None = 0, Follow = 1, FollowWithHeading = 2 };

const char* mapTypeName(MapType type);
const char* trackingModeName(UserTrackingMode mode);

}  // namespace plat
