#include "StoreTestSupport.h"

using namespace qx;

namespace qxtest {

TEST_F(StoreTest, SaveAndFetchBack) {
    auto day = makeSet(main(), plat::Date(1000));
    addPoint(main(), day, 0.5, plat::Date(1010), "A");
    addPoint(main(), day, 0.2, plat::Date(1020), "B");
    StoreError e;
    ASSERT_TRUE(main().save(&e)) << e.message;
    auto points = main().fetch<Waypoint>(FetchRequest::of<Waypoint>().sortedBy("measurement.date", false), &e);
    ASSERT_FALSE(e) << e.message;
    ASSERT_EQ(points.size(), 2u);
    EXPECT_EQ(points[0]->name(), "B");
    ASSERT_TRUE(points[1]->measurement()) << points[1]->objectID().description();
    EXPECT_DOUBLE_EQ(points[1]->measurement()->der(), 0.5);
    EXPECT_EQ(day->waypointsCount(), 2u);
}

}  // namespace qxtest
