#include <filesystem>

#include "HostFixture.h"
#include "link/DemoWalk.h"
#include "link/DeviceManager.h"
#include "model/DoseUnit.h"
#include "model/Settings.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/UiText.h"
#include "store/Store.h"

namespace {

using qxtest::HostTest;
using StartResult = qx::app::AppHost::StartResult;

TEST_F(HostTest, LaunchOpensTheStoreAndShowsTheDemoInstrumentsReadings) {
    launch();
    EXPECT_TRUE(qx::Store::defaultStore().isOpen());
    EXPECT_EQ(qx::Store::defaultStore().file(), dataDir() / qx::Store::kFileName);
    EXPECT_EQ(qx::DeviceManager::sharedDeviceManager().deviceType(), 3u);
    const std::string background = qx::DoseUnit(qx::DemoWalk::kBackground).stringValue();
    EXPECT_TRUE(run("expect " + background).ok) << "the demo's first reading shows on the dashboard";
}

TEST_F(HostTest, ToolkitWordsFollowTheInterfaceLanguage) {
    qx::Settings::sharedSettings().setLanguage("de");
    qx::Settings::sharedSettings().save();
    launch();
    EXPECT_EQ(plat::uiText("Back"), "Zurück");
    EXPECT_EQ(plat::uiText("Cancel"), "Abbrechen");
}

TEST_F(HostTest, AStoreThatCannotOpenIsReportedAndTheApplicationGoesOn) {
    // A folder where the database file belongs cannot be opened as one.
    std::filesystem::create_directories(dataDir() / qx::Store::kFileName / "in-the-way");
    launch();
    EXPECT_FALSE(qx::Store::defaultStore().isOpen());
    auto alert = plat::AlertView::frontmostAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Database Error");
    EXPECT_TRUE(run("press OK").ok);
    EXPECT_FALSE(plat::AlertView::frontmostAlert());

    // Nothing can be stored, but the readings still show.
    EXPECT_TRUE(run("advance 3700").ok);
    EXPECT_TRUE(run("expect-store autosaved == 0").ok);
    EXPECT_TRUE(run("reading 0.5").ok);
    EXPECT_TRUE(run("advance 1").ok);
    EXPECT_TRUE(run("expect 0.50").ok);
}

TEST_F(HostTest, AnUnplayableReplayStopsTheLaunch) {
    qx::LinkOptions link;
    link.replayFile = dataDir() / "missing.csv";
    EXPECT_EQ(start(link), StartResult::badOptions);
    EXPECT_NE(error.find("missing.csv"), std::string::npos) << error;
    EXPECT_EQ(host->window(), nullptr);
}

TEST_F(HostTest, WithoutTheDemoNothingConnects) {
    qx::LinkOptions link;
    link.demo = false;
    launch(link);
    EXPECT_EQ(qx::DeviceManager::sharedDeviceManager().deviceType(), 0u);
    EXPECT_TRUE(run("expect n/a").ok);
}

}  // namespace
