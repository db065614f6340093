#include <gtest/gtest.h>

#include <cmath>

#include "platform/map/Location.h"
#include "platform/map/MapGeometry.h"

using namespace plat;

TEST(MapGeometry, ProjectsTheWorldOntoASquareOf2To28Points) {
    EXPECT_EQ(mapPointForCoordinate({0, 0}), (MapPoint{kMapWorldWidth / 2, kMapWorldWidth / 2}));
    const auto northWest = mapPointForCoordinate({85.05112878, -180});
    EXPECT_NEAR(northWest.x, 0, 1e-6);
    EXPECT_NEAR(northWest.y, 0, 1.0);
    const auto southEast = mapPointForCoordinate({-85.05112878, 180});
    EXPECT_NEAR(southEast.x, kMapWorldWidth, 1e-6);
    EXPECT_NEAR(southEast.y, kMapWorldWidth, 1.0);
    // Beyond the edges the projection clamps rather than running off to infinity.
    EXPECT_TRUE(std::isfinite(mapPointForCoordinate({90, 0}).y));
    EXPECT_NEAR(mapPointForCoordinate({90, 0}).y, 0, 1.0);
    // North is up: a higher latitude has a smaller y.
    EXPECT_LT(mapPointForCoordinate({51.5, 0}).y, mapPointForCoordinate({48.1, 0}).y);
}

TEST(MapGeometry, CoordinatesSurviveTheRoundTrip) {
    for (const Coordinate2D c : {Coordinate2D{51.5, -0.1275}, Coordinate2D{-33.9, -70.6}, Coordinate2D{35.68, 139.77},
                                 Coordinate2D{0, 0}, Coordinate2D{-1, -1}}) {
        const auto back = coordinateForMapPoint(mapPointForCoordinate(c));
        EXPECT_NEAR(back.latitude, c.latitude, 1e-9);
        EXPECT_NEAR(back.longitude, c.longitude, 1e-9);
    }
}

TEST(MapGeometry, RectangleOperations) {
    const auto a = MapRect::make(0, 0, 10, 10), b = MapRect::make(20, 5, 10, 10);
    EXPECT_EQ(a.unionWith(b), MapRect::make(0, 0, 30, 15));
    EXPECT_EQ(MapRect::null().unionWith(a), a);
    EXPECT_EQ(a.unionWith(MapRect::null()), a);
    EXPECT_TRUE(MapRect::null().isNull());
    EXPECT_TRUE(MapRect::null().isEmpty());
    EXPECT_TRUE(MapRect::make(5, 5, 0, 0).isEmpty());
    EXPECT_FALSE(MapRect::make(5, 5, 0, 0).isNull());

    EXPECT_EQ(a.insetBy(2, 3), MapRect::make(2, 3, 6, 4));
    EXPECT_EQ(a.insetBy(-1, -1), MapRect::make(-1, -1, 12, 12));
    EXPECT_TRUE(a.insetBy(6, 0).isNull());  // inset past its own size

    EXPECT_TRUE(a.containsPoint({0, 0}));
    EXPECT_FALSE(a.containsPoint({10, 5}));  // the far edges are outside
    EXPECT_TRUE(a.containsRect(MapRect::make(1, 1, 9, 9)));
    EXPECT_FALSE(a.containsRect(MapRect::make(1, 1, 10, 9)));
    EXPECT_FALSE(a.intersects(b));
    EXPECT_TRUE(a.intersects(MapRect::make(9, 9, 5, 5)));
    EXPECT_FALSE(a.intersects(MapRect::make(10, 0, 5, 5)));  // touching is not overlapping
    EXPECT_FALSE(a.intersects(MapRect::null()));
    EXPECT_DOUBLE_EQ(b.midX(), 25);
    EXPECT_DOUBLE_EQ(b.maxY(), 15);
}

TEST(Location, GreatCircleDistance) {
    const Location london(51.5, -0.1275), same(51.5, -0.1275);
    EXPECT_EQ(london.distanceFromLocation(same), 0);
    // One degree of latitude along a meridian on the mean-radius sphere.
    EXPECT_NEAR(Location::distanceBetween({10, 20}, {11, 20}), 111195.08, 0.1);
    // London to Paris, about 343.5 km.
    EXPECT_NEAR(london.distanceFromLocation(Location(48.8566, 2.3522)), 343500, 1500);
    // Antipodes: half the circumference, no NaN from rounding.
    const double half = Location::distanceBetween({0, 0}, {0, 180});
    EXPECT_NEAR(half, Location::kEarthMeanRadius * M_PI, 1e-3);
    // A fix without speed or course says so with negative values.
    EXPECT_LT(london.speed(), 0);
    EXPECT_LT(london.course(), 0);
}
