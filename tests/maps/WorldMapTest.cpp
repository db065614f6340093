// The World Map tab: its query and filters, the pins it adds and removes (one per cell, the
// loudest), the radius circle, the reload triggers and the callout.
#include <cmath>

#include "MapsTestSupport.h"
#include "link/LocationFeed.h"
#include "maps/MapHelper.h"
#include "maps/MapsLayer.h"
#include "maps/VNMapViewController.h"
#include "maps/VNWaypointAnnotationView.h"
#include "maps/WaypointAnnotation.h"
#include "maps/WorldMapController.h"
#include "platform/map/MapView.h"
#include "platform/map/Overlay.h"
#include "platform/ui/Label.h"
#include "store/Set.h"
#include "store/Waypoint.h"
#include "store/WaypointGrid.h"

using namespace qx;
using namespace mapstest;

namespace {

class WorldMapTest : public MapsTest {
protected:
    void SetUp() override {
        MapsTest::SetUp();
        registerMapsLayer();
        screen = WorldMapController::make();
        map = screen->mapView();
        map->setUserTrackingMode(plat::UserTrackingMode::None, false);
        show(kBerlin, 0.2);
    }
    void TearDown() override {
        VNMapViewController::setWaypointDetailsFactory({});
        screen.reset();
        LocationFeed::resetShared();
        MapsTest::TearDown();
    }

    void show(plat::Coordinate2D centre, double span) { map->setRegion({centre, {span, span}}, false); }
    void userAt(plat::Coordinate2D at) { map->updateUserLocation(plat::Location(at.latitude, at.longitude)); }
    // Saves what the test made, then reloads the way the screen does.
    void reload() {
        main().save();
        screen->initData();
        drain();
    }
    std::vector<std::shared_ptr<Waypoint>> shownWaypoints() {
        std::vector<std::shared_ptr<Waypoint>> out;
        for (const auto& a : map->annotations())
            if (auto pin = std::dynamic_pointer_cast<WaypointAnnotation>(a)) out.push_back(pin->waypoint());
        return out;
    }
    std::size_t pins() { return shownWaypoints().size(); }
    bool shows(const std::shared_ptr<Waypoint>& w) {
        for (const auto& s : shownWaypoints())
            if (s == w) return true;
        return false;
    }
    Settings& settings() { return Settings::sharedSettings(); }

    std::shared_ptr<WorldMapController> screen;
    std::shared_ptr<plat::MapView> map;
};

}  // namespace

TEST_F(WorldMapTest, FiltersByAlarmTimeWindowAndFloorWithStrictAndInclusiveBounds) {
    const plat::Date from = plat::Date::now().addingTimeInterval(-3600);
    const plat::Date to = plat::Date::now();
    auto atThreshold = point(kFirst, kBerlin, -1800);
    auto above = point(kFirst + 0.01, {52.53, 13.41}, -1800);
    auto atStart = point(0.5, {52.51, 13.40}, -3600);
    auto atEnd = point(0.5, {52.50, 13.40}, 0);
    reload();
    EXPECT_EQ(pins(), 4u);

    settings().setWMAlertsOnly(true);
    reload();
    EXPECT_FALSE(shows(atThreshold));  // exactly at the first threshold is no alarm
    EXPECT_TRUE(shows(above));
    EXPECT_EQ(pins(), 3u);

    settings().setWMAlertsOnly(false);
    settings().setWMTimeFromOn(true);
    settings().setWMTimeFrom(from);
    settings().setWMTimeToOn(true);
    settings().setWMTimeTo(to);
    reload();
    EXPECT_TRUE(shows(atStart));  // the start is inside the window
    EXPECT_FALSE(shows(atEnd));   // the end is not

    settings().setWMTimeFromOn(false);
    settings().setWMTimeToOn(false);
    settings().setWMthresholdValue(0.5);
    reload();
    EXPECT_FALSE(shows(atStart));  // the floor is strict as well
    EXPECT_EQ(pins(), 0u);
}

TEST_F(WorldMapTest, VisibleBoxCrossesTheAntimeridianAndNeverFindsPointsWithoutAFix) {
    auto east = point(0.1, {-17.0, 179.5});
    auto west = point(0.1, {-17.0, -179.5});
    auto far = point(0.1, {-17.0, 170.0});
    show({-17.0, 180.0}, 4.0);
    reload();
    EXPECT_TRUE(shows(east));
    EXPECT_TRUE(shows(west));
    EXPECT_FALSE(shows(far));

    auto noFix = point(0.1, {Waypoint::kNoFix, Waypoint::kNoFix});
    auto nearNoFix = point(0.1, {-1.001, -1.001});
    show({-1.0, -1.0}, 1.0);
    reload();
    EXPECT_FALSE(shows(noFix));
    EXPECT_TRUE(shows(nearNoFix));
}

TEST_F(WorldMapTest, PanningKeepsThePinsThatStayAndDropsTheOnesThatLeave) {
    auto inside = point(0.1, kBerlin);
    auto eastEdge = point(0.1, {52.52, 13.48});
    reload();
    ASSERT_TRUE(shows(eastEdge));
    const auto before = map->annotations();
    show({52.52, 13.33}, 0.2);  // the east edge now lies outside
    reload();
    EXPECT_TRUE(shows(inside));
    EXPECT_FALSE(shows(eastEdge));
    // The pin that stayed is the same object: nothing was rebuilt.
    bool same = false;
    for (const auto& a : map->annotations())
        for (const auto& b : before) same = same || (a == b);
    EXPECT_TRUE(same);
}

TEST_F(WorldMapTest, DistanceFilterIsPartOfTheQueryWritesNothingAndDrawsItsCircle) {
    settings().setMetric(false);
    settings().setWMDistance(5);
    settings().setWMDistanceOn(true);
    auto near = point(0.1, kBerlin);
    auto edge = point(0.1, {52.52 + 0.07, 13.405});  // about 7.8 km north: inside 5 miles
    auto far = point(0.1, {52.52 + 0.09, 13.405});   // about 10 km north: outside
    userAt(kBerlin);
    // Reloads read the store and never write it: no mark per point for every walk.
    std::size_t written = 0;
    struct Counter : ContextObserver {
        std::size_t* n;
        void contextDidChange(Context&, const ChangeSet& changes) override { *n += changes.updated.size(); }
    };
    auto counter = std::make_shared<Counter>();
    counter->n = &written;
    reload();
    main().addObserver(counter);
    EXPECT_TRUE(shows(near) && shows(edge) && !shows(far));
    ASSERT_NE(screen->radiusOverlay(), nullptr);
    EXPECT_NEAR(screen->radiusOverlay()->radius(), 8045.0, 0.01);  // 5 miles at 1.609 km
    EXPECT_EQ(map->overlays().size(), 1u);
    EXPECT_TRUE(screen->noLocationLabel()->isHidden());

    // Moving south by 2 km: the edge point leaves the radius.
    userAt({52.52 - 0.02, 13.405});
    reload();
    EXPECT_EQ(written, 0u);
    EXPECT_FALSE(shows(edge));
    EXPECT_TRUE(shows(near));
    EXPECT_EQ(map->overlays().size(), 1u);  // the old circle went

    settings().setWMDistanceOn(false);
    reload();
    EXPECT_EQ(screen->radiusOverlay(), nullptr);
    EXPECT_TRUE(map->overlays().empty());
    EXPECT_TRUE(shows(far));
}

TEST_F(WorldMapTest, DistanceFilterWithoutAKnownPositionShowsNoPinsAndSaysSo) {
    settings().setWMDistanceOn(true);
    auto marked = point(0.1, kBerlin);
    marked->setInRadius(true);  // a mark left from an earlier position
    reload();
    EXPECT_EQ(pins(), 0u);
    EXPECT_FALSE(screen->noLocationLabel()->isHidden());
    EXPECT_EQ(screen->radiusOverlay(), nullptr);

    settings().setWMDistanceOn(false);
    reload();
    EXPECT_EQ(pins(), 1u);
    EXPECT_TRUE(screen->noLocationLabel()->isHidden());
}

TEST_F(WorldMapTest, StoredWaypointGetsAPinOnlyWhenItIsTheLoudestOfItsCell) {
    reload();
    ASSERT_EQ(pins(), 0u);
    auto first = point(0.1, kBerlin);
    main().save();
    drain();
    EXPECT_TRUE(shows(first));
    // A few metres away falls in the same 10-point cell at this zoom: as quiet, it gets no pin.
    auto sameCell = point(0.1, {kBerlin.latitude + 0.00001, kBerlin.longitude});
    main().save();
    drain();
    EXPECT_FALSE(shows(sameCell));
    EXPECT_EQ(pins(), 1u);
    // An alarm there takes the cell: it is never hidden behind a quiet reading.
    auto alarm = point(kSecond + 1, {kBerlin.latitude - 0.00001, kBerlin.longitude});
    main().save();
    drain();
    EXPECT_TRUE(shows(alarm));
    EXPECT_FALSE(shows(first));
    EXPECT_EQ(pins(), 1u);
    // After a pan without a reload, a point stored in another cell gets its pin.
    show({kBerlin.latitude, kBerlin.longitude + 0.01}, 0.2);
    auto oldCell = point(0.1, {kBerlin.latitude, kBerlin.longitude + 0.01});
    main().save();
    drain();
    EXPECT_TRUE(shows(oldCell));

    // The alarm deleted, its cell goes back to the oldest of the quiet ones.
    main().deleteObject(alarm);
    main().save();
    drain();
    EXPECT_FALSE(shows(alarm));
    EXPECT_TRUE(shows(first));
    main().deleteObject(first);
    main().deleteObject(sameCell);
    main().save();
    drain();
    EXPECT_FALSE(shows(first));
    EXPECT_EQ(pins(), 1u);
}

TEST_F(WorldMapTest, ReloadDistancesFollowTheZoomLevel) {
    // Walking: 600 / zoom metres, whole metres; never at zoom 0.
    EXPECT_TRUE(WorldMapController::walkReloads(40.0, 15));
    EXPECT_FALSE(WorldMapController::walkReloads(39.9, 15));
    EXPECT_FALSE(WorldMapController::walkReloads(1e7, 0));
    // Zoom: a whole level since the previous change.
    EXPECT_TRUE(WorldMapController::regionChangeReloads(11.0, 10.0, 0));
    EXPECT_FALSE(WorldMapController::regionChangeReloads(10.9, 10.0, 0));
    // Moving: 8,000,000 / 2^zoom metres from the last reload (7,812.5 m at zoom 10).
    EXPECT_TRUE(WorldMapController::regionChangeReloads(10.0, 10.0, 7813));
    EXPECT_FALSE(WorldMapController::regionChangeReloads(10.0, 10.0, 7800));
}

TEST_F(WorldMapTest, SmallZoomStepsNeverReloadButSmallPansDoOnceFarEnough) {
    screen->mapViewDidFinishLoadingMap(*map);
    show(kBerlin, 0.2);  // the first change after loading reloads
    const auto first = screen->lastMapRegion();
    EXPECT_EQ(first.center, map->region().center);
    const double startZoom = screen->mapZoomLevel();
    for (double span : {0.16, 0.13, 0.105, 0.085}) {  // less than one level each
        show(kBerlin, span);
        EXPECT_EQ(screen->lastMapRegion(), first);
    }
    EXPECT_GT(screen->mapZoomLevel() - startZoom, 1.0);  // over a level in all

    const double step = 0.001;
    int steps = 0;
    plat::Coordinate2D centre = kBerlin;
    while (screen->lastMapRegion() == first && steps < 1000) {
        centre.longitude += step;
        map->setCenterCoordinate(centre, false);
        ++steps;
    }
    const double threshold = 8000000.0 / std::pow(2.0, screen->mapZoomLevel());
    const double moved = MapHelper::distanceFrom(first.center, screen->lastMapRegion().center);
    EXPECT_GT(steps, 1);
    EXPECT_GE(moved, threshold);
    EXPECT_LT(moved, threshold + 200);
}

TEST_F(WorldMapTest, AMapOpeningOnTheWholeWorldShowsItsPinsOnceLoaded) {
    auto w = point(0.1, kBerlin);
    main().save();
    map->setRegion({{0, 0}, {170, 360}}, false);
    ASSERT_LT(std::abs(screen->mapZoomLevel()), 1.0);
    screen->mapViewDidFinishLoadingMap(*map);
    drain();
    EXPECT_TRUE(shows(w));
}

// A store written before the map grid existed: the map opens at once saying it is being
// prepared, the grid is made in the background, and the pins come once it is, those of the
// readings saved meanwhile too.
TEST_F(WorldMapTest, AStoreWithoutTheMapGridSaysSoAtOnceAndShowsEveryPinOnceItIsMade) {
    auto stored = point(0.5, kBerlin);
    main().save();
    ASSERT_FALSE(WaypointGrid::inFile(main().connection()));
    screen->initData();
    EXPECT_FALSE(screen->preparingLabel()->isHidden());
    EXPECT_EQ(screen->preparingLabel()->text(), "Preparing the map's waypoints…");
    EXPECT_EQ(pins(), 0u);
    // An alarm saved on the save thread while the grid is made, in a cell of its own.
    std::int64_t during = 0;
    store().saveWithBlock([&](Context& c) {
        auto w = addPoint(c, Set::setForDay(plat::Date::now(), c), kSecond + 1, plat::Date::now());
        w->setLatitude(kBerlin.latitude + 0.05);
        w->setLongitude(kBerlin.longitude);
        during = w->objectID().row;
    });
    drain();
    EXPECT_TRUE(screen->preparingLabel()->isHidden());
    EXPECT_TRUE(WaypointGrid::inFile(main().connection()));
    EXPECT_TRUE(shows(stored));
    ASSERT_EQ(pins(), 2u);
    bool shownDuring = false;
    for (const auto& w : shownWaypoints()) shownDuring = shownDuring || w->objectID().row == during;
    EXPECT_TRUE(shownDuring);
    // The next reload reads the grid at once.
    screen->initData();
    EXPECT_TRUE(screen->preparingLabel()->isHidden());
    EXPECT_EQ(pins(), 2u);
}

TEST_F(WorldMapTest, CalloutOpensTheDetailsOnlyOnceTheyAreRegistered) {
    auto w = point(0.5, kBerlin);
    reload();
    ASSERT_EQ(map->annotations().size(), 1u);
    auto pin = map->annotations().front();
    auto view = map->viewForAnnotation(pin);
    ASSERT_NE(view, nullptr);
    ASSERT_NE(view->rightCalloutAccessoryView(), nullptr);
    EXPECT_TRUE(view->rightCalloutAccessoryView()->isHidden());  // no dead end

    std::shared_ptr<Waypoint> opened;
    VNMapViewController::setWaypointDetailsFactory(
        {[] { return std::make_shared<VNBaseViewController>(); },
         [&](VNBaseViewController&, const std::shared_ptr<Waypoint>& waypoint) { opened = waypoint; }});
    map->removeAnnotations(map->annotations());
    reload();
    view = map->viewForAnnotation(map->annotations().front());
    ASSERT_NE(view, nullptr);
    auto button = std::dynamic_pointer_cast<plat::Control>(view->rightCalloutAccessoryView());
    ASSERT_NE(button, nullptr);
    EXPECT_FALSE(button->isHidden());
    screen->mapViewAnnotationViewCalloutAccessoryControlTapped(*map, *view, *button);
    EXPECT_EQ(opened, w);
    ASSERT_NE(screen->presentedViewController(), nullptr);
    EXPECT_EQ(screen->presentedViewController()->modalTransitionStyle(), plat::TransitionStyle::FlipHorizontal);
}

TEST_F(WorldMapTest, MapTypePanelAndSegments) {
    EXPECT_TRUE(screen->mapSettingsView()->isHidden());
    ASSERT_TRUE(screen->mapTypeButton()->performTap());
    EXPECT_FALSE(screen->mapSettingsView()->isHidden());
    ASSERT_EQ(screen->mapModeControl()->segmentCount(), 3u);
    EXPECT_EQ(screen->mapModeControl()->frame().origin.x, 139);
    EXPECT_EQ(screen->satButton()->title(), "Satellite");
    ASSERT_TRUE(screen->satButton()->performTap());
    EXPECT_EQ(map->mapType(), plat::MapType::Satellite);
    ASSERT_TRUE(screen->hybridButton()->performTap());
    EXPECT_EQ(map->mapType(), plat::MapType::Hybrid);
    screen->touchUpInsideSegmentIndex(*screen->mapModeControl(), 7);  // ignored
    EXPECT_EQ(map->mapType(), plat::MapType::Hybrid);
}
