#include <type_traits>

#include "DetailsTestSupport.h"
#include "dashboard/VNSegmentedControlView.h"
#include "history/SetDetailsController.h"
#include "history/TrackTableCell.h"
#include "history/VNTrackDetailsViewController.h"
#include "history/VNWaypointDetailsViewController.h"
#include "history/WaypointTableCell.h"
#include "model/DoseUnit.h"
#include "platform/ui/TableView.h"

using namespace qx;

namespace qxtest {

// A row can only come from its make(): every row has its controls.
static_assert(!std::is_constructible_v<WaypointTableCell, plat::CellStyle, std::string>);
static_assert(!std::is_constructible_v<TrackTableCell, plat::CellStyle, std::string>);

class SetDetailsTest : public DetailsTest {
protected:
    // Two tracks, five free waypoints (dose rates 0.1 to 0.5, the newest last) and three
    // history readings.
    void SetUp() override {
        DetailsTest::SetUp();
        day = makeSet(today());
        for (int t = 0; t < 2; ++t) {
            auto track = makeTrack(day, at(1 + t));
            addPoint(nullptr, t == 0 ? 0.1 : 0.9, 1, at(1.5 + t), track);
        }
        for (int i = 0; i < 5; ++i) points.push_back(addPoint(day, 0.1 * (i + 1), 1, at(10 + i)));
        for (int i = 0; i < 3; ++i) addReading(day, 0.2, at(20 + i));
        save();
    }

    std::shared_ptr<SetDetailsController> open() {
        auto screen = SetDetailsController::make();
        present(screen);
        screen->setSet(day);
        return screen;
    }

    static std::vector<long> rowCounts(SetDetailsController& screen) {
        auto table = screen.tableView();
        std::vector<long> counts;
        for (long s = 0; s < table->numberOfSections(); ++s) counts.push_back(table->numberOfRows(s));
        return counts;
    }

    static HistoryTableCell& row(SetDetailsController& screen, const plat::IndexPath& ip) {
        return dynamic_cast<HistoryTableCell&>(*screen.tableView()->cellForRow(ip));
    }
    static void tapMark(SetDetailsController& screen, const plat::IndexPath& ip) {
        row(screen, ip).checkButton()->performTap();
    }
    static bool marked(SetDetailsController& screen, const plat::IndexPath& ip) {
        return row(screen, ip).checkButton()->checked();
    }

    std::shared_ptr<Waypoint> waypointAt(SetDetailsController& screen, long row) {
        auto cell = std::dynamic_pointer_cast<WaypointTableCell>(
            screen.tableView()->cellForRow({screen.waypointsSection(), row}));
        return cell ? cell->waypoint() : nullptr;
    }

    std::shared_ptr<Set> day;
    std::vector<std::shared_ptr<Waypoint>> points;
};

TEST_F(SetDetailsTest, ListsComeInTheirOrderAndTheSwitchHidesAndShowsThem) {
    auto screen = open();
    auto table = screen->tableView();
    EXPECT_EQ(screen->title(), DateStrings::dateStr(today()));
    EXPECT_EQ(rowCounts(*screen), (std::vector<long>{2, 5, 3}));
    EXPECT_EQ(table->rectForRow({0, 0}).height(), 102);
    EXPECT_EQ(table->rectForRow({1, 0}).height(), 67);
    EXPECT_EQ(table->rectForRow({2, 0}).height(), 57);
    EXPECT_EQ(table->headerView(0)->frame().height(), 23);
    EXPECT_EQ(screen->tracksHeaderLabel()->text(), "Tracks: ");

    auto& control = *screen->segmentedControlView();
    control.leftButton().performTap();  // tracks off: measurements first, then waypoints
    EXPECT_EQ(screen->options(), 13u);
    EXPECT_EQ(rowCounts(*screen), (std::vector<long>{3, 5}));
    EXPECT_EQ(screen->measuresSection(), 0);
    EXPECT_EQ(screen->waypointsSection(), 1);
    EXPECT_EQ(screen->tracksSection(), SetDetailsController::kHidden);
    control.centerButton().performTap();
    control.rightButton().performTap();
    EXPECT_EQ(table->numberOfSections(), 0);
    for (auto* b : {&control.leftButton(), &control.centerButton(), &control.rightButton()}) b->performTap();
    EXPECT_EQ(rowCounts(*screen), (std::vector<long>{2, 5, 3}));
    EXPECT_EQ(screen->tracksSection(), 0);
}

TEST_F(SetDetailsTest, HistoryFiltersSelectEachListAndNameThemselvesInTheHeaders) {
    Settings& settings = Settings::sharedSettings();
    settings.DERthreshold().firstThreshold->setValue(0.35);
    settings.setHistoryFilterAlarmsOnly(true);
    points[4]->measurement()->setUploaded(true);
    save();
    settings.setHistoryFilterNotUploaded(true);
    auto screen = open();
    // One track has a point above the threshold; of the waypoints 0.4 and 0.5 are above it,
    // and 0.5 was uploaded (a waypoint goes by its reading's flag); no history reading is.
    EXPECT_EQ(rowCounts(*screen), (std::vector<long>{1, 1, 0}));
    EXPECT_EQ(waypointAt(*screen, 0), points[3]);
    EXPECT_EQ(screen->waypointsHeaderLabel()->text(), "Waypoints: Alarms Only,Not Uploaded");

    // Both limits on the day itself: the upper limit excludes its own day.
    settings.setHistoryFilterAlarmsOnly(false);
    settings.setHistoryFilterNotUploaded(false);
    settings.setHistoryDayFrom(true);
    settings.setHistoryDaysTo(true);
    settings.setHistoryDateFrom(at(12));
    settings.setHistoryDateTo(at(12));
    screen->updateData();
    EXPECT_EQ(rowCounts(*screen), (std::vector<long>{0, 0, 0}));
    const std::string day = DateStrings::dateStr(at(12));
    EXPECT_EQ(screen->measuresHeaderLabel()->text(), "Measurements:  " + day + " - " + day);
    settings.setHistoryDaysTo(false);
    screen->updateData();
    EXPECT_EQ(screen->tracksHeaderLabel()->text(), "Tracks:  after " + day);

    // Sorting by name puts the readings, which have none, newest first.
    settings.setHistoryDayFrom(false);
    settings.setHistorySortMode(2);
    screen->updateData();
    const auto readings = screen->measurementsFetchController()->fetchedObjects();
    ASSERT_EQ(readings.size(), 3u);
    EXPECT_EQ(std::static_pointer_cast<Measurement>(readings.front())->date(), at(22));
}

TEST_F(SetDetailsTest, MarksFollowTheirRecordsAndOnlyShownListsAreShared) {
    auto screen = open();
    // Newest first: row 0 is the 0.5 waypoint.
    tapMark(*screen, {1, 0});
    EXPECT_TRUE(screen->isMarked(*points[4]));

    // A newer waypoint takes row 0: the mark stays with its record, now on row 1.
    addPoint(day, 0.05, 1, at(15));
    save();
    EXPECT_EQ(rowCounts(*screen), (std::vector<long>{2, 6, 3}));
    EXPECT_FALSE(marked(*screen, {1, 0}));
    EXPECT_TRUE(marked(*screen, {1, 1}));

    tapMark(*screen, {0, 1});
    screen->share();
    // The marked track gives its waypoints, the marked waypoint itself; every channel offered.
    ASSERT_EQ(shared.size(), 2u);
    EXPECT_EQ(shared.back(), points[4]);
    EXPECT_EQ(sharedOptions, 15u);

    // Hidden lists are not shared.
    screen->segmentedControlView()->centerButton().performTap();
    screen->segmentedControlView()->leftButton().performTap();
    tapMark(*screen, {0, 2});
    screen->share();
    ASSERT_EQ(shared.size(), 1u);
    EXPECT_TRUE(std::dynamic_pointer_cast<Measurement>(shared.front()));
    shareDone();
    EXPECT_FALSE(screen->isMarked(*points[4]));

    screen->share();  // nothing marked: an empty list, every channel offered
    EXPECT_TRUE(shared.empty());
    EXPECT_EQ(sharedOptions, 15u);
}

TEST_F(SetDetailsTest, StoreChangesKeepTheTableInStepWithTheLists) {
    Settings::sharedSettings().setHistorySortMode(1);  // waypoints by dose rate
    auto screen = open();
    auto table = screen->tableView();
    ASSERT_EQ(waypointAt(*screen, 0), points[4]);

    // A move: the lowest reading becomes the highest; its row goes to the top, with its figures.
    points[0]->measurement()->setDer(2.0);
    save();
    EXPECT_EQ(waypointAt(*screen, 0), points[0]);
    auto top = std::dynamic_pointer_cast<WaypointTableCell>(table->cellForRow({1, 0}));
    EXPECT_EQ(top->DERValueLabel()->text(), DoseUnit(2.0).stringValue() + " µSv/h");

    // Changes of a hidden list reach the table when it is shown again; the row counts always
    // match the lists (the table reports any mismatch as a failure).
    screen->segmentedControlView()->centerButton().performTap();
    addPoint(day, 0.3, 1, at(16));
    main().deleteObject(points[1]);
    save();
    EXPECT_EQ(rowCounts(*screen), (std::vector<long>{3, 2}));
    screen->segmentedControlView()->centerButton().performTap();
    EXPECT_EQ(rowCounts(*screen), (std::vector<long>{2, 5, 3}));
}

TEST_F(SetDetailsTest, ManageModeRenamesAndASwipeDeletes) {
    auto screen = open();
    auto table = screen->tableView();
    screen->manage();
    EXPECT_TRUE(table->isEditing());
    auto row = std::dynamic_pointer_cast<WaypointTableCell>(table->cellForRow({1, 0}));
    ASSERT_FALSE(row->accessoryButton()->isHidden());
    row->accessoryButton()->performTap();
    ASSERT_TRUE(row->nameTextField()->isFirstResponder());
    row->nameTextField()->setText("Ridge");
    screen->cellDidEndEditing();
    drain();
    EXPECT_EQ(points[4]->name(), std::optional<std::string>("Ridge"));
    EXPECT_EQ(waypointAt(*screen, 0), points[4]);
    const std::string shown =
        std::dynamic_pointer_cast<WaypointTableCell>(table->cellForRow({1, 0}))->nameTextField()->text();
    EXPECT_EQ(shown.rfind("Ridge ", 0), 0u) << shown;

    // A track is renamed the same way; a reading row has no name to store.
    auto trackRow = std::dynamic_pointer_cast<TrackTableCell>(table->cellForRow({0, 0}));
    trackRow->accessoryButton()->performTap();
    trackRow->nameTextField()->setText("Coast");
    screen->cellDidEndEditing();
    drain();
    auto tracks = day->tracks();
    EXPECT_EQ(std::count_if(tracks.begin(), tracks.end(), [](auto& t) { return t->name() == "Coast"; }), 1);

    screen->manage();
    tapMark(*screen, {1, 1});
    ASSERT_TRUE(screen->isMarked(*points[3]));
    ASSERT_TRUE(table->swipeToDelete({1, 1}));
    drain();
    EXPECT_TRUE(points[3]->isDeleted());
    EXPECT_FALSE(screen->isMarked(*points[3]));
    EXPECT_EQ(rowCounts(*screen), (std::vector<long>{2, 4, 3}));
}

TEST_F(SetDetailsTest, RowsOpenTheirDetailsExceptInManageModeAndForReadings) {
    auto screen = open();
    auto table = screen->tableView();
    table->userSelectRow({2, 0});
    EXPECT_EQ(screen->presentedViewController(), nullptr);
    table->userSelectRow({1, 0});
    auto waypointDetails =
        std::dynamic_pointer_cast<VNWaypointDetailsViewController>(screen->presentedViewController());
    ASSERT_TRUE(waypointDetails);
    EXPECT_EQ(waypointDetails->waypoint(), points[4]);
    EXPECT_EQ(waypointDetails->modalTransitionStyle(), plat::TransitionStyle::FlipHorizontal);
    waypointDetails->onBack();
    EXPECT_EQ(screen->presentedViewController(), nullptr);

    table->userSelectRow({0, 0});
    auto trackDetails = std::dynamic_pointer_cast<VNTrackDetailsViewController>(screen->presentedViewController());
    ASSERT_TRUE(trackDetails);
    EXPECT_TRUE(trackDetails->track());
    trackDetails->onBack();

    screen->manage();
    table->userSelectRow({1, 0});
    EXPECT_EQ(screen->presentedViewController(), nullptr);
}

}  // namespace qxtest
