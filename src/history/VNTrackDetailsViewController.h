#pragma once

#include <memory>
#include <vector>

#include "history/VNDetailsViewController.h"

namespace qx {

class Track;
class VNSegmentedControlView;
class VNTrackDetailsView;
class VNTrackGraphViewController;
class VNTrackMapViewController;
class Waypoint;

// One stored track on three pages: Main (its figures; a tap lists its waypoints), Graph and
// Map. Its share button offers the track's waypoints, newest first.
class VNTrackDetailsViewController : public VNDetailsViewController {
public:
    VNTrackDetailsViewController() = default;
    static std::shared_ptr<VNTrackDetailsViewController> make();

    void viewDidLoad() override;
    void initTitles() override;
    // Hands the track to the three pages (none: each page ignores it).
    void setTrack(std::shared_ptr<Track> track);
    const std::shared_ptr<Track>& track() const { return track_; }
    void share() override;
    // The Main page's tap: presents the list of the track's waypoints.
    void showWaypoints();

    const std::shared_ptr<VNSegmentedControlView>& segmentedControlView() const { return segmentedControlView_; }
    const std::shared_ptr<VNTrackDetailsView>& detailsView() const { return detailsView_; }
    const std::shared_ptr<VNTrackGraphViewController>& graphController() const { return graphController_; }
    const std::shared_ptr<VNTrackMapViewController>& mapController() const { return mapController_; }

    std::string kindName() const override { return "Track details"; }

protected:
    void recordDidChange() override;

private:
    std::shared_ptr<Track> track_;
    std::shared_ptr<VNSegmentedControlView> segmentedControlView_;
    std::shared_ptr<VNTrackDetailsView> detailsView_;
    std::shared_ptr<VNTrackMapViewController> mapController_;
    std::shared_ptr<VNTrackGraphViewController> graphController_;
};

}  // namespace qx
