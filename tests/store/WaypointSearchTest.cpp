// The waypoints whose names begin with a text, newest reading first, counted at once and read a
// page at a time.
#include "StoreTestSupport.h"
#include "store/WaypointSearch.h"

using namespace qx;
using namespace qxtest;

namespace {

class WaypointSearchTest : public StoreTest {
protected:
    void SetUp() override {
        StoreTest::SetUp();
        day = makeSet(main(), plat::Date(86400));
    }
    std::shared_ptr<Waypoint> point(const std::string& name, double seconds) {
        return addPoint(main(), day, 0.1, plat::Date(86400 + seconds), name.c_str());
    }
    // A waypoint stored without a reading.
    std::shared_ptr<Waypoint> unread(const std::string& name) {
        auto w = main().insertNew<Waypoint>();
        w->setName(name);
        day->addWaypointsObject(w);
        return w;
    }
    static std::vector<std::string> names(WaypointSearch& search) {
        std::vector<std::string> out;
        for (std::size_t i = 0; i < search.count(); ++i) {
            auto w = search.waypointAt(i);
            out.push_back(w && w->name() ? *w->name() : "-");
        }
        return out;
    }
    std::shared_ptr<Set> day;
};

TEST_F(WaypointSearchTest, NewestFirstTiesInStoredOrderUnreadLastAndPrefixesByteForByte) {
    point("Alpha", 10);
    point("Alps", 30);
    point("Alm", 30);  // the same time as Alps, stored after it
    point("alpine", 20);
    point("Zürich", 5);
    unread("Alte");
    ASSERT_TRUE(main().save());
    const std::vector<std::pair<std::string, std::vector<std::string>>> cases{
        {"", {"Alps", "Alm", "alpine", "Alpha", "Zürich", "Alte"}},
        {"Al", {"Alps", "Alm", "Alpha", "Alte"}},
        {"Alp", {"Alps", "Alpha"}},
        {"alp", {"alpine"}},
        {"Z", {"Zürich"}},
        {"Zü", {"Zürich"}},  // a letter of two bytes: the range ends after its second byte
        {"Zu", {}},
        {"Alpha beta", {}},
    };
    for (const auto& [prefix, want] : cases) {
        WaypointSearch search(main(), prefix);
        EXPECT_EQ(search.count(), want.size()) << prefix;
        EXPECT_EQ(names(search), want) << prefix;
        EXPECT_EQ(search.waypointAt(want.size()), nullptr) << prefix;
        for (std::size_t i = 0; i < want.size(); ++i) {
            const auto row = search.waypointAt(i)->objectID().row;
            EXPECT_EQ(search.heldIndexOf(row), i) << prefix;
            // Unread waypoints have no place found by their reading.
            if (want[i] != "Alte") {
                EXPECT_EQ(search.indexOf(row), i) << prefix;
            }
        }
    }
}

// More matches than are ordered at once are read along the readings' dates: the same order,
// also past the waypoints with readings, and only a few pages are held.
TEST_F(WaypointSearchTest, ManyMatchesReadAlongTheDatesInTheSameOrder) {
    const int n = static_cast<int>(WaypointSearch::kFewMatches) + 150;
    std::vector<std::string> newestFirst;
    for (int i = 0; i < n; ++i) point("P " + std::to_string(i), i / 2);  // pairs of equal times
    for (int i = n - 1; i >= 0; --i) newestFirst.push_back("P " + std::to_string(i - (i % 2 ? 1 : -1)));
    unread("P unread");
    newestFirst.push_back("P unread");
    point("Q", 1);
    ASSERT_TRUE(main().save());

    WaypointSearch many(main(), "P");
    ASSERT_GT(many.count(), WaypointSearch::kFewMatches);
    EXPECT_EQ(names(many), newestFirst);
    EXPECT_LE(many.heldWaypoints(), WaypointSearch::kHeldPages * WaypointSearch::kPageSize);
    // Straight to the last page: the unread waypoint comes after every reading.
    WaypointSearch jump(main(), "P");
    EXPECT_EQ(*jump.waypointAt(jump.count() - 1)->name(), "P unread");

    // Fewer matches, ordered at once, agree with the same list.
    WaypointSearch few(main(), "P 1");
    ASSERT_LE(few.count(), WaypointSearch::kFewMatches);
    std::vector<std::string> want;
    for (const auto& name : newestFirst)
        if (name.rfind("P 1", 0) == 0) want.push_back(name);
    EXPECT_EQ(names(few), want);

    // Read again after a save, the list follows it.
    main().deleteObject(many.waypointAt(0));
    ASSERT_TRUE(main().save());
    many.refresh();
    EXPECT_EQ(many.count(), newestFirst.size() - 1);
    EXPECT_EQ(*many.waypointAt(0)->name(), newestFirst[1]);
}

}  // namespace
