#pragma once

#include <memory>

#include "maps/VNMapViewController.h"

namespace qx {

class Waypoint;
class WaypointAnnotation;

// The map page of one waypoint: its pin, without a callout button (the page already belongs to
// the waypoint's details), and no follow-track mode.
class VNWaypointMapViewController : public VNMapViewController {
public:
    explicit VNWaypointMapViewController(std::string interfaceName = kNibName);
    static std::shared_ptr<VNWaypointMapViewController> make() {
        return std::make_shared<VNWaypointMapViewController>();
    }

    void viewDidLoad() override;

    const std::shared_ptr<Waypoint>& waypoint() const { return waypoint_; }
    // Shows the waypoint in place of the one shown before. A waypoint taken without a position
    // fix gets no pin, and the map stays where it is.
    void setWaypoint(std::shared_ptr<Waypoint> waypoint);
    // The shown waypoint was changed (renamed): its pin says so, the map stays where it is.
    void waypointDidChange();
    const std::shared_ptr<WaypointAnnotation>& waypointAnnotation() const { return waypointAnnotation_; }

    std::shared_ptr<plat::Control> calloutButtonForAnnotationView(VNWaypointAnnotationView& view) override;

    std::string kindName() const override { return "Waypoint map"; }

private:
    std::shared_ptr<Waypoint> waypoint_;
    std::shared_ptr<WaypointAnnotation> waypointAnnotation_;
};

}  // namespace qx
