// Pins, path segments and the geodesy they stand on.
#include <cmath>

#include "MapsTestSupport.h"
#include "maps/MapHelper.h"
#include "maps/MapZoomLevel.h"
#include "maps/MapsLayer.h"
#include "maps/WaypointAnnotation.h"
#include "model/DateStrings.h"
#include "platform/map/MapView.h"

using namespace qx;
using namespace mapstest;

namespace {
using PinTest = MapsTest;
using PathTest = MapsTest;
}  // namespace

TEST(MapHelper, MeasuresOnItsOwnSphere) {
    EXPECT_EQ(MapHelper::distanceFrom(kBerlin, kBerlin), 0.0);
    EXPECT_EQ(MapHelper::distanceFrom({-33.8688, 151.2093}, {-33.8688, 151.2093}), 0.0);
    EXPECT_NEAR(MapHelper::distanceFrom({10, 20}, {11, 20}), 111151, 1);
    EXPECT_NEAR(MapHelper::distanceFrom({0, 0}, {0, 180}), 6368500.0 * 3.141592653589793, 1e-3);
    const auto p = MapHelper::mapPointFromLatitudeAndLongitude(kBerlin.latitude, kBerlin.longitude);
    EXPECT_EQ(p, plat::mapPointForCoordinate(kBerlin));
}

TEST(MapZoomLevel, FollowsTheSpanAndWidthUnclamped) {
    plat::MapView map(plat::Rect{0, 0, 320, 480});
    map.setRegion({{0, 0}, {170, 360}}, false);
    const double expected = 21 - std::log2(360 * 85445659.44705395 * 3.141592653589793 / 57600);
    EXPECT_NEAR(getZoomLevel(map), expected, 1e-9);
    EXPECT_NEAR(getZoomLevel(map), 0.32, 0.01);
    // Each halving of the span adds one level, past 21 when zoomed in far enough.
    map.setRegion({kBerlin, {0.001, 0.01}}, false);
    const double z = getZoomLevel(map);
    map.setRegion({kBerlin, {0.001, 0.005}}, false);
    EXPECT_NEAR(getZoomLevel(map), z + 1, 1e-6);
    map.setRegion({kBerlin, {0.00001, 0.00001}}, false);
    EXPECT_GT(getZoomLevel(map), 21);
}

TEST_F(PinTest, ColourClassComesFromTheOwnDoseRateAndEqualIsNotAbove) {
    struct Case {
        double der;
        long expected;
    } cases[] = {{0.1, 0}, {kFirst, 0}, {0.31, 1}, {kSecond, 1}, {1.21, 2}, {0, 0}};
    for (const auto& c : cases) {
        WaypointAnnotation pin(point(c.der, kBerlin));
        EXPECT_EQ(pin.pinColor(), c.expected) << c.der;
    }
}

TEST_F(PinTest, TitleHasTheValueUnitAndNameSubtitleTheDate) {
    auto unnamed = point(0.25, kBerlin);
    WaypointAnnotation a(unnamed);
    const DoseUnit unit(0.25);
    const std::string valueAndUnit = unit.stringValue() + " " + unit.unitString(DoseUnit::doseRateKind);
    EXPECT_EQ(a.title(), valueAndUnit);
    EXPECT_EQ(a.subtitle(), DateStrings::dateTimeShortStr(unnamed->measurement()->date()));
    EXPECT_EQ(a.coordinate(), kBerlin);
    EXPECT_EQ(a.pointOnMap(), (plat::Point{0, 0}));

    EXPECT_EQ(WaypointAnnotation(point(0.25, kBerlin, 0, "Gate")).title(), valueAndUnit + " Gate");
    // An empty name is no name.
    EXPECT_EQ(WaypointAnnotation(point(0.25, kBerlin, 0, "")).title(), valueAndUnit);

    // Applying the waypoint again after it changed refreshes every field.
    unnamed->measurement()->setDer(2);
    unnamed->setName(std::string("Hot"));
    a.applyWaypoint(unnamed);
    EXPECT_EQ(a.pinColor(), 2);
    EXPECT_NE(a.title().find(" Hot"), std::string::npos);
}

TEST_F(PinTest, AWaypointWithoutAReadingStillMakesAPin) {
    auto w = main().insertNew<Waypoint>();
    w->setLatitude(1);
    w->setLongitude(2);
    WaypointAnnotation pin(w);
    EXPECT_EQ(pin.pinColor(), 0);
    EXPECT_EQ(pin.subtitle(), "");
    EXPECT_EQ(pin.title(), DoseUnit(0).stringValue() + " " + DoseUnit(0).unitString(DoseUnit::doseRateKind));
}

TEST_F(PinTest, ScreenPointSnapsToTheTenPointGridHalvesAwayFromZero) {
    EXPECT_EQ(WaypointAnnotation::snapToGrid({15, -15}), (plat::Point{20, -20}));
    EXPECT_EQ(WaypointAnnotation::snapToGrid({14.9, 4.99}), (plat::Point{10, 0}));
    EXPECT_EQ(WaypointAnnotation::snapToGrid({-4.9, 25.1}), (plat::Point{0, 30}));

    plat::MapView map(plat::Rect{0, 0, 320, 480});
    map.setRegion({kBerlin, {0.01, 0.01}}, false);
    WaypointAnnotation pin(point(0.1, kBerlin));
    pin.updatePointOnMap(map);
    EXPECT_EQ(pin.pointOnMap(), (plat::Point{160, 240}));
}

TEST_F(PathTest, FewerThanTwoPointsGiveNoPath) {
    auto track = main().insertNew<Track>();
    TrackPath empty(track);
    EXPECT_FALSE(empty.pathForTrack().has_value());
    point(0.1, kBerlin, 0, nullptr, track);
    empty.updatePath();
    EXPECT_FALSE(empty.pathForTrack().has_value());
    EXPECT_FALSE(TrackPath(nullptr).pathForTrack().has_value());
}

TEST_F(PathTest, SegmentsJoinPointsInDateOrderColouredByTheHigherEnd) {
    auto track = main().insertNew<Track>();
    const plat::Coordinate2D a{52.50, 13.40}, b{52.51, 13.41}, c{52.52, 13.42}, d{52.53, 13.43};
    // Stored out of date order: c, a, d, b.
    point(kFirst, c, 20, nullptr, track);
    point(0.1, a, 0, nullptr, track);
    point(1.5, d, 30, nullptr, track);
    point(kFirst, b, 10, nullptr, track);
    TrackPath path(track);
    ASSERT_TRUE(path.pathForTrack().has_value());
    const auto& segments = *path.pathForTrack();
    ASSERT_EQ(segments.size(), 3u);
    const plat::Coordinate2D order[] = {a, b, c, d};
    for (std::size_t i = 0; i < 3; ++i) {
        ASSERT_EQ(segments[i]->pointCount(), 2u);
        EXPECT_EQ(segments[i]->points()[0], plat::mapPointForCoordinate(order[i]));
        EXPECT_EQ(segments[i]->points()[1], plat::mapPointForCoordinate(order[i + 1]));
    }
    EXPECT_EQ(segments[0]->lineColor(), plat::Color::green());  // 0.1 and exactly the first threshold
    EXPECT_EQ(segments[1]->lineColor(), plat::Color::green());  // both exactly at the first threshold
    EXPECT_EQ(segments[2]->lineColor(), plat::Color::red());    // one end above the second

    // Nothing new keeps the segments; a point dated in the middle rebuilds them in date order.
    const auto first = segments[0];
    path.updatePath();
    EXPECT_EQ((*path.pathForTrack())[0], first);
    point(0.1, {52.505, 13.405}, 5, nullptr, track);
    path.updatePath();
    ASSERT_EQ(path.pathForTrack()->size(), 4u);
    EXPECT_NE((*path.pathForTrack())[0], first);
    EXPECT_EQ((*path.pathForTrack())[1]->points()[0], plat::mapPointForCoordinate({52.505, 13.405}));
}

TEST_F(PathTest, OrangeBetweenThresholdsAndPointsWithoutAFixLeftOut) {
    auto track = main().insertNew<Track>();
    point(0.5, {52.50, 13.40}, 0, nullptr, track);
    auto unfixed = point(5, {0, 0}, 5, nullptr, track);
    unfixed->setLatitude(Waypoint::kNoFix);
    unfixed->setLongitude(Waypoint::kNoFix);
    point(kSecond, {52.51, 13.41}, 10, nullptr, track);
    TrackPath path(track);
    ASSERT_TRUE(path.pathForTrack().has_value());
    ASSERT_EQ(path.pathForTrack()->size(), 1u);
    EXPECT_EQ((*path.pathForTrack())[0]->lineColor(), plat::Color::orange());
}

TEST_F(PathTest, CurrentPathFollowsAStartedTrack) {
    registerMapsLayer();
    EXPECT_EQ(TrackPath::getCurrentTrackPath(), nullptr);
    auto track = Track::startTrack();
    auto path = TrackPath::getCurrentTrackPath();
    ASSERT_NE(path, nullptr);
    EXPECT_EQ(path->track(), track);
    EXPECT_FALSE(path->pathForTrack().has_value());

    point(0.1, {52.50, 13.40}, 0, nullptr, track);
    point(0.2, {52.51, 13.41}, 10, nullptr, track);
    path->updatePath();
    ASSERT_TRUE(path->pathForTrack().has_value());
    EXPECT_EQ(path->pathForTrack()->size(), 1u);

    // A second recording replaces the path; clearing drops it.
    Track::setCurrentTrack(nullptr);
    auto next = Track::startTrack();
    EXPECT_EQ(TrackPath::getCurrentTrackPath()->track(), next);
    TrackPath::setCurrentTrackPath(nullptr);
    EXPECT_EQ(TrackPath::getCurrentTrackPath(), nullptr);
}
