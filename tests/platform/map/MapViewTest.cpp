#include <gtest/gtest.h>

#include <algorithm>
#include <cmath>

#include "TestEnvironment.h"
#include "platform/map/CalloutView.h"
#include "platform/map/MapView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Window.h"

using namespace plat;

namespace {

// A delegate that records what the map tells it and hands out reusable views.
class RecordingDelegate : public MapViewDelegate {
public:
    int regionChanges = 0;
    int viewsMade = 0;
    int accessoryTaps = 0;
    int loadsStarted = 0, loadsFinished = 0;
    int userUpdates = 0;

    void mapViewRegionDidChangeAnimated(MapView&, bool) override { ++regionChanges; }
    AnnotationViewPtr mapViewViewForAnnotation(MapView& map, const AnnotationPtr& annotation) override {
        if (annotation == map.userLocation()) return nullptr;
        if (auto view = map.dequeueReusableAnnotationView("pin")) {
            view->setAnnotation(annotation);
            return view;
        }
        ++viewsMade;
        auto view = std::make_shared<AnnotationView>(annotation, "pin");
        view->setCanShowCallout(true);
        view->setRightCalloutAccessoryView(Button::make(ButtonType::DetailDisclosure));
        return view;
    }
    OverlayViewPtr mapViewViewForOverlay(MapView&, const OverlayPtr& overlay) override {
        auto line = std::dynamic_pointer_cast<Polyline>(overlay);
        if (!line) return nullptr;
        auto view = std::make_shared<PolylineView>(line);
        view->setStrokeColor(Color::red());
        view->setLineWidth(6);
        return view;
    }
    void mapViewAnnotationViewCalloutAccessoryControlTapped(MapView&, AnnotationView&, Control&) override {
        ++accessoryTaps;
    }
    void mapViewDidUpdateUserLocation(MapView&, UserLocation&) override { ++userUpdates; }
    void mapViewWillStartLoadingMap(MapView&) override { ++loadsStarted; }
    void mapViewDidFinishLoadingMap(MapView&) override { ++loadsFinished; }
};

class MapViewTest : public qxtest::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        map = std::make_shared<MapView>(Rect{0, 0, 320, 480});
        map->setDelegate(delegate);
    }
    std::shared_ptr<RecordingDelegate> delegate = std::make_shared<RecordingDelegate>();
    std::shared_ptr<MapView> map;
};

const Coordinate2D kBerlin{52.52, 13.405};

}  // namespace

TEST_F(MapViewTest, RegionAndPointConversionsRoundTrip) {
    map->setRegion({kBerlin, {0.02, 0.01}}, true);
    EXPECT_TRUE(map->lastChangeAnimated());
    EXPECT_EQ(delegate->regionChanges, 1);

    const CoordinateRegion r = map->region();
    EXPECT_NEAR(r.center.latitude, kBerlin.latitude, 1e-9);
    EXPECT_NEAR(r.center.longitude, kBerlin.longitude, 1e-9);
    // The whole asked-for area fits; the tall view shows more latitude than asked, not less.
    EXPECT_GE(r.span.latitudeDelta, 0.02 - 1e-9);
    EXPECT_GE(r.span.longitudeDelta, 0.01 - 1e-9);
    EXPECT_NEAR(r.span.latitudeDelta, 0.02, 1e-5);

    const Point centre = map->convertCoordinateToPoint(kBerlin);
    EXPECT_NEAR(centre.x, 160, 1e-6);
    EXPECT_NEAR(centre.y, 240, 1e-6);
    for (Point p : {Point{0, 0}, Point{319, 479}, Point{17.5, 300.25}}) {
        const Point back = map->convertCoordinateToPoint(map->convertPointToCoordinate(p));
        EXPECT_NEAR(back.x, p.x, 1e-6);
        EXPECT_NEAR(back.y, p.y, 1e-6);
    }

    // The visible rectangle has the view's shape and its corners are the view's corners.
    const MapRect vis = map->visibleMapRect();
    EXPECT_NEAR(vis.size.width / vis.size.height, 320.0 / 480.0, 1e-9);
    const Point topLeft = map->pointForMapPoint(vis.origin);
    EXPECT_NEAR(topLeft.x, 0, 1e-6);
    EXPECT_NEAR(topLeft.y, 0, 1e-6);

    // Setting the same rectangle again changes nothing.
    map->setVisibleMapRect(vis, false);
    EXPECT_NEAR(map->visibleMapRect().origin.x, vis.origin.x, 1e-6);
    EXPECT_NEAR(map->visibleMapRect().size.width, vis.size.width, 1e-6);
}

TEST_F(MapViewTest, ConvertsIntoOtherViewsAndAcrossTheAntimeridian) {
    auto window = std::make_shared<View>(Rect{0, 0, 400, 600});
    map->setFrame({40, 60, 320, 480});
    window->addSubview(map);
    map->setRegion({{0, 179.99}, {0.1, 0.1}}, false);
    // A point just east of the antimeridian lies just right of the centre, not a world away.
    const Point east = map->convertCoordinateToPoint({0, -179.99});
    EXPECT_GT(east.x, 160);
    EXPECT_LT(east.x, 320);
    const Point inWindow = map->convertCoordinateToPoint({0, 179.99}, window.get());
    EXPECT_NEAR(inWindow.x, 200, 1e-6);
    EXPECT_NEAR(inWindow.y, 300, 1e-6);
    const Coordinate2D c = map->convertPointToCoordinate({200, 300}, window.get());
    EXPECT_NEAR(c.longitude, 179.99, 1e-9);
}

TEST_F(MapViewTest, RefusesBrokenRegionsAndNeverShowsMoreThanTheWorld) {
    map->setRegion({kBerlin, {0.02, 0.02}}, false);
    const MapRect before = map->visibleMapRect();
    map->setRegion({kBerlin, {NAN, 0.02}}, false);
    map->setRegion({{120, 0}, {1, 1}}, false);
    map->setVisibleMapRect(MapRect::null(), false);
    map->setVisibleMapRect(MapRect::make(0, 0, -5, 10), false);
    EXPECT_EQ(map->visibleMapRect(), before);

    map->setRegion({{0, 0}, {170, 720}}, false);
    EXPECT_NEAR(map->visibleMapRect().size.width, kMapWorldWidth, 1e-3);
    EXPECT_NEAR(map->region().span.longitudeDelta, 360, 1e-9);

    // A rectangle without area (a track whose points coincide) zooms in as far as the map goes.
    const MapPoint p = mapPointForCoordinate(kBerlin);
    map->setVisibleMapRect(MapRect::make(p.x, p.y, 0, 0), false);
    EXPECT_NEAR(map->centerCoordinate().latitude, kBerlin.latitude, 1e-9);
    EXPECT_GT(map->zoomScale(), 1);
}

TEST_F(MapViewTest, AnnotationViewsAreMadeOnScreenAndReused) {
    map->setRegion({kBerlin, {0.02, 0.02}}, false);
    auto here = std::make_shared<PointAnnotation>(kBerlin, "here");
    auto far = std::make_shared<PointAnnotation>(Coordinate2D{48.85, 2.35}, "far");
    map->addAnnotations({here, far, here});
    EXPECT_EQ(map->annotations().size(), 2u);
    auto view = map->viewForAnnotation(here);
    ASSERT_NE(view, nullptr);
    EXPECT_EQ(view->mapView(), map.get());
    EXPECT_EQ(map->viewForAnnotation(far), nullptr);  // off screen: no view yet
    EXPECT_EQ(delegate->viewsMade, 1);
    // The pin's tip is on the coordinate.
    const Point p = map->convertCoordinateToPoint(kBerlin);
    EXPECT_NEAR(view->frame().midX(), p.x, 1e-6);
    EXPECT_NEAR(view->frame().maxY(), p.y, 1e-6);

    // Moving to the far pin retires the first view and hands it to the far one.
    map->setCenterCoordinate(far->coordinate(), false);
    EXPECT_EQ(map->viewForAnnotation(here), nullptr);
    EXPECT_EQ(map->viewForAnnotation(far), view);
    EXPECT_EQ(view->annotation(), far);
    EXPECT_EQ(view->superview(), map.get());  // handed on in the same pass, it stays on the map
    EXPECT_EQ(view->mapView(), map.get());
    EXPECT_EQ(delegate->viewsMade, 1);

    map->removeAnnotation(far);
    EXPECT_EQ(view->superview(), nullptr);
    EXPECT_EQ(view->mapView(), nullptr);
    EXPECT_EQ(map->dequeueReusableAnnotationView("pin"), view);
    EXPECT_EQ(map->dequeueReusableAnnotationView("pin"), nullptr);
    EXPECT_EQ(map->dequeueReusableAnnotationView("other"), nullptr);

    // Removing many at once keeps the others in their order.
    auto a = std::make_shared<PointAnnotation>(kBerlin, "a");
    auto b = std::make_shared<PointAnnotation>(kBerlin, "b");
    auto c = std::make_shared<PointAnnotation>(kBerlin, "c");
    map->addAnnotations({a, b, c});
    map->removeAnnotations({here, a, c, a});
    ASSERT_EQ(map->annotations().size(), 1u);
    EXPECT_EQ(map->annotations()[0], b);
    map->addAnnotation(a);
    EXPECT_EQ(map->annotations().back(), a);
}

TEST_F(MapViewTest, PinsStackByPriorityUnderTheScreensOwnViewsAndFitWithPadding) {
    map->setRegion({kBerlin, {0.02, 0.02}}, false);
    auto badge = std::make_shared<View>(Rect{10, 60, 100, 30});
    map->addSubview(badge);
    auto alarm = std::make_shared<PointAnnotation>(kBerlin, "alarm");
    auto calm = std::make_shared<PointAnnotation>(Coordinate2D{52.5201, 13.4051}, "calm");
    map->addAnnotations({alarm, calm});
    auto alarmView = map->viewForAnnotation(alarm), calmView = map->viewForAnnotation(calm);
    ASSERT_TRUE(alarmView && calmView);
    const auto depth = [&](const View* v) {
        const auto& all = map->subviews();
        return std::find_if(all.begin(), all.end(), [&](const auto& s) { return s.get() == v; }) - all.begin();
    };
    alarmView->setZPriority(2);  // added first, drawn last of the pins
    EXPECT_LT(depth(calmView.get()), depth(alarmView.get()));
    EXPECT_LT(depth(alarmView.get()), depth(badge.get()));
    map->selectAnnotation(calm, false);  // the chosen pin above every other, still under the badge
    EXPECT_LT(depth(alarmView.get()), depth(calmView.get()));
    EXPECT_LT(depth(calmView.get()), depth(badge.get()));

    // A fitted rectangle lands inside the bounds less the padding, its centre in the middle of it.
    const MapRect rect = MapRect::make(1.0e8, 1.0e8, 4000, 1000);
    const EdgeInsets padding{70, 24, 24, 24};
    map->setVisibleMapRect(rect, padding, false);
    const MapRect shown = map->visibleMapRect();
    const double perPoint = shown.size.width / 320;
    EXPECT_NEAR((rect.minX() - shown.minX()) / perPoint, padding.left, 0.5);
    EXPECT_NEAR((shown.maxX() - rect.maxX()) / perPoint, padding.right, 0.5);
    EXPECT_GE((rect.minY() - shown.minY()) / perPoint, padding.top - 0.5);
    EXPECT_GE((shown.maxY() - rect.maxY()) / perPoint, padding.bottom - 0.5);
}

TEST_F(MapViewTest, SelectionShowsOneCalloutWhoseAccessoryReachesTheDelegate) {
    map->setRegion({kBerlin, {0.02, 0.02}}, false);
    auto a = std::make_shared<PointAnnotation>(kBerlin, "A", "first");
    auto b = std::make_shared<PointAnnotation>(Coordinate2D{52.521, 13.406}, "B");
    map->addAnnotations({a, b});
    ASSERT_TRUE(map->viewForAnnotation(a)->performTap());
    auto callout = map->viewForAnnotation(a)->callout();
    ASSERT_NE(callout, nullptr);
    EXPECT_EQ(callout->titleLabel().text(), "A");
    EXPECT_EQ(callout->subtitleLabel().text(), "first");

    map->selectAnnotation(b, false);
    EXPECT_EQ(map->viewForAnnotation(a)->callout(), nullptr);
    ASSERT_EQ(map->selectedAnnotations().size(), 1u);
    EXPECT_EQ(map->selectedAnnotations()[0], b);
    auto accessory = map->viewForAnnotation(b)->rightCalloutAccessoryView();
    ASSERT_TRUE(accessory->performTap());
    EXPECT_EQ(delegate->accessoryTaps, 1);
    EXPECT_NE(map->describe().find("Callout \"B\""), std::string::npos);
}

TEST_F(MapViewTest, ACalloutFitsItsTitleAndStaysOnTheMap) {
    map->setRegion({kBerlin, {0.02, 0.02}}, false);
    // A pin near the left edge with a long title.
    const Coordinate2D nearEdge = map->convertPointToCoordinate({12, map->bounds().height() / 2});
    auto a = std::make_shared<PointAnnotation>(nearEdge, "0.45 µSv/h Zurich Main Station by the river", "then");
    map->addAnnotation(a);
    auto view = map->viewForAnnotation(a);
    ASSERT_TRUE(view->performTap());
    auto callout = view->callout();
    ASSERT_NE(callout, nullptr);
    const Rect onMap = callout->convertRect(callout->bounds(), map.get());
    EXPECT_GE(onMap.x(), 0);
    EXPECT_LE(onMap.maxX(), map->bounds().width());
    EXPECT_GT(callout->frame().width(), 220);  // grown for the title, short of the map's width
    // The details button names itself, so that a person (or the driver) can find it.
    auto accessory = std::dynamic_pointer_cast<Button>(view->rightCalloutAccessoryView());
    ASSERT_NE(accessory, nullptr);
    EXPECT_EQ(accessory->displayText(), "More Info");

    // A pin just below the map's top edge: the map moves down until its bubble shows whole,
    // and the pin stays selected on screen.
    const Coordinate2D nearTop = map->convertPointToCoordinate({160, 40});
    auto b = std::make_shared<PointAnnotation>(nearTop, "0.45 µSv/h Bridge", "then");
    map->addAnnotation(b);
    map->selectAnnotation(b, false);
    auto top = map->viewForAnnotation(b);
    ASSERT_NE(top, nullptr);
    ASSERT_NE(top->callout(), nullptr);
    EXPECT_GE(top->callout()->convertRect(top->callout()->bounds(), map.get()).y(), 0);
    EXPECT_GT(map->convertCoordinateToPoint(nearTop).y, 40);
    EXPECT_EQ(map->selectedAnnotations(), std::vector<AnnotationPtr>{b});
}

TEST_F(MapViewTest, FollowingTheUserCentresOnEachFix) {
    map->setRegion({{0, 0}, {100, 100}}, false);
    map->setUserTrackingMode(UserTrackingMode::Follow, true);
    EXPECT_TRUE(map->showsUserLocation());
    EXPECT_NEAR(map->centerCoordinate().latitude, 0, 1e-9);  // no fix yet: the map stays
    EXPECT_TRUE(map->annotations().empty());

    map->updateUserLocation(Location(kBerlin.latitude, kBerlin.longitude));
    EXPECT_NEAR(map->centerCoordinate().latitude, kBerlin.latitude, 1e-9);
    EXPECT_TRUE(map->isUserLocationVisible());
    EXPECT_EQ(delegate->userUpdates, 1);
    EXPECT_LT(map->region().span.longitudeDelta, 0.1);  // zoomed in to the streets
    ASSERT_EQ(map->annotations().size(), 1u);
    EXPECT_EQ(map->annotations()[0], map->userLocation());
    EXPECT_NE(map->viewForAnnotation(map->userLocation()), nullptr);

    map->setUserTrackingMode(UserTrackingMode::None, false);
    map->updateUserLocation(Location(52.6, 13.5));
    EXPECT_NEAR(map->centerCoordinate().latitude, kBerlin.latitude, 1e-9);
    EXPECT_FALSE(map->isUserLocationVisible());
}

TEST_F(MapViewTest, ReportsLoadingOnceInAWindowAndAgainForANewMapType) {
    Window window(Rect{0, 0, 320, 480});
    window.addSubview(map);
    EXPECT_EQ(delegate->loadsStarted, 1);
    EXPECT_EQ(delegate->loadsFinished, 0);
    drain();
    EXPECT_EQ(delegate->loadsFinished, 1);
    map->setMapType(MapType::Hybrid);
    map->setMapType(MapType::Hybrid);
    drain();
    EXPECT_EQ(delegate->loadsStarted, 2);
    EXPECT_EQ(delegate->loadsFinished, 2);
    map->removeFromSuperview();
}

TEST_F(MapViewTest, OverlaysAreDrawnByTheirViewsAndRenderedUnderThePins) {
    map->setRegion({kBerlin, {0.02, 0.02}}, false);
    const Coordinate2D west{52.52, 13.40}, east{52.52, 13.41};
    auto line = Polyline::withCoordinates({west, east});
    auto circle = std::make_shared<Circle>(kBerlin, 100);
    map->addOverlays({line, circle});
    ASSERT_EQ(map->overlays().size(), 2u);
    EXPECT_NE(map->viewForOverlay(line), nullptr);
    EXPECT_EQ(map->viewForOverlay(circle), nullptr);  // the delegate gave it no view

    auto pin = std::make_shared<PointAnnotation>(Coordinate2D{52.515, 13.405}, "pin");
    map->addAnnotation(pin);
    map->viewForAnnotation(pin)->setMarkerColor(Color::green());

    const PixelImage img = map->renderImage();
    const Point onLine = map->convertCoordinateToPoint({52.52, 13.4075});
    const Color lineColor = img.pixel(static_cast<int>(onLine.x), static_cast<int>(onLine.y));
    EXPECT_GT(lineColor.r, 0.9);
    EXPECT_LT(lineColor.g, 0.1);
    const Rect pinFrame = map->viewForAnnotation(pin)->frame();
    const Color pinColor = img.pixel(static_cast<int>(pinFrame.midX()), static_cast<int>(pinFrame.minY() + 3));
    EXPECT_GT(pinColor.g, 0.5);
    EXPECT_LT(pinColor.r, 0.3);
    const Color ground = img.pixel(3, 470);
    EXPECT_GT(ground.r, 0.7);  // the light standard background

    const std::string text = map->describe();
    EXPECT_NE(text.find("Polyline 2 points stroke #FF0000 width 6"), std::string::npos) << text;
    EXPECT_NE(text.find("Pin \"pin\""), std::string::npos) << text;

    map->removeOverlays(map->overlays());
    EXPECT_TRUE(map->overlays().empty());
    EXPECT_EQ(map->viewForOverlay(line), nullptr);
    ASSERT_TRUE(map->renderToPng(dataDir() / "map.png"));
}

TEST_F(MapViewTest, CirclesAreDrawnToTheirRadiusOnTheGround) {
    // A delegate of its own: circles with a translucent blue fill.
    struct CircleDelegate : MapViewDelegate {
        OverlayViewPtr mapViewViewForOverlay(MapView&, const OverlayPtr& overlay) override {
            auto view = std::make_shared<CircleView>(std::dynamic_pointer_cast<Circle>(overlay));
            view->setFillColor(Color::rgba(0, 0, 1, 0.5));
            view->setStrokeColor(Color::rgba(0, 0, 1, 0.2));
            view->setLineWidth(1);
            return view;
        }
    };
    auto circles = std::make_shared<CircleDelegate>();
    map->setDelegate(circles);
    map->setRegion({kBerlin, {0.05, 0.05}}, false);
    auto circle = std::make_shared<Circle>(kBerlin, 1000);
    map->addOverlay(circle);
    // The bounding rectangle spans the radius both ways on the ground.
    const MapRect box = circle->boundingMapRect();
    const Coordinate2D east = coordinateForMapPoint({box.maxX(), box.midY()});
    EXPECT_NEAR(Location::distanceBetween(kBerlin, east), 1000, 10);

    const PixelImage img = map->renderImage();
    const Point centre = map->convertCoordinateToPoint(kBerlin);
    const Point edge = map->convertCoordinateToPoint(east);
    const double radius = edge.x - centre.x;
    ASSERT_GT(radius, 5);
    const Color inside = img.pixel(static_cast<int>(centre.x + radius * 0.7), static_cast<int>(centre.y));
    const Color outside = img.pixel(static_cast<int>(centre.x + radius * 1.3), static_cast<int>(centre.y));
    EXPECT_GT(inside.b, inside.r + 0.2);
    EXPECT_NEAR(outside.b, outside.r, 0.1);
    EXPECT_NE(map->describe().find("Circle radius 1000 m"), std::string::npos);
}
