#include "history/VNWaypointDetailsViewController.h"

#include "dashboard/VNSegmentedControlView.h"
#include "history/HistoryInterfaces.h"
#include "history/HistoryScreenHooks.h"
#include "history/VNWaypointDetailsView.h"
#include "history/VNWaypointPhotoViewController.h"
#include "maps/VNMapViewController.h"
#include "maps/VNWaypointMapViewController.h"
#include "model/Language.h"
#include "platform/ui/NavigationController.h"
#include "store/Waypoint.h"

namespace qx {

std::shared_ptr<VNWaypointDetailsViewController> VNWaypointDetailsViewController::make() {
    registerHistoryInterfaces();
    registerMapsInterfaces();
    return std::make_shared<VNWaypointDetailsViewController>();
}

void VNWaypointDetailsViewController::viewDidLoad() {
    VNDetailsViewController::viewDidLoad();
    if (auto* nav = navigationController()) nav->setNavigationBarHidden(true, false);
    segmentedControlView_ = addPageSwitch(
        [](VNDetailsViewController& s) -> std::shared_ptr<plat::View> {
            return static_cast<VNWaypointDetailsViewController&>(s).detailsView_;
        },
        [](VNDetailsViewController& s) -> std::shared_ptr<plat::View> {
            auto& page = static_cast<VNWaypointDetailsViewController&>(s).mapController_;
            return page ? page->view() : nullptr;
        },
        [](VNDetailsViewController& s) -> std::shared_ptr<plat::View> {
            auto& page = static_cast<VNWaypointDetailsViewController&>(s).photoController_;
            return page ? page->view() : nullptr;
        });
    initTitles();

    detailsView_ = VNWaypointDetailsView::loadFromNib();
    mapController_ = VNWaypointMapViewController::make();
    photoController_ = VNWaypointPhotoViewController::make();
    addPageController(mapController_);
    addPageController(photoController_);
    // The Main page goes in last, so that it is the one in front.
    addPage(detailsView_);
}

void VNWaypointDetailsViewController::initTitles() {
    VNDetailsViewController::initTitles();
    if (auto button = shareButton()) button->setTitle(Language::get("Share"));
    titleSwitch(segmentedControlView_.get(), "Main", "Map", "Photo");
}

void VNWaypointDetailsViewController::setWaypoint(std::shared_ptr<Waypoint> waypoint) {
    waypoint_ = std::move(waypoint);
    if (waypoint_) watchRecord(*waypoint_);
    view();
    if (detailsView_) detailsView_->setWaypoint(waypoint_.get());
    if (mapController_) mapController_->setWaypoint(waypoint_);
    if (photoController_) photoController_->setWaypoint(waypoint_);
}

void VNWaypointDetailsViewController::recordDidChange() {
    if (!waypoint_) return;
    if (detailsView_) detailsView_->setWaypoint(waypoint_.get());
    // The map keeps the place the person moved it to: only the pin's title follows.
    if (mapController_) mapController_->waypointDidChange();
}

void VNWaypointDetailsViewController::share() {
    if (!waypoint_) return;
    HistoryScreenHooks::share({waypoint_}, 0, {});
}

}  // namespace qx
