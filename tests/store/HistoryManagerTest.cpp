#include <filesystem>

#include "StoreTestSupport.h"
#include "model/DateStrings.h"
#include "store/HistoryManager.h"

using namespace qx;

namespace qxtest {

TEST_F(StoreTest, ResetLeavesAWorkingEmptyStore) {
    auto set = Set::getCurrentSet();
    for (int i = 0; i < 50; ++i) addPoint(main(), set, 0.1, plat::Date::now(), "x");
    auto track = Track::startTrack();
    ASSERT_TRUE(main().save());
    const auto file = store().file();
    const auto wal = file.string() + "-wal";
    ASSERT_GT(std::filesystem::file_size(wal), 0u);

    ASSERT_TRUE(HistoryManager::sharedHistoryManager().resetHistoryDataBase());
    EXPECT_TRUE(set->isDeleted());
    EXPECT_TRUE(track->isDeleted());
    EXPECT_EQ(Track::getCurrentTrack(), nullptr);
    for (auto e : {EntityKind::set, EntityKind::track, EntityKind::waypoint, EntityKind::measurement})
        EXPECT_EQ(main().count(FetchRequest(e)), 0u);
    // The old log is gone with the old file; the new store writes and reads again.
    std::error_code ec;
    EXPECT_EQ(std::filesystem::file_size(wal, ec), 0u);
    auto fresh = Set::getCurrentSet();
    EXPECT_NE(fresh.get(), set.get());
    EXPECT_FALSE(fresh->isInserted());
    ASSERT_TRUE(store().saveWithBlockAndWait([&](Context& c) { addPoint(c, c.inContext(fresh), 0.2, plat::Date(1)); }));
    EXPECT_EQ(fresh->waypointsCount(), 1u);
    Store::closeDefaultStore();
    EXPECT_EQ(main().count(FetchRequest::of<Waypoint>()), 1u);
}

TEST_F(StoreTest, InstrumentHistoryGoesIntoTheSetsOfItsDaysOnce) {
    const plat::Date day1 = DateStrings::beginningOfDay(plat::Date::now()).addingTimeInterval(-86400 + 3600);
    const plat::Date day2 = day1.addingTimeInterval(86400);
    std::vector<HistoryRecord> records{
        {day1, 0.1, 1.0, 2, "VN2450", "SN1"},
        {day1.addingTimeInterval(600), 0.2, 1.1, 2, "VN2450", "SN1"},
        {day2, 0.3, 1.2, 2, "VN2450", "SN1"},
        {day2, 0.3, 1.2, 0, "", ""},
    };
    int completions = 0;
    HistoryManager::sharedHistoryManager().saveHistoryRecords(records, [&](bool ok, const StoreError*) {
        completions += ok;
    });
    // The same history read again (the instrument kept it) adds nothing.
    HistoryManager::sharedHistoryManager().saveHistoryRecords(records, [&](bool ok, const StoreError*) {
        completions += ok;
    });
    drain();
    EXPECT_EQ(completions, 2);
    auto sets = main().fetch<Set>(FetchRequest::of<Set>().sortedBy("date"));
    ASSERT_EQ(sets.size(), 2u);
    EXPECT_EQ(sets[0]->date(), DateStrings::beginningOfDay(day1));
    EXPECT_EQ(sets[0]->measurementsCount(), 2u);
    EXPECT_EQ(sets[1]->measurementsCount(), 2u);
    EXPECT_EQ(sets[0]->waypointsCount(), 0u);
    auto m = sets[0]->measurements();
    EXPECT_EQ(m[0]->date(), day1);
    EXPECT_EQ(m[1]->deviceSerial(), "SN1");
    EXPECT_EQ(m[1]->waypoint(), nullptr);
    EXPECT_FALSE(sets[1]->measurements()[1]->deviceSerial());
    EXPECT_NEAR(sets[0]->dose(), 0.1, 1e-12);
}

}  // namespace qxtest
