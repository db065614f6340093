#include "LinkTestSupport.h"
#include "platform/foundation/FileUtil.h"

using namespace linktest;

namespace {

class LinkLauncherTest : public LinkTest {};

TEST_F(LinkLauncherTest, DefaultLaunchConnectsTheDemoOverBluetooth) {
    ASSERT_TRUE(qx::LinkLauncher::start({}));
    drain();
    EXPECT_EQ(manager().deviceType(), 3u);
    EXPECT_TRUE(qx::VNBTLEManager::sharedInstance().isScanning());
    EXPECT_EQ(qx::VNBTLEManager::sharedInstance().delegate().get(), &manager());
    advance(1);
    EXPECT_GT(manager().getDER().value(), 0);
}

TEST_F(LinkLauncherTest, WithoutAutoConnectOrDemoNothingConnects) {
    qx::LinkOptions options;
    options.demo = false;
    options.autoConnect = false;
    ASSERT_TRUE(qx::LinkLauncher::start(options));
    drain();
    EXPECT_FALSE(qx::VNBTLEManager::sharedInstance().isScanning());
    EXPECT_FALSE(qx::LinkLauncher::demoInstrument());
    EXPECT_FALSE(qx::LinkLauncher::connectInstrument());
    EXPECT_FALSE(qx::LinkLauncher::setNextReading({}));
    EXPECT_EQ(manager().deviceType(), 0u);
}

TEST_F(LinkLauncherTest, DemoConnectsEvenWithoutAutoConnect) {
    launchDemo(7, false);
    EXPECT_EQ(manager().modelName(), "VN2340A-GNM");
}

TEST_F(LinkLauncherTest, RefusesUnknownDeviceTypesAndUnplayableReplays) {
    std::string error;
    qx::LinkOptions options;
    options.demoDeviceType = 10;
    EXPECT_FALSE(qx::LinkLauncher::start(options, &error));
    EXPECT_NE(error.find("10"), std::string::npos);

    options.demoDeviceType = 4;
    options.replayFile = dataDir() / "nothing.csv";
    EXPECT_FALSE(qx::LinkLauncher::start(options, &error));
    EXPECT_NE(error.find("nothing.csv"), std::string::npos);
    drain();
    EXPECT_EQ(manager().deviceType(), 0u);
}

TEST_F(LinkLauncherTest, ReplayFilePlaysItsRowsAndReportsTheBadOnes) {
    const auto file = dataDir() / "replay.csv";
    plat::file::writeAtomically(file, "0,0.2,1.0,47.0,8.0,400,1.5\n2,oops,1.1,47.0,8.0,400,1.5\n4,0.9,1.2,47.001,8.0,401,1.5\n");
    qx::LinkOptions options;
    options.demoDeviceType = 2;
    options.replayFile = file;
    ASSERT_TRUE(qx::LinkLauncher::start(options));
    drain();
    ASSERT_EQ(qx::LinkLauncher::replayBadRows().size(), 1u);
    EXPECT_EQ(qx::LinkLauncher::replayBadRows()[0].line, 2u);
    EXPECT_EQ(manager().getDER().value(), 0.2);
    advance(4);
    EXPECT_EQ(manager().getDER().value(), 0.9);
    ASSERT_TRUE(manager().currentLocation());
    EXPECT_EQ(manager().currentLocation()->latitude, 47.001);
    EXPECT_NEAR(manager().getDE().value() - demo()->history().size() * 0, demo()->dose(), 1e-12);
}

TEST_F(LinkLauncherTest, AccessoryDemoIsLostAndPluggedInAgain) {
    NotificationLog present(qx::kDevicePresentNotification);
    launchDemo(1);
    qx::LinkLauncher::loseInstrument();
    drain();
    EXPECT_EQ(manager().deviceType(), 0u);
    qx::LinkLauncher::reconnectInstrument();
    drain();
    EXPECT_EQ(manager().deviceType(), 1u);
    EXPECT_EQ(present.texts, (std::vector<std::string>{"VN2560", "", "VN2560"}));
}

}  // namespace
