// The map base screen: its buttons, pins, callouts, decluttering, track segments and picture.
#include "MapsTestSupport.h"
#include "link/LocationFeed.h"
#include "maps/MapsLayer.h"
#include "maps/VNMapViewController.h"
#include "maps/VNWaypointAnnotationView.h"
#include "maps/WaypointAnnotation.h"
#include "model/Language.h"
#include "platform/map/CalloutView.h"
#include "store/Waypoint.h"

using namespace qx;
using namespace mapstest;

namespace {

class MapScreenTest : public MapsTest {
protected:
    void SetUp() override {
        MapsTest::SetUp();
        registerMapsLayer();
        screen = VNMapViewController::make();
        map = screen->mapView();
    }
    void TearDown() override {
        VNMapViewController::setWaypointDetailsFactory({});
        screen.reset();
        LocationFeed::resetShared();
        MapsTest::TearDown();
    }

    std::shared_ptr<VNWaypointAnnotationView> pinView(const plat::AnnotationPtr& pin) {
        return std::dynamic_pointer_cast<VNWaypointAnnotationView>(map->viewForAnnotation(pin));
    }

    std::shared_ptr<VNMapViewController> screen;
    std::shared_ptr<plat::MapView> map;
};

std::string backgroundName(const std::shared_ptr<plat::Button>& b) {
    auto image = b->backgroundImage();
    return image ? image->name() : std::string{};
}

}  // namespace

TEST_F(MapScreenTest, StartsFollowingTheUserOnAStandardMapAndSwitchesWithItsButtons) {
    ASSERT_NE(map, nullptr);
    EXPECT_EQ(map->delegate().get(), static_cast<plat::MapViewDelegate*>(screen.get()));
    EXPECT_EQ(map->userTrackingMode(), plat::UserTrackingMode::Follow);
    EXPECT_EQ(map->mapType(), plat::MapType::Standard);
    EXPECT_EQ(backgroundName(screen->locationButton()), "btn-my-location-active");
    EXPECT_EQ(backgroundName(screen->trackButton()), "btn-track");
    EXPECT_EQ(backgroundName(screen->standardMapButton()), "btn-left-small-active");
    EXPECT_EQ(screen->standardMapButton()->title(), "Map");
    EXPECT_EQ(screen->satelliteMapButton()->title(), "Satellite");
    EXPECT_EQ(screen->hybridMapButton()->title(), "Hybrid");

    ASSERT_TRUE(screen->trackButton()->performTap());
    EXPECT_EQ(map->userTrackingMode(), plat::UserTrackingMode::FollowWithHeading);
    EXPECT_EQ(backgroundName(screen->locationButton()), "btn-my-location");
    EXPECT_EQ(backgroundName(screen->trackButton()), "btn-track-active");

    ASSERT_TRUE(screen->satelliteMapButton()->performTap());
    EXPECT_EQ(map->mapType(), plat::MapType::Satellite);
    EXPECT_EQ(backgroundName(screen->standardMapButton()), "btn-left-small");
    EXPECT_EQ(backgroundName(screen->satelliteMapButton()), "btn-center-small-active");
    EXPECT_EQ(backgroundName(screen->hybridMapButton()), "btn-right-small");
    screen->typeDidChange(nullptr);  // any other sender: hybrid
    EXPECT_EQ(map->mapType(), plat::MapType::Hybrid);
    EXPECT_EQ(backgroundName(screen->hybridMapButton()), "btn-right-small-active");
}

TEST_F(MapScreenTest, LanguageSwitchRetitlesTheTypeButtons) {
    Settings::sharedSettings().setLanguage("de");
    Language::setCurrentLanguage();
    drain();
    EXPECT_EQ(screen->standardMapButton()->title(), "Karte");
    EXPECT_EQ(screen->satelliteMapButton()->title(), "Satellit");
    Settings::sharedSettings().setLanguage("en");
    Language::setCurrentLanguage();
    drain();
    EXPECT_EQ(screen->standardMapButton()->title(), "Map");
}

TEST_F(MapScreenTest, FollowsTheMachinesLocationFixes) {
    LocationFeed::shared().deliver(plat::Location(kBerlin.latitude, kBerlin.longitude));
    EXPECT_NEAR(map->centerCoordinate().latitude, kBerlin.latitude, 1e-9);
    EXPECT_TRUE(map->isUserLocationVisible());
    // The user's dot gets the map's own view, not a waypoint pin.
    auto dot = map->viewForAnnotation(map->userLocation());
    ASSERT_NE(dot, nullptr);
    EXPECT_EQ(std::dynamic_pointer_cast<VNWaypointAnnotationView>(dot), nullptr);
}

TEST_F(MapScreenTest, PinViewsShowTheColourClassAndAreReused) {
    map->setRegion({kBerlin, {0.02, 0.02}}, false);
    auto orange = WaypointAnnotation::make(point(kSecond, kBerlin));
    auto plain = std::make_shared<plat::PointAnnotation>(kBerlin, "not a waypoint");
    map->addAnnotations({orange, plain});
    auto view = pinView(orange);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->reuseIdentifier(), "WaypointAnnotationView");
    EXPECT_EQ(view->image()->name(), "orange_pin.png");
    EXPECT_EQ(view->markerColor(), plat::Color::orange());
    EXPECT_TRUE(view->canShowCallout());
    EXPECT_TRUE(view->isEnabled());
    EXPECT_EQ(pinView(plain), nullptr);  // the map's default pin
    ASSERT_NE(map->viewForAnnotation(plain), nullptr);

    map->removeAnnotation(orange);
    auto red = WaypointAnnotation::make(point(5, kBerlin));
    map->addAnnotation(red);
    EXPECT_EQ(pinView(red), view);
    EXPECT_EQ(view->image()->name(), "red_pin.png");
    EXPECT_EQ(view->annotation(), red);
    EXPECT_EQ(VNWaypointAnnotationView::pinImageName(7), std::string("green_pin.png"));
}

TEST_F(MapScreenTest, CalloutButtonOpensTheDetailsOfTheViewsCurrentWaypoint) {
    std::shared_ptr<VNBaseViewController> opened;
    std::shared_ptr<Waypoint> given;
    VNMapViewController::setWaypointDetailsFactory(
        {[&] { return opened = std::make_shared<VNBaseViewController>(); },
         [&](VNBaseViewController& s, const std::shared_ptr<Waypoint>& w) {
             EXPECT_EQ(&s, opened.get());
             EXPECT_EQ(s.presentingViewController(), screen.get());  // given after presenting
             given = w;
         }});
    map->setRegion({kBerlin, {0.02, 0.02}}, false);
    auto first = point(0.1, kBerlin, 0, "first");
    auto pin = WaypointAnnotation::make(first);
    map->addAnnotation(pin);
    auto view = pinView(pin);
    ASSERT_TRUE(view->performTap());
    ASSERT_NE(view->callout(), nullptr);
    ASSERT_NE(view->callout()->accessory(), nullptr);

    // The view now shows another waypoint: the button follows the view, not the first pin.
    map->removeAnnotation(pin);
    auto second = point(0.1, kBerlin, 0, "second");
    auto pin2 = WaypointAnnotation::make(second);
    map->addAnnotation(pin2);
    ASSERT_EQ(pinView(pin2), view);
    map->selectAnnotation(pin2, false);
    ASSERT_TRUE(view->callout()->accessory()->performTap());
    ASSERT_NE(opened, nullptr);
    EXPECT_EQ(given, second);
    EXPECT_EQ(screen->presentedViewController(), opened);
    EXPECT_EQ(opened->modalTransitionStyle(), plat::TransitionStyle::FlipHorizontal);
    EXPECT_TRUE(opened->wasPresentedAnimated());
    opened->onBack();
    EXPECT_EQ(screen->presentedViewController(), nullptr);

    screen->annotationCalloutAction(nullptr);  // nothing for no waypoint
    EXPECT_EQ(screen->presentedViewController(), nullptr);
}

TEST_F(MapScreenTest, OnlyOnePinPerTenPointCellStaysVisible) {
    map->setUserTrackingMode(plat::UserTrackingMode::None, false);
    map->setRegion({kBerlin, {0.02, 0.02}}, false);
    // About 4 points apart on this map, in one 10-point cell.
    const double step = 4.0 * map->region().span.longitudeDelta / map->bounds().width();
    const plat::Point centre = map->convertCoordinateToPoint(kBerlin);
    const plat::Coordinate2D base = map->convertPointToCoordinate({centre.x - 3, centre.y});
    auto a = WaypointAnnotation::make(point(0.1, base));
    auto b = WaypointAnnotation::make(point(2, {base.latitude, base.longitude + step}));
    map->addAnnotations({a, b});
    map->setRegion({kBerlin, {0.02, 0.02}}, false);
    EXPECT_FALSE(pinView(a)->isHidden());
    EXPECT_TRUE(pinView(b)->isHidden());

    // Zoomed in, the two fall into different cells and both show.
    map->setRegion({kBerlin, {0.002, 0.002}}, false);
    EXPECT_FALSE(pinView(a)->isHidden());
    EXPECT_FALSE(pinView(b)->isHidden());
}

TEST_F(MapScreenTest, TrackSegmentsAreDrawnSixWideInTheirColourAndRendered) {
    auto track = main().insertNew<Track>();
    const plat::Coordinate2D a{52.515, 13.395}, b{52.52, 13.405}, c{52.525, 13.415};
    auto pa = point(0.1, a, 0, "start", track);
    auto pb = point(0.5, b, 10, nullptr, track);
    auto pc = point(2.0, c, 20, "end", track);
    TrackPath path(track);
    map->setUserTrackingMode(plat::UserTrackingMode::None, false);
    map->setVisibleMapRect(track->boundingMapRect(), false);
    for (const auto& segment : *path.pathForTrack()) map->addOverlay(segment);
    for (const auto& w : {pa, pb, pc}) map->addAnnotation(WaypointAnnotation::make(w));

    auto view = map->viewForOverlay(map->overlays()[1]);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->lineWidth(), 6.0);
    EXPECT_EQ(view->strokeColor(), plat::Color::red());
    EXPECT_EQ(view->fillColor(), plat::Color::red());
    EXPECT_EQ(map->viewForOverlay(map->overlays()[0])->strokeColor(), plat::Color::orange());
    // Circles are not this screen's: they get no view.
    EXPECT_EQ(screen->mapViewViewForOverlay(*map, std::make_shared<plat::Circle>(kBerlin, 10)), nullptr);

    // The map alone: the buttons' titles would draw text, whose font library keeps caches
    // that the leak checker of the sanitizer build reports.
    const auto picture = map->renderImage();
    auto at = [&](const plat::Coordinate2D& coord) {
        const plat::Point p = map->convertCoordinateToPoint(coord);
        return picture.pixel(static_cast<int>(p.x), static_cast<int>(p.y));
    };
    // Midway along each segment, clear of the pins.
    const plat::Color first = at({(a.latitude + b.latitude) / 2, (a.longitude + b.longitude) / 2});
    EXPECT_GT(first.r, 0.9);
    EXPECT_NEAR(first.g, 0.5, 0.1);
    const plat::Color second = at({(b.latitude + c.latitude) / 2, (b.longitude + c.longitude) / 2});
    EXPECT_GT(second.r, 0.9);
    EXPECT_LT(second.g, 0.1);
    ASSERT_TRUE(map->renderToPng(dataDir() / "track-map.png"));

    const std::string text = screen->view()->describe();
    EXPECT_NE(text.find("Polyline 2 points stroke #FF0000"), std::string::npos) << text;
    EXPECT_NE(text.find("end\" red_pin.png"), std::string::npos) << text;
}
