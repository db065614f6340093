#include "platform/map/MapGeometry.h"

#include <algorithm>
#include <cmath>
#include <limits>
#include <numbers>

namespace plat {

namespace {
// The latitude whose Mercator y is the world's edge: atan(sinh(pi)).
const double kMaxLatitude = std::atan(std::sinh(std::numbers::pi)) * 180.0 / std::numbers::pi;
}  // namespace

MapRect MapRect::null() {
    const double inf = std::numeric_limits<double>::infinity();
    return make(inf, inf, 0, 0);
}

bool MapRect::isNull() const { return std::isinf(origin.x) || std::isinf(origin.y); }

bool MapRect::isEmpty() const { return isNull() || size.width <= 0 || size.height <= 0; }

MapRect MapRect::unionWith(const MapRect& other) const {
    if (isNull()) return other;
    if (other.isNull()) return *this;
    const double x0 = std::min(minX(), other.minX());
    const double y0 = std::min(minY(), other.minY());
    const double x1 = std::max(maxX(), other.maxX());
    const double y1 = std::max(maxY(), other.maxY());
    return make(x0, y0, x1 - x0, y1 - y0);
}

MapRect MapRect::insetBy(double dx, double dy) const {
    if (isNull()) return *this;
    MapRect r = make(origin.x + dx, origin.y + dy, size.width - 2 * dx, size.height - 2 * dy);
    if (r.size.width < 0 || r.size.height < 0) return null();
    return r;
}

bool MapRect::containsPoint(const MapPoint& p) const {
    return !isNull() && p.x >= minX() && p.x < maxX() && p.y >= minY() && p.y < maxY();
}

bool MapRect::containsRect(const MapRect& other) const {
    if (isNull() || other.isNull()) return false;
    return other.minX() >= minX() && other.maxX() <= maxX() && other.minY() >= minY() && other.maxY() <= maxY();
}

bool MapRect::intersects(const MapRect& other) const {
    if (isNull() || other.isNull()) return false;
    return minX() < other.maxX() && other.minX() < maxX() && minY() < other.maxY() && other.minY() < maxY();
}

MapPoint mapPointForCoordinate(const Coordinate2D& c) {
    const double lat = std::clamp(c.latitude, -kMaxLatitude, kMaxLatitude) * std::numbers::pi / 180.0;
    const double x = (c.longitude + 180.0) / 360.0 * kMapWorldWidth;
    const double s = std::sin(lat);
    const double y = (0.5 - std::log((1 + s) / (1 - s)) / (4 * std::numbers::pi)) * kMapWorldWidth;
    return {x, y};
}

Coordinate2D coordinateForMapPoint(const MapPoint& p) {
    const double lon = p.x / kMapWorldWidth * 360.0 - 180.0;
    const double n = std::numbers::pi * (1 - 2 * p.y / kMapWorldWidth);
    const double lat = std::atan(std::sinh(n)) * 180.0 / std::numbers::pi;
    return {lat, lon};
}

}  // namespace plat
