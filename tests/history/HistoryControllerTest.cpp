#include <gtest/gtest.h>

#include <algorithm>

#include "HistoryTestSupport.h"
#include "history/HistoryController.h"
#include "history/HistoryQuery.h"
#include "history/HistoryScreenHooks.h"
#include "history/SetTableCell.h"
#include "platform/foundation/Log.h"
#include "platform/ui/NavigationController.h"
#include "platform/ui/Window.h"
#include "store/ExportManager.h"

namespace {

using qx::HistoryController;
using qx::HistoryScreenHooks;

// The History tab in a window, on a store of three days:
//  - two days ago: a free waypoint of instrument SN-1 (type 3) and a track whose only point
//    is of SN-2 (type 5);
//  - yesterday: only an instrument-history reading of SN-3 (type 7), above the thresholds;
//  - today: a free waypoint of SN-1.
class HistoryControllerTest : public qxtest::HistoryTest {
protected:
    void SetUp() override {
        HistoryTest::SetUp();
        older = makeSet(dayAgo(2));
        older->setName(std::string("Bridge"));
        olderPoint = addPoint(older, 0.1, 1, dayAgo(2, 9));
        olderPoint->measurement()->setDeviceSerial(std::string("SN-1"));
        olderPoint->measurement()->setDeviceType(3);
        track = main().insertNew<qx::Track>();
        older->addTracksObject(track);
        trackPoint = addPoint(older, 0.2, 2, dayAgo(2, 10), track);
        trackPoint->measurement()->setDeviceSerial(std::string("SN-2"));
        trackPoint->measurement()->setDeviceType(5);

        yesterday = makeSet(dayAgo(1));
        auto reading = main().insertNew<qx::Measurement>();
        reading->setDate(dayAgo(1, 12));
        reading->setDer(50);
        reading->setDeviceSerial(std::string("SN-3"));
        reading->setDeviceType(7);
        yesterday->addMeasurementsObject(reading);

        todaySet = qx::Set::getCurrentSet();
        todayPoint = addPoint(todaySet, 0.1, 3, at(1));
        todayPoint->measurement()->setDeviceSerial(std::string("SN-1"));
        save();

        HistoryScreenHooks::setDayShareHandler([this](const HistoryScreenHooks::Records& days, unsigned options,
                                                      HistoryScreenHooks::Completion completion) {
            shared = days;
            sharedOptions = options;
            shareCompletion = std::move(completion);
        });
        window = std::make_unique<plat::Window>();
        screen = HistoryController::make();
        stack = std::make_shared<plat::NavigationController>(screen);
        window->setRootViewController(stack);
        window->makeKeyAndVisible();
        drain();
    }
    void TearDown() override {
        HistoryScreenHooks::setDayShareHandler({});
        HistoryController::setSetDetailsFactory({});
        window.reset();
        stack.reset();
        screen.reset();
        HistoryTest::TearDown();
    }

    static plat::Date dayAgo(int days, double hours = 0) {
        return plat::Date(qx::DateStrings::beginningOfDay(plat::Date(today().timeIntervalSince1970() - days * 86400.0 + 7200))
                              .timeIntervalSince1970() +
                          hours * 3600);
    }

    // The names the rows show, top to bottom.
    std::vector<std::string> rowNames() {
        std::vector<std::string> names;
        auto table = screen->tableView();
        for (long r = 0; r < table->numberOfRows(0); ++r) {
            auto row = std::dynamic_pointer_cast<qx::SetTableCell>(table->cellForRow({0, r}));
            names.push_back(row ? row->name() : "?");
        }
        return names;
    }
    std::shared_ptr<qx::SetTableCell> row(long r) {
        return std::dynamic_pointer_cast<qx::SetTableCell>(screen->tableView()->cellForRow({0, r}));
    }
    void tick(long r) { row(r)->check(*row(r)->checkButton()); }
    void applyFilter() {
        screen->updateData();
        drain();
    }
    qx::Settings& settings() { return qx::Settings::sharedSettings(); }
    std::string longDate(plat::Date d) { return qx::DateStrings::dateLongStr(d); }

    std::shared_ptr<qx::Set> older, yesterday, todaySet;
    std::shared_ptr<qx::Track> track;
    std::shared_ptr<qx::Waypoint> olderPoint, trackPoint, todayPoint;
    std::unique_ptr<plat::Window> window;
    std::shared_ptr<HistoryController> screen;
    std::shared_ptr<plat::NavigationController> stack;
    HistoryScreenHooks::Records shared;
    unsigned sharedOptions = 0;
    HistoryScreenHooks::Completion shareCompletion;
};

TEST_F(HistoryControllerTest, ListsEveryDayNewestFirstUnderThePlainHeader) {
    EXPECT_EQ(screen->title(), "History");
    EXPECT_EQ(screen->headerLabel()->text(), "Sets:");
    EXPECT_EQ(rowNames(), (std::vector<std::string>{longDate(today()), longDate(dayAgo(1)), "Bridge"}));
    EXPECT_EQ(row(2)->tracksValueLabel()->text(), "1");
    EXPECT_EQ(screen->tableView()->rectForRow({0, 0}).height(), HistoryController::kRowHeight);
}

TEST_F(HistoryControllerTest, InstrumentFiltersMatchADayByAnyOfItsReadings) {
    struct Case {
        std::set<std::string> serials;
        unsigned type;
        std::vector<std::string> expected;
    };
    const std::string t = longDate(today()), y = longDate(dayAgo(1));
    const Case cases[] = {
        {{"SN-1"}, 0, {t, "Bridge"}},
        {{"SN-2"}, 0, {"Bridge"}},     // only in a track
        {{"SN-3"}, 0, {y}},            // only an instrument-history reading
        {{"SN-9"}, 0, {}},
        {{"SN-2", "SN-3"}, 0, {y, "Bridge"}},
        {{}, 5, {"Bridge"}},
        {{}, 7, {y}},
        {{"SN-1"}, 5, {"Bridge"}},     // both: the day has a reading of each
        {{}, 0, {t, y, "Bridge"}},
    };
    for (const auto& c : cases) {
        settings().setHistoryDetectorOnlySerials(c.serials);
        settings().setHistoryDeviceTypeOnly(c.type);
        applyFilter();
        EXPECT_EQ(rowNames(), c.expected) << c.serials.size() << " serials, type " << c.type;
    }
}

TEST_F(HistoryControllerTest, DayLimitsCoverWholeDaysAndNameThemInTheHeader) {
    settings().setHistoryFilterAlarmsOnly(true);
    settings().setHistoryDayFrom(true);
    settings().setHistoryDaysTo(true);
    // Limits picked late in the day still include that day.
    settings().setHistoryDateFrom(dayAgo(1, 23.5));
    settings().setHistoryDateTo(at(23.9));
    applyFilter();
    EXPECT_EQ(rowNames(), (std::vector<std::string>{longDate(dayAgo(1))}));
    EXPECT_EQ(screen->headerLabel()->text(),
              "Sets:Alarms Only " + qx::DateStrings::dateStr(dayAgo(1)) + " - " + qx::DateStrings::dateStr(today()));

    settings().setHistoryFilterAlarmsOnly(false);
    settings().setHistoryDateFrom(plat::Date::now());  // "from today" keeps today
    settings().setHistoryDaysTo(false);
    applyFilter();
    EXPECT_EQ(rowNames(), (std::vector<std::string>{longDate(today())}));
    EXPECT_EQ(screen->headerLabel()->text(), "Sets: after " + qx::DateStrings::dateStr(plat::Date::now()));

    settings().setHistoryDayFrom(false);
    settings().setHistoryDaysTo(true);
    settings().setHistoryDateTo(dayAgo(2, 0.5));
    applyFilter();
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"Bridge"}));
    EXPECT_EQ(screen->headerLabel()->text(), "Sets: before " + qx::DateStrings::dateStr(dayAgo(2)));
}

using HistoryQueryTest = qxtest::HistoryTest;

TEST_F(HistoryQueryTest, DayLimitsFollowLocalDaysAcrossDaylightSavingChanges) {
    // 29 March and 25 October 2026 are the days of 23 and 25 hours in Berlin (the tests' zone).
    qx::Settings& settings = qx::Settings::sharedSettings();
    settings.setHistoryDayFrom(true);
    settings.setHistoryDaysTo(true);
    const plat::Date march29Evening(1774814400);  // 2026-03-29 22:00 CEST
    const plat::Date october25Evening(1792962000);  // 2026-10-25 22:00 CET
    struct Case {
        plat::Date picked;
        double fromStart, nextStart;  // UTC seconds of the local midnights
    };
    const Case cases[] = {
        {march29Evening, 1774738800, 1774821600},    // 00:00 CET .. 00:00 CEST next day
        {october25Evening, 1792879200, 1792969200},  // 00:00 CEST .. 00:00 CET next day
    };
    for (const auto& c : cases) {
        settings.setHistoryDateFrom(c.picked);
        settings.setHistoryDateTo(c.picked);
        const auto predicate = qx::HistoryQuery::predicate(settings);
        const auto& parts = predicate.node().children;
        ASSERT_EQ(parts.size(), 2u);
        EXPECT_EQ(parts[0].node().value, qx::Value(c.fromStart));
        EXPECT_EQ(parts[1].node().value, qx::Value(c.nextStart));
    }
}

TEST_F(HistoryControllerTest, SortsByEachKeyDescending) {
    settings().setHistorySortMode(qx::HistoryQuery::kSortByAlarms);
    applyFilter();
    EXPECT_EQ(rowNames().front(), longDate(dayAgo(1)));
    settings().setHistorySortMode(qx::HistoryQuery::kSortByName);
    applyFilter();
    EXPECT_EQ(rowNames().front(), "Bridge");  // the only named day
    settings().setHistorySortMode(qx::HistoryQuery::kSortByDate);
    applyFilter();
    EXPECT_EQ(rowNames().front(), longDate(today()));
}

TEST_F(HistoryControllerTest, MarksFollowTheirDaysWhenRowsComeAndGo) {
    tick(1);  // yesterday
    tick(2);  // Bridge
    ASSERT_EQ(screen->selectedSets().size(), 2u);
    // A new day above them moves every row down; the marks stay with their days.
    auto newer = makeSet(plat::Date(today().timeIntervalSince1970() + 86400 * 2));
    newer->setName(std::string("Future"));
    save();
    drain();
    ASSERT_EQ(rowNames().size(), 4u);
    EXPECT_FALSE(row(0)->checkButton()->checked());
    EXPECT_FALSE(row(1)->checkButton()->checked());
    EXPECT_TRUE(row(2)->checkButton()->checked());
    EXPECT_TRUE(row(3)->checkButton()->checked());

    // A marked day deleted elsewhere takes its mark with it; the other mark stays on its day.
    main().deleteObject(yesterday);
    save();
    drain();
    EXPECT_EQ(screen->selectedSets(), (std::set<qx::ObjectID>{older->objectID()}));
    EXPECT_TRUE(row(2)->checkButton()->checked());

    tick(2);  // unmarked by the person
    EXPECT_TRUE(screen->selectedSets().empty());
}

TEST_F(HistoryControllerTest, SharingMarkedDaysSendsTheirWaypointsAndTracksThenClearsTheMarks) {
    screen->share();
    EXPECT_TRUE(shared.empty());  // nothing marked: nothing happens
    EXPECT_FALSE(shareCompletion);

    tick(0);  // today
    tick(2);  // Bridge with its track
    screen->share();
    EXPECT_EQ(sharedOptions, 3u);
    std::vector<qx::ObjectID> ids;
    for (const auto& r : shared) ids.push_back(r->objectID());
    EXPECT_EQ(ids, (std::vector<qx::ObjectID>{todaySet->objectID(), older->objectID()}));
    // The days' waypoints as the share service reads them: each day's own, then its tracks'.
    ids.clear();
    for (const auto& r : qx::ExportManager::waypointsOfDays(shared)) ids.push_back(r->objectID());
    EXPECT_EQ(ids, (std::vector<qx::ObjectID>{todayPoint->objectID(), olderPoint->objectID(), trackPoint->objectID()}));
    EXPECT_EQ(qx::ExportManager::waypointCountOfDays(shared), 3u);

    ASSERT_TRUE(shareCompletion);
    shareCompletion();
    drain();
    EXPECT_TRUE(screen->selectedSets().empty());
    EXPECT_FALSE(row(0)->checkButton()->checked());
    EXPECT_FALSE(row(2)->checkButton()->checked());
}

TEST_F(HistoryControllerTest, DeletingTodayBringsBackAnEmptyToday) {
    tick(0);
    ASSERT_TRUE(screen->tableView()->swipeToDelete({0, 0}));
    drain();
    auto names = rowNames();
    ASSERT_EQ(names.size(), 3u);
    EXPECT_EQ(names.front(), longDate(today()));
    EXPECT_EQ(row(0)->waipointsValueLabel()->text(), "0");
    EXPECT_NE(qx::Set::getCurrentSet()->objectID(), todaySet->objectID());
    EXPECT_TRUE(screen->selectedSets().empty());
    EXPECT_EQ(main().count(qx::FetchRequest::of<qx::Waypoint>()), std::optional<std::size_t>(2));
}

TEST_F(HistoryControllerTest, TheListEmptiesAndFillsAgainAsDaysGoAndCome) {
    settings().setHistoryDetectorOnlySerials({"SN-2"});
    applyFilter();
    ASSERT_EQ(rowNames(), (std::vector<std::string>{"Bridge"}));
    main().deleteObject(older);
    save();
    drain();
    EXPECT_EQ(screen->tableView()->numberOfSections(), static_cast<long>(screen->fetchController()->sections().size()));
    EXPECT_EQ(screen->fetchController()->numberOfObjects(), 0u);

    auto day = makeSet(dayAgo(5));
    day->setName(std::string("Back"));
    addPoint(day, 0.1, 1, dayAgo(5, 8))->measurement()->setDeviceSerial(std::string("SN-2"));
    save();
    drain();
    EXPECT_EQ(rowNames(), (std::vector<std::string>{"Back"}));
    EXPECT_EQ(screen->tableView()->numberOfSections(), 1);
}

TEST_F(HistoryControllerTest, RowsOpenTheDetailsScreenOnlyWhenOneIsRegisteredAndNotInManageMode) {
    auto table = screen->tableView();
    EXPECT_EQ(row(0)->accessoryType(), plat::AccessoryType::None);
    EXPECT_TRUE(table->userSelectRow({0, 2}));
    EXPECT_EQ(stack->viewControllers().size(), 1u);

    std::shared_ptr<qx::Set> opened;
    HistoryController::setSetDetailsFactory([&](const std::shared_ptr<qx::Set>& set) {
        opened = set;
        return std::make_shared<qx::VNBaseViewController>();
    });
    screen->updateData();
    EXPECT_EQ(row(0)->accessoryType(), plat::AccessoryType::DisclosureIndicator);

    screen->manage();
    EXPECT_TRUE(screen->manageMode());
    EXPECT_TRUE(table->isEditing());
    table->setAllowsSelectionDuringEditing(true);
    table->userSelectRow({0, 2});
    EXPECT_FALSE(opened);

    screen->manage();
    EXPECT_TRUE(table->userSelectRow({0, 2}));
    ASSERT_TRUE(opened);
    EXPECT_EQ(opened->objectID(), older->objectID());
    ASSERT_EQ(stack->viewControllers().size(), 2u);
    auto details = std::dynamic_pointer_cast<qx::VNBaseViewController>(stack->topViewController());
    details->onBack();
    EXPECT_EQ(stack->viewControllers().size(), 1u);
}

TEST_F(HistoryControllerTest, EveryShowingOfTheTabAsksForTheInstrumentsHistoryWhenSetTo) {
    std::vector<std::string> lines;
    auto previous = plat::Log::setSink([&](const std::string& line) { lines.push_back(line); });
    auto asked = [&] { return std::count(lines.begin(), lines.end(), "DeviceManager loadHistory..."); };
    screen->viewWillAppear(false);
    EXPECT_EQ(asked(), 0);
    settings().setLoadHistoryOnStart(true);
    screen->viewWillAppear(false);
    screen->viewWillAppear(false);
    EXPECT_EQ(asked(), 2);
    plat::Log::setSink(previous);
}

TEST_F(HistoryControllerTest, TextsFollowTheLanguage) {
    switchLanguage("de");
    EXPECT_EQ(screen->title(), "Verlauf");
    EXPECT_EQ(screen->headerLabel()->text(), "Tage:");
    EXPECT_EQ(screen->manageButton()->title(), "Verwalten");
    EXPECT_EQ(row(0)->name(), longDate(today()));
}

}  // namespace
