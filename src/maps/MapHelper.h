#pragma once

#include "platform/map/Coordinate.h"
#include "platform/map/MapGeometry.h"

namespace qx {

// Geodesy of the map screens.
class MapHelper {
public:
    // The radius of the sphere the map screens measure on, in metres.
    static constexpr double kSphereRadius = 6368500.0;

    // Great-circle distance in metres between two coordinates (degrees).
    static double distanceFrom(const plat::Coordinate2D& from, const plat::Coordinate2D& to);
    // The flat map point of a coordinate.
    static plat::MapPoint mapPointFromLatitudeAndLongitude(double latitude, double longitude);
};

}  // namespace qx
