#pragma once

#include <memory>

#include "history/VNDetailsViewController.h"

namespace qx {

class VNSegmentedControlView;
class VNWaypointDetailsView;
class VNWaypointMapViewController;
class VNWaypointPhotoViewController;
class Waypoint;

// One stored waypoint on three pages: Main (its figures), Map (its pin) and Photo; its share
// button offers that waypoint on every channel.
class VNWaypointDetailsViewController : public VNDetailsViewController {
public:
    VNWaypointDetailsViewController() = default;
    // The screen as the lists and the map callouts open it: from its interface file.
    static std::shared_ptr<VNWaypointDetailsViewController> make();

    void viewDidLoad() override;
    void initTitles() override;
    // Hands the waypoint to the three pages (the view must be loaded: presenting loads it).
    void setWaypoint(std::shared_ptr<Waypoint> waypoint);
    const std::shared_ptr<Waypoint>& waypoint() const { return waypoint_; }
    void share() override;

    const std::shared_ptr<VNSegmentedControlView>& segmentedControlView() const { return segmentedControlView_; }
    const std::shared_ptr<VNWaypointDetailsView>& detailsView() const { return detailsView_; }
    const std::shared_ptr<VNWaypointMapViewController>& mapController() const { return mapController_; }
    const std::shared_ptr<VNWaypointPhotoViewController>& photoController() const { return photoController_; }

    std::string kindName() const override { return "Waypoint details"; }

protected:
    // A rename saved elsewhere (the day's list, another screen) shows here too.
    void recordDidChange() override;

private:
    std::shared_ptr<Waypoint> waypoint_;
    std::shared_ptr<VNSegmentedControlView> segmentedControlView_;
    std::shared_ptr<VNWaypointDetailsView> detailsView_;
    std::shared_ptr<VNWaypointMapViewController> mapController_;
    std::shared_ptr<VNWaypointPhotoViewController> photoController_;
};

}  // namespace qx
