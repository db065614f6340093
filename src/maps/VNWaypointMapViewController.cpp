#include "maps/VNWaypointMapViewController.h"

#include "maps/WaypointAnnotation.h"
#include "store/Waypoint.h"

namespace qx {

VNWaypointMapViewController::VNWaypointMapViewController(std::string interfaceName)
    : VNMapViewController(std::move(interfaceName)) {}

void VNWaypointMapViewController::viewDidLoad() {
    VNMapViewController::viewDidLoad();
    // One point has no track to follow.
    if (auto button = trackButton()) button->setEnabled(false);
}

void VNWaypointMapViewController::setWaypoint(std::shared_ptr<Waypoint> waypoint) {
    waypoint_ = std::move(waypoint);
    if (!waypoint_) return;
    auto map = mapView();
    if (waypointAnnotation_) map->removeAnnotation(waypointAnnotation_);
    waypointAnnotation_.reset();
    map->removeOverlays(map->overlays());
    if (!waypoint_->hasPosition()) return;
    stopFollowingUser();
    fitMapRect(waypoint_->boundingMapRect(), true);
    waypointAnnotation_ = WaypointAnnotation::make(waypoint_);
    map->addAnnotation(waypointAnnotation_);
}

void VNWaypointMapViewController::waypointDidChange() {
    if (!waypointAnnotation_ || !waypoint_) return;
    waypointAnnotation_->applyWaypoint(waypoint_);
    mapView()->setNeedsDisplay();
}

std::shared_ptr<plat::Control> VNWaypointMapViewController::calloutButtonForAnnotationView(VNWaypointAnnotationView&) {
    return nullptr;
}

}  // namespace qx
