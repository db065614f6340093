// The link storing into the real measurement store.
#include <map>

#include "LinkTestSupport.h"
#include "model/DateStrings.h"
#include "store/Measurement.h"
#include "store/Set.h"
#include "store/Track.h"
#include "store/Waypoint.h"

using namespace linktest;

namespace {

class StoreIntegrationTest : public LinkTest {
protected:
    void SetUp() override {
        LinkTest::SetUp();
        allAutosaveTriggersOff(settings());
    }
    qx::Context& main() { return qx::Store::defaultStore().mainContext(); }
};

TEST_F(StoreIntegrationTest, AutosavedPointsGoToTodaysSetThenToTheRecordingTrack) {
    settings().setAutoSave(true);
    settings().setAutosaveInterval(60);
    launchDemo(4);
    advance(60);
    auto today = qx::Set::getCurrentSet();
    ASSERT_EQ(today->waypointsCount(), 1u);
    const auto point = today->waypoints()[0];
    EXPECT_TRUE(point->autoSaved());
    EXPECT_TRUE(point->hasPosition());
    const auto m = point->measurement();
    ASSERT_TRUE(m);
    EXPECT_EQ(m->deviceType(), 4);
    EXPECT_EQ(m->deviceName(), "VN2340A");
    EXPECT_EQ(m->deviceSerial(), demo()->serialText());
    EXPECT_TRUE(m->accumulation());
    EXPECT_DOUBLE_EQ(m->der(), demo()->lastReading()->der);

    // A recording: its time step adds points to the track, not to the day.
    settings().setTrackTimeOn(true);
    settings().setTrackTime(0.5);
    manager().setLastSaveTime(plat::Date::now());
    auto track = qx::Track::startTrack();
    const double startDose = manager().getDE().value();
    advance(61);
    EXPECT_EQ(track->waypointsCount(), 2u);
    EXPECT_EQ(today->waypointsCount(), 1u);
    for (const auto& w : track->waypoints()) EXPECT_TRUE(w->autoSaved());

    qx::Track::stopTrack();
    drain();
    EXPECT_NEAR(track->de(), manager().getDE().value() - startDose, 1e-9);
    advance(60);
    EXPECT_EQ(track->waypointsCount(), 2u);  // stopped: no more points
}

TEST_F(StoreIntegrationTest, VN2450HistoryLandsAsMeasurementsInTheSetsOfTheirDays) {
    launchDemo(2);
    std::map<double, std::size_t> expectedPerDay;  // day start -> readings
    for (const auto& item : demo()->history()) {
        if (item.type == qx::DetectorHistoryItem::doseRateKind) {
            ++expectedPerDay[qx::DateStrings::beginningOfDay(item.date).timeIntervalSince1970()];
        }
    }
    ASSERT_GE(expectedPerDay.size(), 2u);  // two days of records cross at least one midnight

    manager().loadHistory();
    drain();
    auto sets = main().fetch<qx::Set>(qx::FetchRequest::of<qx::Set>().sortedBy("date"));
    std::map<double, std::size_t> stored;
    for (const auto& set : sets) {
        for (const auto& m : set->measurements()) {
            EXPECT_EQ(qx::DateStrings::beginningOfDay(m->date()), set->date());
            EXPECT_EQ(m->waypoint(), nullptr);
            EXPECT_EQ(m->deviceName(), "VN2450");
            EXPECT_GT(m->der(), 0);
            EXPECT_GT(m->de(), 0);
            ++stored[set->date().timeIntervalSince1970()];
        }
    }
    EXPECT_EQ(stored, expectedPerDay);
    EXPECT_TRUE(demo()->history().empty());  // cleared once stored
}

TEST_F(StoreIntegrationTest, HistoryRecordsPairEachDoseRateWithItsDose) {
    using Item = qx::DetectorHistoryItem;
    const plat::Date t(1'800'000'000);
    const std::vector<Item> items{
        Item::value(Item::doseRateKind, 0.5f, t),
        Item::value(Item::doseKind, 7.f, t),
        {Item::powerOnKind, 0, t},
        Item::value(Item::doseRateKind, 0.25f, t.addingTimeInterval(60)),
        Item::value(Item::doseKind, 8.f, t.addingTimeInterval(120)),  // a dose of another minute
    };
    const auto records = qx::MeasurementStoreAdapter::historyRecords(items, {2, "VN2450", "9"});
    ASSERT_EQ(records.size(), 3u);
    EXPECT_EQ(records[0].der, 0.5);
    EXPECT_EQ(records[0].de, 7);
    EXPECT_EQ(records[1].der, 0.25);
    EXPECT_EQ(records[1].de, 0);
    EXPECT_EQ(records[2].der, 0);
    EXPECT_EQ(records[2].de, 8);
    EXPECT_EQ(records[2].deviceSerial, "9");
}

TEST_F(StoreIntegrationTest, CurrentReadingNamesTheInstrumentOnlyWhileConnected) {
    launchDemo(9);
    advance(5);
    auto reading = qx::CurrentReadingSource::current();
    EXPECT_EQ(reading.deviceType, 9u);
    EXPECT_EQ(reading.deviceName, "VN2110BT");
    EXPECT_EQ(reading.deviceSerial, demo()->serialText());
    EXPECT_GT(reading.dose, 0);
    // A point stored by hand gets the reading and the position of the moment.
    EXPECT_EQ(reading.doseRate, manager().getDER().value());
    EXPECT_GT(reading.doseRate, 0);
    ASSERT_TRUE(reading.location.has_value());
    EXPECT_EQ(reading.location->coordinate().latitude, manager().currentLocation()->coordinate().latitude);
    qx::LinkLauncher::loseInstrument();
    drain();
    reading = qx::CurrentReadingSource::current();
    EXPECT_EQ(reading.deviceType, 0u);
    EXPECT_EQ(reading.deviceName, "");
    EXPECT_EQ(reading.dose, manager().getDE().value());  // the last dose stays known
}

}  // namespace
