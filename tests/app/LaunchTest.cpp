#include <filesystem>

#include "HostFixture.h"
#include "link/DemoWalk.h"
#include "link/DeviceManager.h"
#include "model/DoseUnit.h"
#include "model/Settings.h"
#include "platform/foundation/FileUtil.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/UiText.h"
#include "shell/KestrelAppDelegate.h"
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

TEST_F(HostTest, AReadOnlyDataFolderIsRefusedBeforeAnythingInItIsTouched) {
    launch();
    host.reset();  // closes the store: the folder now holds a database
    const auto database = dataDir() / qx::Store::kFileName;
    ASSERT_TRUE(std::filesystem::exists(database));
    std::filesystem::remove_all(dataDir() / "Documents");
    const auto before = std::filesystem::last_write_time(database);
    std::filesystem::permissions(dataDir(), std::filesystem::perms::owner_write | std::filesystem::perms::group_write |
                                                std::filesystem::perms::others_write,
                                 std::filesystem::perm_options::remove);
    EXPECT_EQ(start(), StartResult::failed);
    std::filesystem::permissions(dataDir(), std::filesystem::perms::owner_write, std::filesystem::perm_options::add);
    EXPECT_NE(error.find("read-only"), std::string::npos) << error;
    EXPECT_EQ(host->window(), nullptr);
    EXPECT_FALSE(plat::AlertView::frontmostAlert()) << "no database alert over an empty application";
    EXPECT_FALSE(std::filesystem::exists(dataDir() / "Documents"));
    EXPECT_EQ(std::filesystem::last_write_time(database), before);
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

TEST_F(HostTest, AnOpenedFileIsImportedIntoTheStore) {
    qx::LinkOptions link;
    link.demo = false;
    launch(link);
    const auto file = dataDir() / "walk.csv";
    plat::file::writeAtomically(file, "date,der,variation,de,accumulation,latitude,longitude,altitude\n"
                                      "2026-12-07T10:00:00Z,0.2,10,1.5,00:10:00,47.37,8.54,410\n");
    auto app = qx::KestrelAppDelegate::sharedDelegate();
    ASSERT_TRUE(app);
    EXPECT_TRUE(app->openURL("file://" + file.string()));
    drain();
    EXPECT_TRUE(run("expect-store waypoints == 1").ok);
    EXPECT_TRUE(run("expect-store measurements == 1").ok);
    ASSERT_TRUE(plat::AlertView::frontmostAlert()) << "the person is told what was imported";
}

}  // namespace
