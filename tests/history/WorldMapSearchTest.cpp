// The world map's search list (prefix search, deletion, change batches) and its review screen.
#include "HistoryTestSupport.h"
#include "history/WaypointTableCell.h"
#include "history/WorldMapReviewController.h"
#include "history/WorldMapSearchController.h"
#include "platform/ui/Label.h"
#include "platform/ui/UiFailure.h"

using namespace qx;
using namespace qxtest;

namespace {

class WorldMapSearchTest : public HistoryTest {
protected:
    void SetUp() override {
        HistoryTest::SetUp();
        registerWorldMapSearch();
        day = makeSet(today());
    }
    void TearDown() override {
        screen.reset();
        HistoryTest::TearDown();
    }

    std::shared_ptr<Waypoint> named(const char* name, double hours) {
        auto w = addPoint(day, 0.2, 1.0, at(hours));
        if (name) w->setName(std::string(name));
        return w;
    }
    void open() {
        screen = WorldMapSearchController::make();
        screen->searchTable()->numberOfSections();
    }
    std::vector<std::string> rows() {
        std::vector<std::string> names;
        auto table = screen->searchTable();
        for (long r = 0; r < table->numberOfRows(0); ++r) {
            auto cell = std::dynamic_pointer_cast<WaypointTableCell>(table->cellForRow({0, r}));
            names.push_back(cell && cell->waypoint() && cell->waypoint()->name() ? *cell->waypoint()->name() : "-");
        }
        return names;
    }
    // Stores `n` new waypoints in one save, as an import would.
    void storeMany(int n) {
        Store::defaultStore().saveWithBlock([n, dayRow = day->objectID().row](Context& c) {
            auto set = c.objectWithRow<Set>(dayRow);
            for (int i = 0; i < n; ++i) {
                auto m = c.insertNew<Measurement>();
                m->setDate(plat::Date::now().addingTimeInterval(i));
                auto w = c.insertNew<Waypoint>();
                m->setWaypoint(w);
                set->addMeasurementsObject(m);
                set->addWaypointsObject(w);
            }
        });
        drain();
    }

    std::shared_ptr<Set> day;
    std::shared_ptr<WorldMapSearchController> screen;
};

std::string text(WorldMapReviewController& review, const char* name) { return review.label(name)->text(); }

}  // namespace

TEST_F(WorldMapSearchTest, ListsNewestFirstAndNarrowsToCaseSensitivePrefixes) {
    named("Rhine bridge", 1);
    named("River bank", 3);
    named("river mouth", 2);
    named(nullptr, 4);
    save();
    open();
    EXPECT_EQ(rows(), (std::vector<std::string>{"-", "River bank", "river mouth", "Rhine bridge"}));
    auto bar = screen->searchBar();
    ASSERT_TRUE(bar->typeText("Ri"));
    EXPECT_EQ(rows(), (std::vector<std::string>{"River bank"}));
    ASSERT_TRUE(bar->replaceAllText("R"));
    EXPECT_EQ(rows(), (std::vector<std::string>{"River bank", "Rhine bridge"}));
    ASSERT_TRUE(bar->pressCancel());  // only closes the keyboard
    EXPECT_EQ(bar->text(), "R");
    EXPECT_EQ(rows().size(), 2u);
    ASSERT_TRUE(bar->replaceAllText(""));
    EXPECT_EQ(rows().size(), 4u);
    EXPECT_EQ(screen->searchTable()->cellForRow({0, 0})->frame().height(), WorldMapSearchController::kRowHeight);
}

TEST_F(WorldMapSearchTest, SwipeDeletesTheWaypointAndTheRowGoes) {
    named("Keep", 1);
    auto gone = named("Gone", 2);
    save();
    open();
    ASSERT_TRUE(screen->searchTable()->swipeToDelete({0, 0}));
    drain();
    EXPECT_EQ(rows(), (std::vector<std::string>{"Keep"}));
    EXPECT_EQ(main().count(FetchRequest::of<Waypoint>()), 1u);
}

TEST_F(WorldMapSearchTest, FiftyChangesAnimateAndFiftyOneReload) {
    save();
    open();
    auto table = screen->searchTable();
    table->clearUpdateLog();
    storeMany(50);
    ASSERT_FALSE(table->updateLog().empty());
    EXPECT_EQ(table->updateLog().front().kind, plat::TableUpdate::Kind::InsertRows);
    EXPECT_EQ(table->updateLog().front().rows.size(), 50u);
    EXPECT_EQ(table->updateLog().front().animation, plat::RowAnimation::Right);
    table->clearUpdateLog();
    // More than fifty: the table is reloaded, and the counts it reads afterwards agree.
    storeMany(51);
    ASSERT_EQ(table->updateLog().size(), 1u);
    EXPECT_EQ(table->updateLog().front().kind, plat::TableUpdate::Kind::ReloadData);
    EXPECT_EQ(table->numberOfRows(0), 101);
}

// A search over many waypoints makes cells for the rows in view and holds a few batches of
// waypoints; scrolling to the end shows the oldest, and a deletion there still reaches its row.
TEST_F(WorldMapSearchTest, ALongListHoldsOnlyWhatIsInViewAndReachesItsEnd) {
    named("Oldest", 0);
    save();
    storeMany(600);
    open();
    auto table = screen->searchTable();
    ASSERT_EQ(table->numberOfRows(0), 601);
    EXPECT_LT(table->visibleCells().size(), 20u);
    EXPECT_EQ(table->loadedCellForRow({0, 300}), nullptr);
    EXPECT_LE(screen->search()->heldWaypoints(), WaypointSearch::kHeldPages * WaypointSearch::kPageSize);

    table->scrollToRow({0, 600}, plat::ScrollPosition::Bottom, false);
    auto last = std::dynamic_pointer_cast<WaypointTableCell>(table->cellForRow({0, 600}));
    ASSERT_TRUE(last && last->waypoint());
    EXPECT_EQ(last->waypoint()->name(), "Oldest");
    EXPECT_LE(screen->search()->heldWaypoints(), WaypointSearch::kHeldPages * WaypointSearch::kPageSize);

    ASSERT_TRUE(table->swipeToDelete({0, 600}));
    drain();
    EXPECT_EQ(table->numberOfRows(0), 600);
    EXPECT_EQ(main().count(FetchRequest::of<Waypoint>().where(Key("name") == "Oldest")), 0u);
}

TEST_F(WorldMapSearchTest, ReviewShowsHemispheresAndNoFixAsNotAvailable) {
    struct Case {
        double lat, lon, alt;
        const char* latitude;
        const char* longitude;
        const char* altitude;
    };
    const Case cases[] = {
        {51.5, -0.1275, 112.9, "51.5000\u00b0 North", "0.1275\u00b0 West", "112"},
        {-33.9, -70.6, 112.9, "33.9000\u00b0 South", "70.6000\u00b0 West", "112"},
        {0.0, 0.0, 112.9, "0.0000\u00b0 North", "0.0000\u00b0 East", "112"},
        {-1.0, 5.0, 112.9, "1.0000\u00b0 South", "5.0000\u00b0 East", "112"},  // only the pair -1, -1 has no fix
        {-1.0, -1.0, -1.0, "n/a", "n/a", "n/a"},
        // A position without a height (stored as -1) or with one that is no number.
        {48.1, 11.5, -1.0, "48.1000\u00b0 North", "11.5000\u00b0 East", "n/a"},
        {48.1, 11.5, std::numeric_limits<double>::quiet_NaN(), "48.1000\u00b0 North", "11.5000\u00b0 East", "n/a"},
    };
    for (const auto& c : cases) {
        auto w = addPoint(day, 0.25, 1.0, at(1), nullptr, "VN2340A");
        w->setLatitude(c.lat);
        w->setLongitude(c.lon);
        w->setAltitude(c.alt);
        w->measurement()->setVariation(12.7);
        auto review = WorldMapReviewController::make();
        review->setWaypoint(w);
        EXPECT_EQ(text(*review, "latitudeLabel"), c.latitude) << c.lat;
        EXPECT_EQ(text(*review, "longitudeLabel"), c.longitude) << c.lon;
        EXPECT_EQ(text(*review, "altitudeLabel"), c.altitude) << c.lat << " " << c.alt;
        EXPECT_EQ(text(*review, "userVariationValueLabel"), "12%");
        EXPECT_EQ(text(*review, "detectorLabel"), "Scintillation Detector");
    }
    auto plain = addPoint(day, 0.25, 1.0, at(1), nullptr, "VN2110BT");
    auto review = WorldMapReviewController::make();
    review->setWaypoint(plain);
    EXPECT_EQ(text(*review, "userVariationValueLabel"), "n/a");
    EXPECT_EQ(text(*review, "detectorLabel"), "Geiger-Muller Tube");
    EXPECT_EQ(text(*review, "userUnitsLabel"), "\u00b5Sv/h");
    EXPECT_EQ(review->title(), "Waypoint");

    // Out-of-range numbers print as they are rather than overflowing a conversion.
    plain->setLatitude(10);
    plain->setLongitude(10);
    plain->setAltitude(-0.4);
    plain->measurement()->setVariation(1e30);
    review->setWaypoint(plain);
    EXPECT_EQ(text(*review, "altitudeLabel"), "0");
    EXPECT_EQ(text(*review, "userVariationValueLabel"), "1000000000000000019884624838656%");

    switchLanguage("de");
    review->setWaypoint(plain);
    EXPECT_EQ(text(*review, "detectorLabel"), "Geiger-Müller-Zählrohr");
}

TEST_F(WorldMapSearchTest, SelectingARowOpensItsReview) {
    auto w = named("Bridge", 1);
    w->setLatitude(48.85);
    w->setLongitude(2.35);
    save();
    open();
    ASSERT_TRUE(screen->searchTable()->userSelectRow({0, 0}));
    auto review = std::dynamic_pointer_cast<WorldMapReviewController>(screen->presentedViewController());
    ASSERT_NE(review, nullptr);
    EXPECT_EQ(review->waypoint(), w);
    EXPECT_EQ(text(*review, "latitudeLabel"), "48.8500\u00b0 North");
    EXPECT_EQ(review->modalTransitionStyle(), plat::TransitionStyle::FlipHorizontal);
    EXPECT_EQ(review->reviewTable()->numberOfRows(0), 4);
}
