// The track and waypoint map pages, the alarms badge, and what the base screen does where its
// interface file or the details screen is missing.
#include "MapsTestSupport.h"
#include "link/LocationFeed.h"
#include "maps/MapZoomLevel.h"
#include "maps/MapsLayer.h"
#include "maps/VNTrackAlarmsView.h"
#include "maps/VNTrackMapViewController.h"
#include "maps/VNWaypointAnnotationView.h"
#include "maps/VNWaypointMapViewController.h"
#include "maps/WaypointAnnotation.h"
#include "model/DoseUnit.h"
#include "platform/map/CalloutView.h"
#include "platform/ui/Interface.h"

using namespace qx;
using namespace mapstest;

namespace {

class MapPagesTest : public MapsTest {
protected:
    void SetUp() override {
        MapsTest::SetUp();
        registerMapsLayer();
    }
    void TearDown() override {
        VNMapViewController::setWaypointDetailsFactory({});
        LocationFeed::resetShared();
        MapsTest::TearDown();
    }

    // A saved track of points along a line north-east of Berlin, one reading per dose rate.
    std::shared_ptr<Track> savedTrack(std::initializer_list<double> doseRates, double start = 0) {
        auto track = main().insertNew<Track>();
        track->setSet(day);
        double i = start;
        for (double der : doseRates) {
            point(der, {kBerlin.latitude + i * 0.001, kBerlin.longitude + i * 0.001}, i, nullptr, track);
            ++i;
        }
        EXPECT_TRUE(main().save());
        return track;
    }

    static std::vector<plat::AnnotationPtr> waypointPins(const plat::MapView& map) {
        std::vector<plat::AnnotationPtr> pins;
        for (const auto& a : map.annotations()) {
            if (std::dynamic_pointer_cast<WaypointAnnotation>(a)) pins.push_back(a);
        }
        return pins;
    }
};

}  // namespace

TEST_F(MapPagesTest, AlarmsBadgeShowsMaximumAndCountOnlyWithAlarms) {
    auto badge = VNTrackAlarmsView::loadFromNib();
    ASSERT_NE(badge, nullptr);
    EXPECT_TRUE(badge->isHidden());

    badge->setTrack(savedTrack({0.1, 0.2, kFirst}));  // equal to the threshold is no alarm
    EXPECT_TRUE(badge->isHidden());

    auto alarming = savedTrack({0.1, 0.5, 2.0, 0.9});
    badge->setTrack(alarming);
    EXPECT_FALSE(badge->isHidden());
    const DoseUnit max(2.0);
    EXPECT_EQ(badge->maxDoseRateLabel().text(), max.stringValue() + " " + max.unitString(DoseUnit::doseRateKind));
    EXPECT_EQ(badge->alarmsCountButton().title(), "3");
    ASSERT_NE(badge->alarmsCountButton().backgroundImage(), nullptr);
    EXPECT_EQ(badge->alarmsCountButton().backgroundImage()->name(), "icon-max-dose-red.png");

    // The count is read again on update: a deleted track leaves nothing to show.
    main().deleteObject(alarming);
    ASSERT_TRUE(main().save());
    badge->update();
    EXPECT_TRUE(badge->isHidden());
    badge->setTrack(nullptr);
    EXPECT_TRUE(badge->isHidden());
}

TEST_F(MapPagesTest, TrackPageShowsPinsPathAndBadgeAndASecondTrackReplacesTheFirst) {
    auto page = VNTrackMapViewController::make();
    auto map = page->mapView();
    ASSERT_NE(page->alarmsView(), nullptr);
    EXPECT_EQ(page->alarmsView()->superview(), map.get());
    EXPECT_EQ(page->alarmsView()->frame().origin, (plat::Point{10, 60}));
    EXPECT_EQ(page->alarmsView()->frame().size, VNTrackAlarmsView::kSize);

    auto first = savedTrack({0.1, 2.0, 0.2});
    page->setTrack(first);
    EXPECT_EQ(waypointPins(*map).size(), 3u);
    EXPECT_EQ(map->overlays().size(), 2u);
    EXPECT_TRUE(map->lastChangeAnimated());  // the first track flies in
    EXPECT_FALSE(page->alarmsView()->isHidden());
    const plat::MapRect fitted = first->boundingMapRect();
    EXPECT_TRUE(map->visibleMapRect().containsRect(fitted));

    auto second = savedTrack({0.1, 0.1}, 100);
    page->setTrack(second);
    const auto pins = waypointPins(*map);
    ASSERT_EQ(pins.size(), 2u);
    for (const auto& pin : pins) {
        EXPECT_EQ(std::static_pointer_cast<WaypointAnnotation>(pin)->waypoint()->track(), second);
    }
    EXPECT_EQ(page->annotations().size(), 2u);
    ASSERT_EQ(map->overlays().size(), 1u);
    EXPECT_EQ(map->viewForOverlay(map->overlays()[0])->strokeColor(), plat::Color::green());
    EXPECT_FALSE(map->lastChangeAnimated());  // a page that showed a track jumps
    EXPECT_TRUE(map->visibleMapRect().containsRect(second->boundingMapRect()));
    EXPECT_TRUE(page->alarmsView()->isHidden());

    // The follow-track button fits the map to the track instead of following the heading.
    map->setRegion({{0, 0}, {10, 10}}, false);
    ASSERT_TRUE(page->trackButton()->performTap());
    EXPECT_NE(map->userTrackingMode(), plat::UserTrackingMode::FollowWithHeading);
    EXPECT_TRUE(map->lastChangeAnimated());
    EXPECT_TRUE(map->visibleMapRect().containsRect(second->boundingMapRect()));
}

TEST_F(MapPagesTest, TrackPageKeepsItsRegionWithoutPositionsAndPinsNoUnfixedPoint) {
    auto page = VNTrackMapViewController::make();
    auto map = page->mapView();
    map->setUserTrackingMode(plat::UserTrackingMode::None, false);
    map->setRegion({kBerlin, {0.05, 0.05}}, false);
    const plat::MapRect before = map->visibleMapRect();

    page->setTrack(nullptr);
    page->setTrack(savedTrack({}));
    page->showTrack();
    EXPECT_EQ(map->visibleMapRect(), before);
    EXPECT_TRUE(waypointPins(*map).empty());

    auto track = main().insertNew<Track>();
    auto unfixed = addPoint(main(), nullptr, 3.0, plat::Date::now(), "no fix", track);
    ASSERT_TRUE(main().save());
    page->setTrack(track);
    EXPECT_EQ(map->visibleMapRect(), before);
    EXPECT_TRUE(waypointPins(*map).empty());
    EXPECT_TRUE(map->overlays().empty());
    EXPECT_FALSE(page->alarmsView()->isHidden());  // its reading still counts as an alarm

    // With a fixed point beside it only the fixed one is pinned.
    point(0.1, kBerlin, 1, nullptr, track);
    ASSERT_TRUE(main().save());
    page->setTrack(track);
    ASSERT_EQ(waypointPins(*map).size(), 1u);
    EXPECT_NE(std::static_pointer_cast<WaypointAnnotation>(waypointPins(*map)[0])->waypoint(), unfixed);
}

TEST_F(MapPagesTest, TrackPagePinsReadFromTheStoreShowWhatTheirWaypointsWouldAndOpenThem) {
    auto track = main().insertNew<Track>();
    track->setSet(day);
    auto named = point(2.0, kBerlin, 0, "Hilltop", track);
    auto calm = point(0.1, {kBerlin.latitude + 0.001, kBerlin.longitude}, 5, nullptr, track);
    auto middling = point(0.5, {kBerlin.latitude + 0.002, kBerlin.longitude}, 10, "", track);
    ASSERT_TRUE(main().save());
    std::shared_ptr<Waypoint> opened;
    VNMapViewController::setWaypointDetailsFactory(
        {[] { return std::make_shared<VNBaseViewController>(); },
         [&](VNBaseViewController&, const std::shared_ptr<Waypoint>& waypoint) { opened = waypoint; }});

    const auto expectPinsOf = [&](VNTrackMapViewController& page, const std::vector<std::shared_ptr<Waypoint>>& points) {
        ASSERT_EQ(page.annotations().size(), points.size());
        for (std::size_t i = 0; i < points.size(); ++i) {
            const auto& pin = *page.annotations()[i];
            const auto fromObject = WaypointAnnotation::make(points[i]);
            EXPECT_EQ(pin.title(), fromObject->title()) << i;
            EXPECT_EQ(pin.subtitle(), fromObject->subtitle()) << i;
            EXPECT_EQ(pin.coordinate(), fromObject->coordinate()) << i;
            EXPECT_EQ(pin.pinColor(), fromObject->pinColor()) << i;
            EXPECT_EQ(pin.waypoint(), points[i]) << i;  // this context's own instance
        }
    };
    auto page = VNTrackMapViewController::make();
    page->setTrack(track);
    expectPinsOf(*page, {named, calm, middling});

    // A name changed here and not saved yet shows on the pins.
    calm->setName(std::string("Bench"));
    page->setTrack(track);
    expectPinsOf(*page, {named, calm, middling});
    ASSERT_TRUE(main().save());

    // A point deleted by another save leaves its pin with nothing to open.
    page->setTrack(track);
    auto pin = page->annotations()[2];
    const auto row = middling->objectID().row;
    middling.reset();
    store().saveWithBlockAndWait([row](Context& c) { c.deleteObject(c.objectWithRow<Waypoint>(row)); });
    drain();
    EXPECT_EQ(pin->waypoint(), nullptr);
    EXPECT_FALSE(VNMapViewController::presentWaypointDetails(*page, pin->waypoint()));

    // A live pin's callout opens its waypoint's details.
    auto map = page->mapView();
    map->selectAnnotation(page->annotations()[0], false);
    auto view = map->viewForAnnotation(page->annotations()[0]);
    ASSERT_NE(view, nullptr);
    auto button = std::dynamic_pointer_cast<plat::Control>(view->rightCalloutAccessoryView());
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isHidden());
    ASSERT_TRUE(button->performTap());
    EXPECT_EQ(opened, named);
}

TEST_F(MapPagesTest, WaypointPageShowsOnePinWithoutCalloutButtonOrTrackMode) {
    VNMapViewController::setWaypointDetailsFactory({[] { return std::make_shared<VNBaseViewController>(); }, {}});
    auto page = VNWaypointMapViewController::make();
    auto map = page->mapView();
    EXPECT_FALSE(page->trackButton()->isEnabled());
    EXPECT_FALSE(page->trackButton()->performTap());

    auto first = point(0.5, kBerlin, 0, "first");
    page->setWaypoint(first);
    ASSERT_EQ(waypointPins(*map).size(), 1u);
    EXPECT_TRUE(map->lastChangeAnimated());
    EXPECT_TRUE(map->visibleMapRect().containsRect(first->boundingMapRect()));
    auto view = std::dynamic_pointer_cast<VNWaypointAnnotationView>(map->viewForAnnotation(page->waypointAnnotation()));
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->image()->name(), "orange_pin.png");
    EXPECT_EQ(view->rightCalloutAccessoryView(), nullptr);

    auto second = point(0.1, {48.137, 11.575}, 0, "second");
    page->setWaypoint(second);
    ASSERT_EQ(waypointPins(*map).size(), 1u);
    EXPECT_EQ(page->waypointAnnotation()->waypoint(), second);

    // A point without a fix: no pin at -1/-1, and the map stays where it was.
    const plat::MapRect before = map->visibleMapRect();
    auto unfixed = addPoint(main(), day, 2.0, plat::Date::now(), "no fix");
    EXPECT_TRUE(unfixed->boundingMapRect().isNull());
    page->setWaypoint(unfixed);
    EXPECT_TRUE(waypointPins(*map).empty());
    EXPECT_EQ(page->waypointAnnotation(), nullptr);
    EXPECT_EQ(map->visibleMapRect(), before);
    page->setWaypoint(nullptr);
    EXPECT_EQ(page->waypoint(), nullptr);
}

// The pages open following the user; once they show their stored object, a fix far away must
// not carry the map off it, until the my-location button asks for following again.
TEST_F(MapPagesTest, PagesKeepTheirObjectInViewWhenTheUserMovesUntilMyLocationIsPressed) {
    const plat::Location faraway(48.137, 11.575);
    auto trackPage = VNTrackMapViewController::make();
    auto waypointPage = VNWaypointMapViewController::make();
    auto track = savedTrack({0.1, 0.5, 2.0});
    auto waypoint = point(0.5, kBerlin, 0, "one");
    const std::vector<std::pair<plat::ViewController*, plat::MapRect>> cases{
        {trackPage.get(), track->boundingMapRect()}, {waypointPage.get(), waypoint->boundingMapRect()}};
    trackPage->setTrack(track);
    waypointPage->setWaypoint(waypoint);

    for (const auto& [page, shown] : cases) {
        auto& screen = dynamic_cast<VNMapViewController&>(*page);
        auto map = screen.mapView();
        map->updateUserLocation(faraway);
        EXPECT_EQ(map->userTrackingMode(), plat::UserTrackingMode::None);
        EXPECT_TRUE(map->visibleMapRect().containsRect(shown));
        EXPECT_EQ(screen.locationButton()->backgroundImage()->name(), "btn-my-location");

        ASSERT_TRUE(screen.locationButton()->performTap());
        map->updateUserLocation(faraway);
        EXPECT_EQ(map->userTrackingMode(), plat::UserTrackingMode::Follow);
        EXPECT_FALSE(map->visibleMapRect().intersects(shown));
    }

    // The follow-track button brings the track back and stays on it.
    ASSERT_TRUE(trackPage->trackButton()->performTap());
    trackPage->mapView()->updateUserLocation(faraway);
    EXPECT_TRUE(trackPage->mapView()->visibleMapRect().containsRect(track->boundingMapRect()));
}

TEST_F(MapPagesTest, CalloutDetailsButtonIsHiddenUntilADetailsScreenIsRegistered) {
    auto screen = VNMapViewController::make();
    auto map = screen->mapView();
    map->setRegion({kBerlin, {0.02, 0.02}}, false);
    auto pin = WaypointAnnotation::make(point(0.1, kBerlin));
    map->addAnnotation(pin);
    auto view = std::dynamic_pointer_cast<VNWaypointAnnotationView>(map->viewForAnnotation(pin));
    ASSERT_NE(view, nullptr);
    ASSERT_NE(view->rightCalloutAccessoryView(), nullptr);
    EXPECT_TRUE(view->rightCalloutAccessoryView()->isHidden());

    // Registered later: a pin view handed out again offers the button.
    VNMapViewController::setWaypointDetailsFactory({[] { return std::make_shared<VNBaseViewController>(); }, {}});
    map->removeAnnotation(pin);
    map->addAnnotation(pin);
    view = std::dynamic_pointer_cast<VNWaypointAnnotationView>(map->viewForAnnotation(pin));
    EXPECT_FALSE(view->rightCalloutAccessoryView()->isHidden());
}

TEST_F(MapPagesTest, AScreenWithoutModeAndTypeButtonsStartsFollowingOnTheStandardMap) {
    plat::Interface::registerBuilder("BareMap", [](plat::Outlets&) {
        return std::make_shared<plat::View>(plat::Rect{0, 0, 320, 480});
    });
    auto screen = std::make_shared<VNMapViewController>("BareMap");
    auto map = screen->mapView();
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->userTrackingMode(), plat::UserTrackingMode::Follow);
    EXPECT_EQ(map->mapType(), plat::MapType::Standard);
}

TEST(MapZoomLevel, AMapWithoutWidthHasTheLowestLevel) {
    plat::MapView map(plat::Rect{0, 0, 0, 480});
    EXPECT_EQ(getZoomLevel(map), 0.0);
    map.setFrame({0, 0, 320, 480});
    EXPECT_TRUE(std::isfinite(getZoomLevel(map)));
}
