#pragma once

#include <memory>
#include <vector>

#include "platform/map/Coordinate.h"
#include "platform/map/Location.h"
#include "platform/map/MapGeometry.h"

namespace plat {

// A shape laid over a map in map points.
class Overlay {
public:
    virtual ~Overlay() = default;
    virtual Coordinate2D coordinate() const;  // the centre of boundingMapRect
    virtual MapRect boundingMapRect() const = 0;
    bool intersectsMapRect(const MapRect& rect) const { return boundingMapRect().intersects(rect); }
};

using OverlayPtr = std::shared_ptr<Overlay>;

// A chain of line segments through map points.
class Polyline : public Overlay {
public:
    Polyline() = default;
    explicit Polyline(std::vector<MapPoint> points) : points_(std::move(points)) {}
    static std::shared_ptr<Polyline> withCoordinates(const std::vector<Coordinate2D>& coordinates);

    const std::vector<MapPoint>& points() const { return points_; }
    std::size_t pointCount() const { return points_.size(); }
    MapRect boundingMapRect() const override;

private:
    std::vector<MapPoint> points_;
};

// A circle of a radius in metres around a coordinate.
class Circle : public Overlay {
public:
    Circle(Coordinate2D center, LocationDistance radius) : center_(center), radius_(radius) {}
    Coordinate2D coordinate() const override { return center_; }
    LocationDistance radius() const { return radius_; }
    MapRect boundingMapRect() const override;
    // Map points per metre at the circle's latitude.
    double mapPointsPerMeter() const;

private:
    Coordinate2D center_;
    LocationDistance radius_;
};

}  // namespace plat
