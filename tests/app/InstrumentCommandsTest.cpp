#include "HostFixture.h"
#include "link/BluetoothRadio.h"
#include "link/DeviceManager.h"

namespace {

using qxtest::HostTest;

TEST_F(HostTest, ReadingTakesADoseRateAndADoseOfAtLeastZero) {
    launch();
    for (const char* bad : {"reading", "reading -1", "reading abc", "reading 1 x", "reading 1 2 3", "reading inf",
                            "reading 0.5 -2"}) {
        EXPECT_FALSE(run(bad).ok) << bad;
    }
    EXPECT_TRUE(run("reading 0.5 7").ok);
    EXPECT_TRUE(run("advance 1").ok);
    EXPECT_DOUBLE_EQ(qx::DeviceManager::sharedDeviceManager().getDER().value(), 0.5);
    EXPECT_DOUBLE_EQ(qx::DeviceManager::sharedDeviceManager().getDE().value(), 7);
}

TEST_F(HostTest, StorePrintsEveryCountAndExpectStoreComparesOne) {
    launch();
    EXPECT_EQ(output("store"), "sets 0, tracks 0, waypoints 0, autosaved 0, measurements 0, uploaded 0\n");
    EXPECT_TRUE(run("advance 3601").ok);
    EXPECT_EQ(output("store"), "sets 1, tracks 0, waypoints 1, autosaved 1, measurements 1, uploaded 0\n");

    for (const char* holds : {"expect-store autosaved >= 1", "expect-store autosaved == 1", "expect-store autosaved = 1",
                              "expect-store waypoints > 0", "expect-store tracks < 1", "expect-store sets <= 1",
                              "expect-store measurements != 2"}) {
        EXPECT_TRUE(run(holds).ok) << holds;
    }
    auto failed = run("expect-store waypoints >= 2");
    EXPECT_FALSE(failed.ok);
    EXPECT_EQ(failed.text, "the store holds 1 waypoints, not >= 2");
    for (const char* malformed : {"expect-store waypoints", "expect-store rows >= 1", "expect-store waypoints => 1",
                                  "expect-store waypoints >= 1.5", "expect-store waypoints >= many",
                                  "expect-store waypoints > > 1"}) {
        auto outcome = run(malformed);
        EXPECT_FALSE(outcome.ok) << malformed;
        EXPECT_EQ(outcome.text.rfind("usage: expect-store", 0), 0u) << malformed;
    }
}

TEST_F(HostTest, LoseAndReconnectMoveTheDemoOutOfReachAndBack) {
    launch();
    EXPECT_TRUE(run("lose").ok);
    EXPECT_EQ(qx::DeviceManager::sharedDeviceManager().deviceType(), 0u);
    EXPECT_TRUE(run("reconnect").ok);
    EXPECT_EQ(qx::DeviceManager::sharedDeviceManager().deviceType(), 3u);

    // With the adapter off the instrument does not connect, and connect says so; the connection
    // asked for is made once the adapter is on.
    qx::BluetoothRadio::shared().setPoweredOn(false);
    auto outcome = run("connect");
    EXPECT_FALSE(outcome.ok);
    EXPECT_NE(outcome.text.find("Bluetooth is off"), std::string::npos) << outcome.text;
    qx::BluetoothRadio::shared().setPoweredOn(true);
    drain();
    EXPECT_EQ(qx::DeviceManager::sharedDeviceManager().deviceType(), 3u);
    EXPECT_TRUE(run("connect").ok);
}

TEST_F(HostTest, ExpectInstrumentComparesWhatTheInstrumentKeeps) {
    launch();
    const std::string shown = output("instrument");
    EXPECT_NE(shown.find("coefficient 5.3,"), std::string::npos) << shown;
    EXPECT_TRUE(run("expect-instrument coefficient 5.3").ok) << "within single precision";
    auto wrong = run("expect-instrument coefficient 5.31");
    EXPECT_FALSE(wrong.ok);
    EXPECT_EQ(wrong.text, "the instrument's coefficient is 5.3, not 5.31");
    EXPECT_FALSE(run("expect-instrument voltage 3").ok);
    EXPECT_FALSE(run("expect-instrument coefficient").ok);
}

TEST_F(HostTest, InstrumentCommandsNeedTheDemo) {
    qx::LinkOptions link;
    link.demo = false;
    launch(link);
    for (const char* command : {"connect", "lose", "reconnect", "reading 1", "instrument", "expect-instrument dose-1 1"}) {
        auto outcome = run(command);
        EXPECT_FALSE(outcome.ok) << command;
        EXPECT_NE(outcome.text.find("--no-demo"), std::string::npos) << command;
    }
    EXPECT_EQ(output("store"), "sets 0, tracks 0, waypoints 0, autosaved 0, measurements 0, uploaded 0\n");
}

}  // namespace
