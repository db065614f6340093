#include <filesystem>

#include "DetailsTestSupport.h"
#include "dashboard/VNSegmentedControlView.h"
#include "history/HistoryLayer.h"
#include "history/VNTrackDetailsView.h"
#include "history/VNTrackDetailsViewController.h"
#include "history/VNTrackGraphView.h"
#include "history/VNTrackGraphViewController.h"
#include "history/VNWaypointDetailsView.h"
#include "history/VNWaypointDetailsViewController.h"
#include "history/VNWaypointPhotoViewController.h"
#include "history/VNWaypointTableViewController.h"
#include "history/WaypointTableCell.h"
#include "maps/VNMapViewController.h"
#include "maps/VNTrackMapViewController.h"
#include "maps/VNWaypointMapViewController.h"
#include "maps/WaypointAnnotation.h"
#include "platform/foundation/DataFolder.h"
#include "platform/graphics/PixelImage.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/TableView.h"
#include "store/PhotoLibraryPicker.h"
#include "store/VNPhotoManager.h"

using namespace qx;

namespace qxtest {

class DetailsScreensTest : public DetailsTest {
protected:
    // A track of three readings at 10:00, 10:05 and 10:10, added out of order.
    std::shared_ptr<Track> threePointTrack() {
        auto day = makeSet(today());
        auto track = makeTrack(day, at(10));
        for (double minutes : {5.0, 0.0, 10.0}) {
            stamps.push_back(addPoint(nullptr, 0.2, 1, at(10 + minutes / 60), track));
            stamps.back()->setLatitude(52.5 + minutes / 1000);
            stamps.back()->setLongitude(13.4);
        }
        save();
        return track;
    }
    std::vector<std::shared_ptr<Waypoint>> stamps;  // in the order added: 10:05, 10:00, 10:10
};

TEST_F(DetailsScreensTest, WaypointDetailsShowTheMainPageFirstAndSwitchPagesWithoutReloading) {
    auto point = addPoint(makeSet(today()), 0.25, 12, at(9));
    save();
    auto screen = VNWaypointDetailsViewController::make();
    present(screen);
    screen->setWaypoint(point);
    EXPECT_EQ(screen->frontPage(), screen->detailsView());
    EXPECT_EQ(screen->detailsView()->dateLabel()->text(), DateStrings::dateTimeLongStr(at(9)));
    EXPECT_EQ(screen->photoController()->waypoint(), point);
    EXPECT_EQ(screen->mapController()->waypoint(), point);

    auto& control = *screen->segmentedControlView();
    control.centerButton().performTap();
    EXPECT_EQ(screen->frontPage(), screen->mapController()->view());
    control.rightButton().performTap();
    EXPECT_EQ(screen->frontPage(), screen->photoController()->view());
    control.leftButton().performTap();
    EXPECT_EQ(screen->frontPage(), screen->detailsView());

    screen->shareButton()->performTap();
    EXPECT_EQ(shared, Records{point});
    EXPECT_EQ(sharedOptions, 0u);

    switchLanguage("de");
    EXPECT_EQ(control.leftButton().title(), "Übersicht");
    EXPECT_EQ(control.rightButton().title(), "Foto");
}

// Renamed elsewhere while its details are open (another screen's save, through the store's
// worker): the name under the figures and the pin's title follow; the map stays where it is.
TEST_F(DetailsScreensTest, WaypointDetailsFollowARenameSavedElsewhere) {
    auto point = addPoint(makeSet(today()), 0.25, 12, at(9));
    point->setLatitude(52.5);
    point->setLongitude(13.4);
    save();
    auto screen = VNWaypointDetailsViewController::make();
    present(screen);
    screen->setWaypoint(point);
    auto map = screen->mapController()->mapView();
    map->setCenterCoordinate({48.1, 11.6}, false);
    const auto row = point->objectID().row;
    Store::defaultStore().saveWithBlock([row](Context& c) {
        if (auto w = c.objectWithRow<Waypoint>(row)) w->setName(std::string("Ridge"));
    });
    drain();
    EXPECT_EQ(screen->detailsView()->dateLabel()->text(), "Ridge " + DateStrings::dateMediumStr(at(9)));
    const std::string title = screen->mapController()->waypointAnnotation()->title();
    EXPECT_TRUE(title.ends_with(" Ridge")) << title;
    EXPECT_NEAR(map->centerCoordinate().latitude, 48.1, 1e-6);
}

TEST_F(DetailsScreensTest, MapCalloutsOpenTheSameWaypointDetails) {
    registerHistoryLayer();
    auto point = addPoint(makeSet(today()), 0.25, 12, at(9));
    save();
    auto map = VNMapViewController::make();
    present(map);
    map->annotationCalloutAction(point);
    auto details = std::dynamic_pointer_cast<VNWaypointDetailsViewController>(map->presentedViewController());
    ASSERT_TRUE(details);
    EXPECT_EQ(details->waypoint(), point);
    EXPECT_EQ(details->frontPage(), details->detailsView());
}

TEST_F(DetailsScreensTest, PhotoPageAttachesAPickedPhotoAndKeepsItsLookOnCancel) {
    auto point = addPoint(makeSet(today()), 0.25, 12, at(9));
    save();
    auto page = VNWaypointPhotoViewController::make();
    present(page);
    page->setWaypoint(point);
    EXPECT_FALSE(page->addPhotoButton()->isHidden());
    EXPECT_FALSE(page->photoImageView()->image());

    page->addPhoto();
    plat::AlertView::frontmostAlert()->dismissWithClickedButtonIndex(0, false);  // Cancel
    drain();
    EXPECT_FALSE(point->photoUrl());
    EXPECT_FALSE(page->addPhotoButton()->isHidden());

    std::filesystem::create_directories(plat::DataFolder::photos());
    ASSERT_TRUE(plat::PixelImage(4, 2).writePng(plat::DataFolder::photos() / "dune.png"));
    page->addPhoto();
    plat::AlertView::frontmostAlert()->dismissWithClickedButtonIndex(2, false);  // from the library
    auto picker = std::dynamic_pointer_cast<PhotoLibraryPicker>(page->presentedViewController());
    ASSERT_TRUE(picker);
    picker->tableView()->userSelectRow({0, 0});
    drain();
    ASSERT_TRUE(point->photoUrl());
    EXPECT_EQ(*point->photoUrl(), VNPhotoManager::urlForPhoto(plat::DataFolder::photos() / "dune.png"));
    ASSERT_TRUE(page->photoImageView()->image());
    EXPECT_TRUE(page->addPhotoButton()->isHidden());

    // A photo that left the album: the page offers to add one.
    auto again = VNWaypointPhotoViewController::make();
    std::filesystem::remove(plat::DataFolder::photos() / "dune.png");
    again->setWaypoint(point);
    drain();
    EXPECT_FALSE(again->addPhotoButton()->isHidden());
}

TEST_F(DetailsScreensTest, TrackDetailsShareAndListTheWaypointsNewestFirst) {
    auto track = threePointTrack();
    auto screen = VNTrackDetailsViewController::make();
    present(screen);
    screen->setTrack(track);
    EXPECT_EQ(screen->frontPage(), screen->detailsView());
    screen->segmentedControlView()->centerButton().performTap();
    EXPECT_EQ(screen->frontPage(), screen->graphController()->view());
    screen->segmentedControlView()->rightButton().performTap();
    EXPECT_EQ(screen->frontPage(), screen->mapController()->view());
    EXPECT_EQ(screen->mapController()->annotations().size(), 3u);
    screen->segmentedControlView()->leftButton().performTap();
    EXPECT_EQ(screen->frontPage(), screen->detailsView());

    const Records newestFirst{stamps[2], stamps[0], stamps[1]};
    screen->share();
    EXPECT_EQ(shared, newestFirst);
    EXPECT_EQ(sharedOptions, 15u);

    screen->detailsView()->tapAction();
    auto list = std::dynamic_pointer_cast<VNWaypointTableViewController>(screen->presentedViewController());
    ASSERT_TRUE(list);
    EXPECT_EQ(list->modalTransitionStyle(), plat::TransitionStyle::FlipHorizontal);
    EXPECT_EQ(Records(list->waypoints().begin(), list->waypoints().end()), newestFirst);
    EXPECT_EQ(list->tableView()->numberOfRows(0), 3);
    list->onBack();
    EXPECT_EQ(screen->presentedViewController(), nullptr);
}

TEST_F(DetailsScreensTest, WaypointListSharesMarksDeletesRowsAndOpensDetails) {
    auto track = threePointTrack();
    auto list = VNWaypointTableViewController::make();
    present(list);
    list->setWaypoints({stamps[2], stamps[0], stamps[1]});  // arrives after presentation
    auto table = list->tableView();
    ASSERT_EQ(table->numberOfRows(0), 3);

    list->share();  // nothing marked: nothing offered
    EXPECT_EQ(shares, 0);

    for (long row : {0, 2})
        std::dynamic_pointer_cast<HistoryTableCell>(table->cellForRow({0, row}))->checkButton()->performTap();
    list->share();
    EXPECT_EQ(shared, (Records{stamps[2], stamps[1]}));
    EXPECT_EQ(sharedOptions, 15u);
    shareDone();
    EXPECT_TRUE(list->selectedWaypoints().empty());

    // A deleted waypoint's row goes away and its record is never shown again.
    ASSERT_TRUE(table->swipeToDelete({0, 1}));
    drain();
    EXPECT_TRUE(stamps[0]->isDeleted());
    ASSERT_EQ(table->numberOfRows(0), 2);
    EXPECT_EQ(std::dynamic_pointer_cast<WaypointTableCell>(table->cellForRow({0, 1}))->waypoint(), stamps[1]);

    table->userSelectRow({0, 1});
    auto details = std::dynamic_pointer_cast<VNWaypointDetailsViewController>(list->presentedViewController());
    ASSERT_TRUE(details);
    EXPECT_EQ(details->waypoint(), stamps[1]);
    details->onBack();
    EXPECT_EQ(list->presentedViewController(), nullptr);

    switchLanguage("ru");
    EXPECT_EQ(list->title(), "Точки трека");
}

}  // namespace qxtest
