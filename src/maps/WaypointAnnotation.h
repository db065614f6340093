#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "platform/foundation/Date.h"
#include "platform/graphics/Geometry.h"
#include "platform/map/Annotation.h"

namespace plat {
class MapView;
}

namespace qx {

class Context;
class Waypoint;
struct TrackPoint;

// The map pin of a stored waypoint: its dose rate and name as the title, its reading's date as
// the subtitle, and a colour class from its own dose rate against the dose-rate thresholds.
class WaypointAnnotation : public plat::Annotation {
public:
    enum PinColor : long { kGreen = 0, kOrange = 1, kRed = 2 };

    explicit WaypointAnnotation(std::shared_ptr<Waypoint> waypoint);
    static std::shared_ptr<WaypointAnnotation> make(std::shared_ptr<Waypoint> waypoint) {
        return std::make_shared<WaypointAnnotation>(std::move(waypoint));
    }
    // The pin of a stored track's point read without its objects: the waypoint is read from
    // `context` when first asked for (its callout is opened), as a long track shows thousands
    // of pins and opens few.
    WaypointAnnotation(const TrackPoint& point, std::weak_ptr<Context> context);
    static std::shared_ptr<WaypointAnnotation> make(const TrackPoint& point, std::weak_ptr<Context> context) {
        return std::make_shared<WaypointAnnotation>(point, std::move(context));
    }

    // Fills every field from the waypoint (a waypoint without a reading counts as dose rate 0).
    void applyWaypoint(std::shared_ptr<Waypoint> waypoint);
    // Recomputes pointOnMap for the map's current view.
    void updatePointOnMap(const plat::MapView& map);

    // None once the waypoint is gone from the store.
    const std::shared_ptr<Waypoint>& waypoint() const;
    plat::Coordinate2D coordinate() const override { return coordinate_; }
    // Formatted when first asked for, like the subtitle.
    std::string title() const override;
    // Formatted when first asked for (a callout opens): a map shows thousands of pins and
    // opens few callouts.
    std::string subtitle() const override;
    long pinColor() const { return pinColor_; }
    // The pin's screen point snapped to the 10-point grid; (0, 0) until updatePointOnMap.
    plat::Point pointOnMap() const { return pointOnMap_; }

    // A point snapped to the 10-point grid the way pins are decluttered: each coordinate
    // divided by 10 in single precision, rounded half away from zero, times 10.
    static plat::Point snapToGrid(plat::Point point);
    // 2 above the second dose-rate threshold, 1 above the first, else 0.
    static long colorClassForDoseRate(double doseRate);

private:
    void applyReading(double doseRate, std::optional<plat::Date> date, std::optional<std::string> name);

    mutable std::shared_ptr<Waypoint> waypoint_;
    // Where a pin made from a stored point reads its waypoint; row 0 once read or for a pin
    // made from the object.
    mutable std::weak_ptr<Context> context_;
    mutable std::int64_t row_ = 0;
    plat::Coordinate2D coordinate_;
    double doseRate_ = 0;
    std::optional<std::string> name_;
    mutable std::optional<std::string> title_;
    std::optional<plat::Date> date_;
    mutable std::optional<std::string> subtitle_;
    long pinColor_ = kGreen;
    plat::Point pointOnMap_;
};

}  // namespace qx
