#pragma once

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

class Waypoint;

// The map pin of a stored waypoint: its dose rate and name as the title, its reading's date as
// the subtitle, and a colour class from its own dose rate against the dose-rate thresholds.
class WaypointAnnotation : public plat::Annotation {
public:
    enum PinColor : long { kGreen = 0, kOrange = 1, kRed = 2 };

    explicit WaypointAnnotation(std::shared_ptr<Waypoint> waypoint);
    static std::shared_ptr<WaypointAnnotation> make(std::shared_ptr<Waypoint> waypoint) {
        return std::make_shared<WaypointAnnotation>(std::move(waypoint));
    }

    // Fills every field from the waypoint (a waypoint without a reading counts as dose rate 0).
    void applyWaypoint(std::shared_ptr<Waypoint> waypoint);
    // Recomputes pointOnMap for the map's current view.
    void updatePointOnMap(const plat::MapView& map);

    const std::shared_ptr<Waypoint>& waypoint() const { return waypoint_; }
    plat::Coordinate2D coordinate() const override { return coordinate_; }
    std::string title() const override { return title_; }
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
    std::shared_ptr<Waypoint> waypoint_;
    plat::Coordinate2D coordinate_;
    std::string title_;
    std::optional<plat::Date> date_;
    mutable std::optional<std::string> subtitle_;
    long pinColor_ = kGreen;
    plat::Point pointOnMap_;
};

}  // namespace qx
