#pragma once

#include "platform/map/Coordinate.h"

namespace plat {

// The flat world of the maps: a Mercator projection of the whole earth onto a square of
// kMapWorldWidth points, x growing east from the antimeridian, y growing south from the
// projection's northern edge (about 85.05° north).
inline constexpr double kMapWorldWidth = 268435456.0;  // 2^28

struct MapPoint {
    double x = 0;
    double y = 0;
    constexpr bool operator==(const MapPoint&) const = default;
};

struct MapSize {
    double width = 0;
    double height = 0;
    constexpr bool operator==(const MapSize&) const = default;
};

struct MapRect {
    MapPoint origin;
    MapSize size;
    constexpr bool operator==(const MapRect&) const = default;

    static constexpr MapRect make(double x, double y, double width, double height) {
        return {{x, y}, {width, height}};
    }
    // The rectangle of nothing: the neutral element of unionWith.
    static MapRect null();
    static constexpr MapRect world() { return make(0, 0, kMapWorldWidth, kMapWorldWidth); }

    double minX() const { return origin.x; }
    double minY() const { return origin.y; }
    double maxX() const { return origin.x + size.width; }
    double maxY() const { return origin.y + size.height; }
    double midX() const { return origin.x + size.width / 2; }
    double midY() const { return origin.y + size.height / 2; }

    bool isNull() const;
    bool isEmpty() const;  // null, or no width or no height

    // The smallest rectangle holding both; a null side gives the other.
    MapRect unionWith(const MapRect& other) const;
    // Moves every edge inwards by dx and dy (negative values grow the rectangle).
    MapRect insetBy(double dx, double dy) const;
    bool containsPoint(const MapPoint& point) const;
    bool containsRect(const MapRect& other) const;
    bool intersects(const MapRect& other) const;
};

// The map point of a coordinate. Latitudes beyond the projection's edges are clamped to them.
MapPoint mapPointForCoordinate(const Coordinate2D& coordinate);
// The coordinate of a map point.
Coordinate2D coordinateForMapPoint(const MapPoint& point);

}  // namespace plat
