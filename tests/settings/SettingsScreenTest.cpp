#include "SettingsTestFixture.h"
#include "settings/SettingsController.h"
#include "settings/SettingsLayer.h"
#include "settings/VNAppSettingsSection.h"
#include "settings/VNDeviceSettingSection.h"
#include "settings/VNHistorySection.h"
#include "settings/VNInfoSettingsSection.h"
#include "settings/VNNetworkSection.h"
#include "shell/KestrelAppDelegate.h"
#include "shell/TabBarController.h"

using qx::SettingsController;

namespace {

class SettingsScreenTest : public SettingsTest {
protected:
    void SetUp() override {
        SettingsTest::SetUp();
        screen = SettingsController::make();
        window->setRootViewController(screen);
    }
    void TearDown() override {
        window->setRootViewController(nullptr);
        screen.reset();
        SettingsTest::TearDown();
    }
    std::vector<std::string> headers() {
        std::vector<std::string> titles;
        for (const auto& section : screen->sections()) titles.push_back(section->title());
        return titles;
    }
    std::shared_ptr<SettingsController> screen;
};

const std::vector<std::string> kWithoutInstrument{"     App Settings", "     Info", "     Networked Solution"};

TEST_F(SettingsScreenTest, SectionsWithoutAnInstrument) {
    EXPECT_EQ(screen->navItem().title(), "Settings");
    EXPECT_EQ(headers(), kWithoutInstrument);
    EXPECT_EQ(screen->tableView()->numberOfSections(), 3);
    EXPECT_EQ(screen->deviceSection(), nullptr);
    for (const auto& section : screen->sections()) EXPECT_EQ(section->parentController(), screen);
    snapshot(*screen, "settings-no-instrument");
}

TEST_F(SettingsScreenTest, AccessoryModelsAddTheirSections) {
    connectDemo(1);
    EXPECT_EQ(headers(), (std::vector<std::string>{"     App Settings", "     Info", "     Device", "     Networked Solution"}));
    EXPECT_EQ(screen->sections()[2], screen->deviceSection());
    EXPECT_EQ(screen->deviceSection()->numRows(), 1u);
    resetLink();
    drain();

    connectDemo(2);
    EXPECT_EQ(headers(), (std::vector<std::string>{"     App Settings", "     Info", "     Device History", "     Device",
                                                   "     Networked Solution"}));
    EXPECT_EQ(screen->sections()[2], screen->historySection());
    screen->tableView()->scrollToRow({2, 0}, plat::ScrollPosition::Top, false);
    snapshot(*screen, "settings-accessory-history");
}

TEST_F(SettingsScreenTest, BluetoothInstrumentSectionIsBuiltFromItsDataService) {
    connectDemo(6);
    EXPECT_EQ(headers(), (std::vector<std::string>{"     App Settings", "     Info", "     Device", "     Networked Solution"}));
    auto device = screen->deviceSection();
    ASSERT_TRUE(device);
    EXPECT_EQ(device->service(), qx::VNBTLEManager::sharedInstance().dataService());
    EXPECT_EQ(device->numRows(), 5u);
    EXPECT_EQ(device->modelCell()->detailTextLabel().text(), device->service()->modelNumber());
    EXPECT_FALSE(device->service()->modelNumber().empty()) << "the version arrived after the information";
    screen->tableView()->scrollToRow({2, 4}, plat::ScrollPosition::Bottom, false);
    snapshot(*screen, "settings-bluetooth");

    // Losing it takes the section away.
    qx::LinkLauncher::loseInstrument();
    drain();
    EXPECT_EQ(headers(), kWithoutInstrument);
    EXPECT_EQ(screen->deviceSection(), nullptr);
}

TEST_F(SettingsScreenTest, VersionReportRebuildsEverySection) {
    screen->view();
    auto app = screen->appSection();
    auto& period = app->autoSavePeriodCell()->cellTextField();
    ASSERT_TRUE(period.becomeFirstResponder());
    period.typeText("77");
    plat::NotificationCenter::defaultCenter().post(qx::kVersionReceivedNotification, std::string("2.1"));
    EXPECT_NE(screen->appSection(), app);
    EXPECT_EQ(screen->sections()[0], screen->appSection());
    EXPECT_EQ(screen->appSection()->autoSavePeriodCell()->cellTextField().text(),
              std::to_string(settings().autosaveInterval()))
        << "an edit in progress is dropped with its section";
    EXPECT_EQ(app->parentController(), screen) << "the old section is not told anything";
}

TEST_F(SettingsScreenTest, LanguageSwitchRetitlesWithoutRebuilding) {
    screen->view();
    auto app = screen->appSection();
    auto history = screen->historySection();
    useLanguage("de");
    EXPECT_EQ(screen->navItem().title(), qx::Language::get("Settings"));
    EXPECT_NE(screen->navItem().title(), "Settings");
    EXPECT_EQ(screen->appSection(), app);
    EXPECT_EQ(headers()[0], qx::Language::get("     App Settings"));
    EXPECT_NE(headers()[0], "     App Settings");
    EXPECT_EQ(history->title(), qx::Language::get("     Device History")) << "a section not shown is retitled too";
    auto header = std::dynamic_pointer_cast<plat::Label>(screen->tableView()->headerView(1));
    ASSERT_TRUE(header);
    EXPECT_EQ(header->text(), qx::Language::get("     Info")) << "the table was reloaded";
}

TEST_F(SettingsScreenTest, NetworkSectionOffersRadResponderInEnglishOnly) {
    screen->view();
    auto network = std::dynamic_pointer_cast<qx::VNNetworkSection>(screen->networkSection());
    ASSERT_TRUE(network);
    EXPECT_EQ(rowTexts(*network), (std::vector<std::string>{"ZENET", "RadResponder"}));
    useLanguage("ja");
    screen->setupSections();
    network = std::dynamic_pointer_cast<qx::VNNetworkSection>(screen->networkSection());
    EXPECT_EQ(rowTexts(*network), std::vector<std::string>{qx::Language::get("ZENET")});
}

TEST_F(SettingsScreenTest, IsTheSettingsTabOnceRegistered) {
    qx::registerSettingsLayer();
    auto app = std::make_shared<qx::KestrelAppDelegate>();
    app->applicationDidFinishLaunching();
    drain();
    EXPECT_TRUE(std::dynamic_pointer_cast<SettingsController>(app->tabBarController()->screenForTab(qx::Tab::settings)));
}

}  // namespace
