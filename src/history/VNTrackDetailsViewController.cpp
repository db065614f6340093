#include "history/VNTrackDetailsViewController.h"

#include "dashboard/VNSegmentedControlView.h"
#include "history/HistoryInterfaces.h"
#include "history/HistoryScreenHooks.h"
#include "history/TrackReadings.h"
#include "history/VNTrackDetailsView.h"
#include "history/VNTrackGraphViewController.h"
#include "history/VNWaypointTableViewController.h"
#include "maps/VNMapViewController.h"
#include "maps/VNTrackMapViewController.h"
#include "model/Language.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "shell/AppWindow.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qx {

std::shared_ptr<VNTrackDetailsViewController> VNTrackDetailsViewController::make() {
    registerHistoryInterfaces();
    registerMapsInterfaces();
    return std::make_shared<VNTrackDetailsViewController>();
}

void VNTrackDetailsViewController::viewDidLoad() {
    VNDetailsViewController::viewDidLoad();
    if (auto* nav = navigationController()) nav->setNavigationBarHidden(true, false);
    segmentedControlView_ = addPageSwitch(
        [](VNDetailsViewController& s) -> std::shared_ptr<plat::View> {
            return static_cast<VNTrackDetailsViewController&>(s).detailsView_;
        },
        [](VNDetailsViewController& s) -> std::shared_ptr<plat::View> {
            auto& page = static_cast<VNTrackDetailsViewController&>(s).graphController_;
            return page ? page->view() : nullptr;
        },
        [](VNDetailsViewController& s) -> std::shared_ptr<plat::View> {
            auto& page = static_cast<VNTrackDetailsViewController&>(s).mapController_;
            return page ? page->view() : nullptr;
        });
    std::weak_ptr<plat::ViewController> weak = weak_from_this();
    initTitles();

    detailsView_ = VNTrackDetailsView::loadFromNib();
    detailsView_->setOnTapHandler([weak] {
        if (auto s = std::dynamic_pointer_cast<VNTrackDetailsViewController>(weak.lock())) s->showWaypoints();
    });
    mapController_ = VNTrackMapViewController::make();
    addPageController(mapController_);
    graphController_ = VNTrackGraphViewController::make();
    addPageController(graphController_);
    addPage(detailsView_);
}

void VNTrackDetailsViewController::initTitles() {
    VNDetailsViewController::initTitles();
    if (auto button = shareButton()) button->setTitle(Language::get("Share"));
    titleSwitch(segmentedControlView_.get(), "Main", "Graph", "Map");
}

void VNTrackDetailsViewController::setTrack(std::shared_ptr<Track> track) {
    if (track) {
        track_ = track;
        watchRecord(*track_);
    }
    view();
    if (detailsView_) detailsView_->setTrack(track);
    if (graphController_) graphController_->setTrack(track);
    if (mapController_) mapController_->setTrack(track);
}

void VNTrackDetailsViewController::recordDidChange() {
    // A point deleted or added: counts, alarms, graph and pins are read again.
    setTrack(track_);
}

void VNTrackDetailsViewController::share() {
    if (!track_) return;
    auto points = TrackReadings::waypointsByDate(*track_, true);
    if (points.empty()) return;
    HistoryScreenHooks::Records records(points.begin(), points.end());
    HistoryScreenHooks::share(records, 15, {});
}

void VNTrackDetailsViewController::showWaypoints() {
    auto list = VNWaypointTableViewController::make();
    list->setOnBackBlock([] {
        if (auto* top = visibleViewController()) top->dismissViewController(true);
    });
    list->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    plat::ViewController* top = visibleViewController();
    if (!top) top = this;
    top->presentViewController(list, true);
    list->setWaypoints(track_ ? TrackReadings::waypointsByDate(*track_, true)
                              : std::vector<std::shared_ptr<Waypoint>>{});
}

}  // namespace qx
