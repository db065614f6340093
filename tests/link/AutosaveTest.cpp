#include "LinkTestSupport.h"
#include "link/DemoWalk.h"

using namespace linktest;
using qx::AutosavePolicy;

namespace {

// ---- the rules on their own ----

class AutosavePolicyTest : public LinkTest {
protected:
    AutosavePolicy policy;
    plat::Date t0 = plat::Date::now();
    plat::Date at(double seconds) const { return t0.addingTimeInterval(seconds); }
    void SetUp() override {
        LinkTest::SetUp();
        allAutosaveTriggersOff(settings());
        policy.start(t0);
        policy.setLastSaveTime(t0);
    }
};

TEST_F(AutosavePolicyTest, GeneralIntervalCountsFromTheLastAutomaticWaypoint) {
    settings().setAutoSave(true);
    settings().setAutosaveInterval(60);
    EXPECT_EQ(policy.evaluate(at(59), 0.1, false, settings()), AutosavePolicy::none);
    EXPECT_EQ(policy.evaluate(at(60), 0.1, false, settings()), AutosavePolicy::interval);
    policy.noteSaved(at(60));
    EXPECT_EQ(policy.evaluate(at(100), 0.1, false, settings()), AutosavePolicy::none);
    settings().setAutosaveInterval(0);  // no interval at all, not a waypoint a reading
    EXPECT_EQ(policy.evaluate(at(500), 0.1, false, settings()), AutosavePolicy::none);
}

TEST_F(AutosavePolicyTest, TrackTriggersWorkOnlyWhileRecording) {
    settings().setTrackTimeOn(true);
    settings().setTrackTime(0.5);
    EXPECT_EQ(policy.evaluate(at(40), 0.1, false, settings()), AutosavePolicy::none);
    EXPECT_EQ(policy.evaluate(at(41), 0.1, true, settings()), AutosavePolicy::trackTime);
    policy.setLastSaveTime(at(50));  // a recording restarted the clock
    EXPECT_EQ(policy.evaluate(at(79), 0.1, true, settings()), AutosavePolicy::none);
    EXPECT_EQ(policy.evaluate(at(80), 0.1, true, settings()), AutosavePolicy::trackTime);
}

TEST_F(AutosavePolicyTest, DistanceStepInMetresOrYards) {
    settings().setTrackDistanceOn(true);
    settings().setTrackDistance(100);
    policy.evaluate(at(1), 0.1, true, settings());  // the recording begins
    policy.addDistance(60);
    EXPECT_EQ(policy.evaluate(at(2), 0.1, true, settings()), AutosavePolicy::none);
    policy.addDistance(40);
    EXPECT_EQ(policy.evaluate(at(3), 0.1, true, settings()), AutosavePolicy::trackDistance);
    policy.noteSaved(at(3));
    EXPECT_EQ(policy.distanceSinceSave(), 0);

    settings().setMetric(false);  // 100 yards are 91.44 m
    policy.addDistance(91.4);
    EXPECT_EQ(policy.evaluate(at(4), 0.1, true, settings()), AutosavePolicy::none);
    policy.addDistance(0.1);
    EXPECT_EQ(policy.evaluate(at(5), 0.1, true, settings()), AutosavePolicy::trackDistance);
}

TEST_F(AutosavePolicyTest, ThresholdsFireOnRisingAboveNotWhileAbove) {
    settings().setTrackFirstTreshOn(true);
    settings().setTrackSecondTreshOn(true);
    settings().setTrackDRSettingsOn(false);
    settings().trackThresh().firstThreshold->setValue(0.5);
    settings().trackThresh().secondThreshold->setValue(2);
    settings().DERthreshold().firstThreshold->setValue(10);  // not the one that applies
    const std::vector<std::pair<double, unsigned>> steps{
        {0.4, AutosavePolicy::none},
        {0.5, AutosavePolicy::none},  // equal is not above
        {0.6, AutosavePolicy::firstThreshold},
        {0.9, AutosavePolicy::none},
        {2.5, AutosavePolicy::secondThreshold},
        {3.0, AutosavePolicy::none},
        {0.3, AutosavePolicy::none},
        {2.1, AutosavePolicy::firstThreshold | AutosavePolicy::secondThreshold},
    };
    double t = 1;
    for (const auto& [der, expected] : steps) {
        EXPECT_EQ(policy.evaluate(at(t++), der, true, settings()), expected) << der;
    }
    // A new recording that starts inside the hot area marks it with its first reading.
    policy.evaluate(at(t++), 2.1, false, settings());
    EXPECT_EQ(policy.evaluate(at(t++), 2.1, true, settings()),
              AutosavePolicy::firstThreshold | AutosavePolicy::secondThreshold);

    settings().setTrackDRSettingsOn(true);  // now the dose-rate thresholds apply: 10 and 1.2
    settings().DERthreshold().secondThreshold->setValue(20);
    policy.evaluate(at(t++), 0.1, true, settings());
    EXPECT_EQ(policy.evaluate(at(t++), 5, true, settings()), AutosavePolicy::none);
    EXPECT_EQ(policy.evaluate(at(t++), 11, true, settings()), AutosavePolicy::firstThreshold);
}

// ---- with the demo instrument and a store ----

class AutosaveTest : public LinkTest {
protected:
    std::shared_ptr<FakeStore> store = std::make_shared<FakeStore>();
    void SetUp() override {
        LinkTest::SetUp();
        allAutosaveTriggersOff(settings());
        manager().setReadingStore(store);
    }
    std::vector<double> secondsOfWaypoints(plat::Date start) const {
        std::vector<double> out;
        for (const auto& w : store->waypoints) out.push_back(w.reading.date.timeIntervalSince(start));
        return out;
    }
};

TEST_F(AutosaveTest, IntervalStoresIntoTodaysSetWithTheReadingAndPosition) {
    settings().setAutoSave(true);
    settings().setAutosaveInterval(60);
    const auto start = plat::Date::now();
    launchDemo(4);
    advance(185);
    EXPECT_EQ(secondsOfWaypoints(start), (std::vector<double>{60, 120, 180}));
    const auto& w = store->waypoints.front();
    EXPECT_FALSE(w.intoTrack);
    EXPECT_EQ(w.reading.instrument.deviceType, 4u);
    EXPECT_EQ(w.reading.instrument.deviceName, "VN2340A");
    EXPECT_EQ(w.reading.instrument.deviceSerial, demo()->serialText());
    ASSERT_TRUE(w.reading.location.has_value());
    EXPECT_NEAR(w.reading.der, qx::DemoWalk::doseRateAt(60 * qx::DemoWalk::kSpeed), 1e-9);
    EXPECT_GT(w.reading.de, 0);
    EXPECT_FALSE(w.reading.accumulation.empty());
}

TEST_F(AutosaveTest, RecordingTrackTakesTheIntervalWaypointsAndItsTimeStep) {
    settings().setAutoSave(true);
    settings().setAutosaveInterval(3600);
    settings().setTrackTimeOn(true);
    settings().setTrackTime(0.5);
    launchDemo(3);
    advance(10);
    store->recording = true;
    const auto start = plat::Date::now();
    manager().setLastSaveTime(start);
    advance(95);
    EXPECT_EQ(secondsOfWaypoints(start), (std::vector<double>{30, 60, 90}));
    for (const auto& w : store->waypoints) EXPECT_TRUE(w.intoTrack);

    store->recording = false;  // stopped: the track's own steps end
    advance(120);
    EXPECT_EQ(store->waypoints.size(), 3u);
}

TEST_F(AutosaveTest, DistanceStepAlongTheWalk) {
    settings().setTrackDistanceOn(true);
    settings().setTrackDistance(100);
    store->recording = true;
    launchDemo(5);
    manager().setLastSaveTime(plat::Date::now());
    advance(250);
    // 1.25 m a second: 100 m take 80 s (the fix distance is measured on the chord of the circle).
    ASSERT_EQ(store->waypoints.size(), 3u);
    for (std::size_t i = 1; i < store->waypoints.size(); ++i) {
        const auto& a = *store->waypoints[i - 1].reading.location;
        const auto& b = *store->waypoints[i].reading.location;
        EXPECT_NEAR(a.distanceFromLocation(b), 100, 2.5);
    }
}

TEST_F(AutosaveTest, HotSpotMarksEachThresholdOncePerPass) {
    settings().setTrackFirstTreshOn(true);
    settings().setTrackSecondTreshOn(true);
    settings().setTrackDRSettingsOn(true);  // the default dose-rate thresholds: 0.3 and 1.2
    store->recording = true;
    launchDemo(6);
    const double loop = qx::DemoWalk::kLoopLength / qx::DemoWalk::kSpeed;
    advance(loop);
    ASSERT_EQ(store->waypoints.size(), 2u);
    EXPECT_GT(store->waypoints[0].reading.der, 0.3);
    EXPECT_LE(store->waypoints[0].reading.der, 1.2);
    EXPECT_GT(store->waypoints[1].reading.der, 1.2);
    advance(loop);
    EXPECT_EQ(store->waypoints.size(), 4u);
}

TEST_F(AutosaveTest, RadiationReportingSubmissionFollowsTheUploadMode) {
    std::vector<double> submitted;
    manager().setAutosaveSubmitter(
        [&](double der, const std::optional<qx::Location>& where, plat::Date) {
            submitted.push_back(der);
            EXPECT_TRUE(where.has_value());
        });
    settings().setAutoSave(true);
    settings().setAutosaveInterval(100);
    launchDemo(4);

    settings().setRRUploadMode(0);
    advance(100);
    EXPECT_TRUE(submitted.empty());
    settings().setRRUploadMode(1);
    advance(100);
    EXPECT_EQ(submitted.size(), 1u);
    settings().setRRUploadMode(2);  // only above a threshold: the background is below
    advance(100);
    EXPECT_EQ(submitted.size(), 1u);
    settings().DERthreshold().firstThreshold->setValue(0.01);
    advance(100);
    EXPECT_EQ(submitted.size(), 2u);
    EXPECT_EQ(store->waypoints.size(), 4u);
}

}  // namespace
