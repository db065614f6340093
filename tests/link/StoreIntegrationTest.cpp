// The link storing into the real measurement store.
#include <map>

#include "FullDisk.h"
#include "LinkTestSupport.h"
#include "model/DateStrings.h"
#include "model/Settings.h"
#include "platform/ui/AlertView.h"
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

// A recording meets a full disk: the person is told once, with the reason, however many readings
// fail; the track holds just what was stored; with room again the points come back by
// themselves, and a disk that fills again is told again. Settings changed meanwhile are said
// not to be kept.
TEST_F(StoreIntegrationTest, ARecordingThatMeetsAFullDiskTellsOnceAndStoresAgainWhenThereIsRoom) {
    qxtest::FullDisk disk;
    settings().setTrackTimeOn(true);
    settings().setTrackTime(0.5);
    launchDemo(4);
    manager().setLastSaveTime(plat::Date::now());
    auto track = qx::Track::startTrack();
    ASSERT_TRUE(track);
    advance(61);
    const auto before = track->waypointsCount();
    ASSERT_GE(before, 1u);
    auto told = [] {
        std::vector<std::string> messages;
        for (const auto& a : plat::AlertView::visibleAlerts()) messages.push_back(a->title() + ": " + a->message());
        return messages;
    };

    disk.fillAfter(0);
    advance(300);
    EXPECT_GT(disk.refusedWrites(), 0u);
    EXPECT_EQ(track->waypointsCount(), before);
    EXPECT_EQ(told(), std::vector<std::string>{"Readings Not Stored: New readings cannot be stored: the disk is full. "
                                               "Recording goes on, and readings are stored again as soon as there is "
                                               "room."});
    plat::AlertView::visibleAlerts().front()->dismissWithClickedButtonIndex(0, false);

    settings().setAutoSave(!settings().autoSave());
    settings().save();
    EXPECT_EQ(told(), std::vector<std::string>{"Settings Not Saved: The changed settings could not be saved: the disk "
                                               "is full. They apply until quorix ends."});
    plat::AlertView::visibleAlerts().front()->dismissWithClickedButtonIndex(0, false);

    disk.makeRoom();
    advance(120);
    const auto resumed = track->waypointsCount();
    EXPECT_GE(resumed, before + 3);
    EXPECT_TRUE(told().empty());
    disk.fillAfter(0);
    advance(120);
    EXPECT_EQ(track->waypointsCount(), resumed);
    EXPECT_EQ(told().size(), 1u);
    disk.makeRoom();
    qx::Track::stopTrack();
    drain();
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
