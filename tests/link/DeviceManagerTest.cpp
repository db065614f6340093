#include "LinkTestSupport.h"
#include "link/DeviceTypes.h"

using namespace linktest;
using qx::DeviceManager;

namespace {

class DeviceManagerTest : public LinkTest {
protected:
    // An accessory instrument of `type` driven by the test, connected and (optionally) with its
    // parameter block read.
    std::shared_ptr<ScriptedSource> plugScripted(unsigned type, bool withParams) {
        auto source = std::make_shared<ScriptedSource>(type);
        manager();  // listens to the port from now on
        qx::AccessoryPort::shared().plugIn(source);
        source->report(qx::event::Connected{});
        drain();
        if (withParams) {
            qx::DeviceParams p;
            p.thresholds = {1, 2, 3, 4};
            p.coeffN = 5.3f;
            source->report(qx::event::Params{p});
        }
        source->sent.clear();
        return source;
    }
};

TEST_F(DeviceManagerTest, ReadingsReachTheDelegateAndTheGetters) {
    launchDemo(4);
    auto delegate = std::make_shared<RecordingDelegate>();
    manager().setDelegate(delegate);
    advance(3);
    EXPECT_EQ(delegate->values, 3);

    const auto& last = *demo()->lastReading();
    EXPECT_DOUBLE_EQ(manager().getDER().value(), last.der);
    EXPECT_DOUBLE_EQ(manager().getDE().value(), last.de);
    EXPECT_DOUBLE_EQ(manager().countRate(), last.countRate);
    EXPECT_DOUBLE_EQ(manager().variation(), last.variation);
    EXPECT_EQ(manager().accumulationTimeString(), "0 min");
    EXPECT_EQ(manager().currentLocation(), qx::LocationFeed::shared().lastFix());
    EXPECT_EQ(delegate->doseRates.back(), last.der);

    // The last delegate set is the only one that hears.
    auto second = std::make_shared<RecordingDelegate>();
    manager().setDelegate(second);
    advance(2);
    EXPECT_EQ(delegate->values, 3);
    EXPECT_EQ(second->values, 2);

    // A delegate that went away is simply not called.
    second.reset();
    advance(1);
}

TEST_F(DeviceManagerTest, SystemModeChangeSendsStateUpdateOnce) {
    launchDemo(3);
    auto delegate = std::make_shared<RecordingDelegate>();
    manager().setDelegate(delegate);
    advance(2);
    const int before = delegate->states;
    qx::LinkLauncher::setNextReading({.systemMode = 2u});
    advance(3);
    EXPECT_EQ(delegate->states, before + 1);
    EXPECT_EQ(manager().systemMode(), 2u);
}

TEST_F(DeviceManagerTest, PresenceNotificationsCarryModelNameThenEmptyText) {
    NotificationLog present(qx::kDevicePresentNotification);
    NotificationLog version(qx::kVersionReceivedNotification);
    launchDemo(3);
    qx::LinkLauncher::loseInstrument();
    drain();
    EXPECT_EQ(manager().deviceType(), 0u);
    qx::LinkLauncher::reconnectInstrument();  // paired: connects again by itself
    drain();
    EXPECT_EQ(present.texts, (std::vector<std::string>{"VN2450A", "", "VN2450A"}));
    EXPECT_EQ(present.senders.front(), &manager());
    ASSERT_FALSE(version.texts.empty());
    EXPECT_EQ(version.texts.front(), demo()->version());
    EXPECT_EQ(manager().versionString(), demo()->version());
}

TEST_F(DeviceManagerTest, AccessoryInstrumentPresenceVersionAndSerial) {
    NotificationLog present(qx::kDevicePresentNotification);
    NotificationLog version(qx::kVersionReceivedNotification);
    std::vector<std::string> serials;
    auto sub = manager().serialNumberString().subscribe([&](const std::string& s) { serials.push_back(s); });
    launchDemo(2);
    EXPECT_EQ(version.texts, (std::vector<std::string>{"2.0.2"}));
    EXPECT_EQ(serials, (std::vector<std::string>{demo()->serialText()}));
    EXPECT_EQ(manager().currentItem().serialNumber, demo()->serialNumber());
    qx::LinkLauncher::loseInstrument();
    drain();
    EXPECT_EQ(present.texts, (std::vector<std::string>{"VN2450", ""}));
}

TEST_F(DeviceManagerTest, AccessorySessionThatDiesCanBeOpenedAgain) {
    auto source = std::make_shared<ScriptedSource>(2);
    manager();
    qx::AccessoryPort::shared().plugIn(source);
    source->report(qx::event::Connected{});
    drain();
    source->report(qx::event::Lost{});
    drain();
    EXPECT_EQ(manager().deviceType(), 0u);
    EXPECT_FALSE(source->isOpen());
    qx::AccessoryPort::shared().plugIn(source);
    source->report(qx::event::Connected{});
    drain();
    EXPECT_EQ(manager().deviceType(), 2u);
}

TEST_F(DeviceManagerTest, BatteryLevelIsObservableAndAbsentOnTheVN2230RX1) {
    std::vector<unsigned> levels;
    auto sub = manager().batteryLevel().subscribe([&](const unsigned& v) { levels.push_back(v); });
    launchDemo(9);
    EXPECT_EQ(manager().batteryLevel().get(), 100u);
    advance(qx::DemoInstrument::kBatteryDrainInterval);
    EXPECT_EQ(levels, (std::vector<unsigned>{100, 99}));
    EXPECT_EQ(manager().serialNumberString().get(), demo()->serialText());

    resetLink();
    launchDemo(8);
    EXPECT_EQ(DeviceManager::sharedDeviceManager().batteryLevel().get(), 0u);
}

TEST_F(DeviceManagerTest, LocationFixesGoToTheTrackDelegateWithTheirPredecessor) {
    auto track = std::make_shared<RecordingTrackDelegate>();
    manager().setTrackDelegate(track);
    launchDemo(5);
    advance(2);
    ASSERT_GE(track->fixes.size(), 2u);
    EXPECT_FALSE(track->fixes[0].second.has_value());  // the first fix has no old location
    EXPECT_EQ(track->fixes[1].second, track->fixes[0].first);

    qx::LinkLauncher::loseInstrument();
    drain();
    const auto count = track->fixes.size();
    qx::LocationFeed::shared().deliver(track->fixes.back().first);  // nothing connected: not followed
    EXPECT_EQ(track->fixes.size(), count);

    qx::LinkLauncher::reconnectInstrument();
    advance(1);
    ASSERT_GT(track->fixes.size(), count);
    EXPECT_FALSE(track->fixes[count].second.has_value());  // a new connection starts afresh
}

TEST_F(DeviceManagerTest, ThresholdWritesOverBluetoothReachTheInstrument) {
    manager().saveDetectorThreshold(0, 5);  // nothing connected: nothing to do
    launchDemo(4);
    manager().saveDetectorThreshold(0, 0.5f);
    manager().saveDetectorThreshold(3, 700);
    manager().saveDetectorThreshold(4, 1);   // no such threshold
    manager().saveDetectorThreshold(-1, 1);
    drain();
    EXPECT_EQ(demo()->thresholds()[0], 0.5f);
    EXPECT_EQ(demo()->thresholds()[3], 700.f);
    EXPECT_EQ(qx::VNBTLEManager::sharedInstance().dataService()->thresholds()->at(0), 0.5f);

    // The instrument now alarms above the new threshold.
    qx::LinkLauncher::setNextReading({.der = 0.6});
    advance(1);
    EXPECT_TRUE(manager().currentItem().derAlarm);
}

TEST_F(DeviceManagerTest, VN2450WritesThresholdsInSievertOnlyOnceItsBlockIsRead) {
    auto source = plugScripted(2, false);
    manager().saveDetectorThreshold(0, 5);
    drain();
    EXPECT_TRUE(source->sentOf<qx::command::WriteParams>().empty());

    qx::DeviceParams p;
    p.thresholds = {1e-6f, 2e-6f, 3e-6f, 4e-6f};
    source->report(qx::event::Params{p});
    manager().saveDetectorThreshold(2, 10000);
    drain();
    const auto writes = source->sentOf<qx::command::WriteParams>();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_FLOAT_EQ(writes[0].params.thresholds[2], 0.01f);
    EXPECT_FLOAT_EQ(writes[0].params.thresholds[0], 1e-6f);  // the other slots as read
}

TEST_F(DeviceManagerTest, VN2560SecondDoseRateThresholdStaysInTheSettings) {
    auto source = plugScripted(1, true);
    manager().saveDetectorThreshold(1, 42);
    drain();
    EXPECT_EQ(settings().DERthreshold().secondThreshold->value(), 42);
    EXPECT_TRUE(source->sent.empty());

    manager().saveDetectorThreshold(0, 7);
    drain();
    const auto writes = source->sentOf<qx::command::WriteParams>();
    ASSERT_EQ(writes.size(), 1u);
    EXPECT_EQ(writes[0].params.thresholds[0], 7.f);  // the VN2560 keeps micro-sievert
}

TEST_F(DeviceManagerTest, CoefficientGoesIntoTheBlockAndIsWrittenOnce) {
    auto source = plugScripted(2, false);
    manager().setCoeffN(6.1f);
    manager().saveDeviceParams();
    drain();
    EXPECT_TRUE(source->sent.empty());  // no block read: nothing written

    qx::DeviceParams p;
    p.coeffN = 5.3f;
    source->report(qx::event::Params{p});
    manager().setCoeffN(6.1f);  // alone, as the calibration does
    drain();
    ASSERT_EQ(source->sentOf<qx::command::WriteParams>().size(), 1u);
    EXPECT_EQ(source->sentOf<qx::command::WriteParams>()[0].params.coeffN, 6.1f);

    source->sent.clear();
    manager().saveDetectorThreshold(0, 1);
    manager().setCoeffN(7.25f);
    manager().saveDeviceParams();
    drain();
    const auto writes = source->sentOf<qx::command::WriteParams>();
    ASSERT_EQ(writes.size(), 2u);  // the threshold's write and the explicit one
    EXPECT_EQ(writes.front().params.coeffN, 7.25f);  // each write sends the block as it is then
}

TEST_F(DeviceManagerTest, CoefficientReachesTheDemoAccessoryButNotBluetoothModels) {
    launchDemo(2);
    manager().setCoeffN(8.5f);
    manager().saveDeviceParams();
    drain();
    EXPECT_EQ(demo()->coeffN(), 8.5f);

    resetLink();
    launchDemo(6);
    manager().setCoeffN(8.5f);
    manager().saveDeviceParams();
    drain();
    EXPECT_EQ(demo()->coeffN(), 5.3f);
    manager().setCalibrationValue(0);
    EXPECT_EQ(manager().calibrationValue(), 0);
}

TEST_F(DeviceManagerTest, DoseResetByModel) {
    for (unsigned type : {2u, 3u, 4u}) {
        SCOPED_TRACE(type);
        resetLink();
        launchDemo(type);
        advance(30);
        ASSERT_GT(demo()->dose(), 0);
        manager().resetStat();
        drain();
        if (type == 4) {
            EXPECT_GT(demo()->dose(), 0);  // this model has no dose reset over the link
        } else {
            EXPECT_EQ(demo()->dose(), 0);
        }
    }
}

TEST_F(DeviceManagerTest, FactoryDefaultsRestoreTheInstrumentAndTheReadBlock) {
    launchDemo(2);
    manager().saveDetectorThreshold(0, 5);
    drain();
    ASSERT_EQ(demo()->thresholds()[0], 5.f);
    manager().deviceFactoryDefaults();
    drain();
    const auto factory = qx::DeviceTypes::factoryThresholds(2);
    EXPECT_EQ(demo()->thresholds(), factory);
    ASSERT_TRUE(manager().parameters());
    EXPECT_FLOAT_EQ(manager().parameters()->thresholds[0], factory[0] * 1e-6f);

    resetLink();
    launchDemo(7);
    manager().saveDetectorThreshold(1, 3);
    manager().deviceFactoryDefaults();
    drain();
    EXPECT_EQ(demo()->thresholds(), qx::DeviceTypes::factoryThresholds(7));
}

TEST_F(DeviceManagerTest, HistoryPeriodAndModeShowInTheRecordsThatFollow) {
    launchDemo(2);
    const auto before = demo()->history().size();
    manager().saveDetectorHistPeriod(0.5);
    manager().setDetectorJobMode(1);
    drain();
    EXPECT_EQ(demo()->historyPeriod(), 0.5);
    EXPECT_EQ(demo()->jobMode(), 1u);
    advance(60);
    EXPECT_EQ(demo()->history().size(), before + 4);  // two records every half minute
}

}  // namespace
