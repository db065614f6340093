#include "platform/map/Overlay.h"

#include <algorithm>
#include <cmath>
#include <numbers>

namespace plat {

namespace {
// Map points are laid out on the equatorial circumference of the projection's sphere.
constexpr double kEquatorialRadius = 6378137.0;
}  // namespace

Coordinate2D Overlay::coordinate() const {
    const MapRect r = boundingMapRect();
    return coordinateForMapPoint({r.midX(), r.midY()});
}

std::shared_ptr<Polyline> Polyline::withCoordinates(const std::vector<Coordinate2D>& coordinates) {
    std::vector<MapPoint> points;
    points.reserve(coordinates.size());
    for (const auto& c : coordinates) points.push_back(mapPointForCoordinate(c));
    return std::make_shared<Polyline>(std::move(points));
}

MapRect Polyline::boundingMapRect() const {
    MapRect r = MapRect::null();
    for (const auto& p : points_) r = r.unionWith(MapRect::make(p.x, p.y, 0, 0));
    return r;
}

double Circle::mapPointsPerMeter() const {
    const double lat = std::clamp(center_.latitude, -89.9, 89.9) * std::numbers::pi / 180.0;
    return kMapWorldWidth / (2 * std::numbers::pi * kEquatorialRadius * std::cos(lat));
}

MapRect Circle::boundingMapRect() const {
    const MapPoint c = mapPointForCoordinate(center_);
    const double r = std::max(0.0, radius_) * mapPointsPerMeter();
    return MapRect::make(c.x - r, c.y - r, 2 * r, 2 * r);
}

}  // namespace plat
