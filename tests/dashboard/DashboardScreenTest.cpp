#include <algorithm>
#include <cmath>

#include "DashboardTestFixture.h"
#include "dashboard/DashboardController.h"
#include "dashboard/FoundInstrumentsSection.h"
#include "dashboard/VNDoseThresholdsSection.h"
#include "dashboard/VNSearchSettingSection.h"
#include "dashboard/VNBTLETableViewController.h"
#include "platform/ui/Window.h"
#include "shell/KestrelAppDelegate.h"
#include "shell/TabBarController.h"
#include "shell/VNTableViewController.h"
#include "shell/VNThresholdTableViewCell.h"

using qx::DashboardController;

namespace {

class DashboardScreenTest : public DashboardTest {
protected:
    void SetUp() override {
        DashboardTest::SetUp();
        settings().DERthreshold().firstThreshold->setValue(0.3);
        settings().DERthreshold().secondThreshold->setValue(1.2);
        settings().DEthreshold().firstThreshold->setValue(100);
        settings().DEthreshold().secondThreshold->setValue(1000);
        window = std::make_unique<plat::Window>();
        dashboard = DashboardController::make(readings);
        window->setRootViewController(dashboard);
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        window.reset();
        dashboard.reset();
        DashboardTest::TearDown();
    }
    std::shared_ptr<FakeReadings> readings = std::make_shared<FakeReadings>();
    std::unique_ptr<plat::Window> window;
    std::shared_ptr<DashboardController> dashboard;
};

TEST_F(DashboardScreenTest, ShowsReadingsWithUnitsInThresholdColours) {
    EXPECT_EQ(readings->delegate.lock().get(), static_cast<qx::DeviceManagerDelegate*>(dashboard.get()))
        << "the shown dashboard receives the readings";
    EXPECT_EQ(dashboard->doseRateValueLabel().text(), "n/a");
    EXPECT_EQ(dashboard->doseRateUnitLabel().text(), "µSv/h");

    readings->type = 3;
    readings->report(0.8, 1500);
    EXPECT_EQ(dashboard->doseRateValueLabel().text(), "0.80");
    EXPECT_EQ(dashboard->doseRateValueLabel().textColor(), plat::Color::orange());
    EXPECT_EQ(dashboard->doseValueLabel().text(), "1.50");
    EXPECT_EQ(dashboard->doseUnitLabel().text(), "mSv");
    EXPECT_EQ(dashboard->doseValueLabel().textColor(), plat::Color::red());
    EXPECT_EQ(dashboard->progressBar().der(), 0.8);
    EXPECT_EQ(dashboard->progressBar().secondThreshold(), 1.2);

    readings->report(0.3, 50);
    EXPECT_EQ(dashboard->doseRateValueLabel().textColor(), qx::Settings::kGreen);

    settings().setUnit(0);
    useLanguage("de");
    EXPECT_EQ(dashboard->doseRateUnitLabel().text(), "µR/h");
    EXPECT_EQ(dashboard->doseRateValueLabel().text(), "30.0");
    EXPECT_EQ(dashboard->modeSettingsButton().title(), "Moduseinstellungen");

    readings->type = 0;  // the instrument is gone: its last values are not a live reading
    readings->report(0.3, 50);
    EXPECT_EQ(dashboard->doseRateValueLabel().text(), "k. A.");
    EXPECT_EQ(dashboard->doseValueLabel().text(), "k. A.");
    // A value not known is no safe reading: neither of the alarm colours nor the safe green.
    for (const auto* value : {&dashboard->doseRateValueLabel(), &dashboard->doseValueLabel()}) {
        EXPECT_NE(value->textColor(), qx::Settings::kGreen);
        EXPECT_EQ(value->textColor().r, value->textColor().g);
        EXPECT_EQ(value->textColor().g, value->textColor().b);
    }
}

// WCAG contrast ratio of two opaque colours.
double contrast(const plat::Color& a, const plat::Color& b) {
    auto luminance = [](const plat::Color& c) {
        auto lin = [](double v) { return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4); };
        return 0.2126 * lin(c.r) + 0.7152 * lin(c.g) + 0.0722 * lin(c.b);
    };
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

TEST_F(DashboardScreenTest, ButtonTitlesAreReadableInEveryLanguage) {
    auto buttons = dashboard->modeControl().buttons();
    buttons.push_back(std::shared_ptr<plat::Button>(dashboard, &dashboard->modeSettingsButton()));
    buttons.push_back(std::shared_ptr<plat::Button>(dashboard, &dashboard->instrumentsButton()));
    // The buttons' pictures are not drawn here: their own colour is what the title stands on.
    for (const auto& button : buttons) {
        ASSERT_TRUE(button->backgroundColor()) << button->currentTitle();
        EXPECT_GE(contrast(button->currentTitleColor(), *button->backgroundColor()), 4.5) << button->currentTitle();
    }
    const auto& modes = dashboard->modeControl().buttons();
    EXPECT_NE(modes[0]->backgroundColor(), modes[1]->backgroundColor()) << "the chosen mode stands out";
    dashboard->setMode(DashboardController::doseMode);
    EXPECT_EQ(modes[0]->backgroundColor(), modes[2]->backgroundColor()) << "no longer chosen, like the others";
    EXPECT_NE(modes[1]->backgroundColor(), modes[0]->backgroundColor());

    for (const char* code : {"en", "de", "ru", "fr"}) {
        useLanguage(code);
        for (const auto& button : buttons) {
            const plat::Font& font = button->titleLabel().font();
            EXPECT_LE(font.widthOf(button->currentTitle()), button->frame().width()) << code << " " << button->currentTitle();
            EXPECT_GE(font.size, 11) << code << " " << button->currentTitle();
        }
    }
}

TEST_F(DashboardScreenTest, ModeSwitchChoosesTheModeSettingsSection) {
    EXPECT_EQ(dashboard->mode(), 0u);
    ASSERT_TRUE(dashboard->modeControl().buttons()[1]->performTap());
    EXPECT_EQ(dashboard->mode(), 1u);
    EXPECT_TRUE(dashboard->modeControl().buttons()[1]->isSelected());
    EXPECT_FALSE(dashboard->modeControl().buttons()[0]->isSelected());
    dashboard->setMode(7);
    EXPECT_EQ(dashboard->mode(), 1u);

    ASSERT_TRUE(dashboard->modeSettingsButton().performTap());
    auto* screen = dynamic_cast<qx::VNTableViewController*>(window->visibleViewController());
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->title(), "Mode Settings");
    EXPECT_TRUE(screen->wasPresentedAnimated());
    ASSERT_EQ(screen->sections().size(), 1u);
    EXPECT_TRUE(std::dynamic_pointer_cast<qx::VNDoseThresholdsSection>(screen->sections()[0]));
    EXPECT_EQ(screen->sections()[0]->parentController().get(), screen);
    screen->onBack();
    EXPECT_EQ(window->visibleViewController(), dashboard.get());

    dashboard->setMode(2);
    auto search = dashboard->showModeSettings();
    EXPECT_TRUE(std::dynamic_pointer_cast<qx::VNSearchSettingSection>(search->sections().at(0)));
    search->onBack();
    dashboard->setMode(0);
    auto rate = dashboard->showModeSettings();
    EXPECT_TRUE(std::dynamic_pointer_cast<qx::VNDoseRateThresholdsSection>(rate->sections().at(0)));
    EXPECT_FALSE(std::dynamic_pointer_cast<qx::VNDoseThresholdsSection>(rate->sections().at(0)));
}

class CountingSection : public qx::VNSection {
public:
    int built = 0;
    void initRows() override {
        ++built;
        std::vector<qx::VNTableViewCellPtr> cells;
        for (int i = 0; i < built; ++i) cells.push_back(qx::VNTableViewCell::loadFromNib());
        setRows(std::move(cells));
    }
};

TEST_F(DashboardScreenTest, InstrumentListFollowsTheManagerUntilItCloses) {
    auto list = qx::VNSection::create<CountingSection>();
    qx::DashboardSections::setInstrumentListMaker([list] { return list; });
    ASSERT_TRUE(dashboard->instrumentsButton().performTap());
    auto* screen = dynamic_cast<qx::VNBTLETableViewController*>(window->visibleViewController());
    ASSERT_NE(screen, nullptr);
    EXPECT_EQ(screen->modalTransitionStyle(), plat::TransitionStyle::FlipHorizontal);
    auto& manager = qx::VNBTLEManager::sharedInstance();
    EXPECT_EQ(manager.delegate().get(), static_cast<qx::VNBTLEManagerDelegate*>(screen));
    EXPECT_TRUE(manager.isScanning());

    auto table = screen->tableView();
    EXPECT_EQ(table->numberOfRows(0), 1);
    manager.delegate()->managerDidRefresh();
    EXPECT_EQ(list->built, 2);
    EXPECT_EQ(table->numberOfRows(0), 2) << "the table reloads after the rows were rebuilt";

    screen->onBack();
    EXPECT_EQ(window->visibleViewController(), dashboard.get());
    EXPECT_EQ(manager.delegate(), qx::DeviceManager::sharedPointer());
}

TEST_F(DashboardScreenTest, PlainInstrumentListNamesTheFoundModels) {
    EXPECT_EQ(qx::FoundInstrumentsSection::displayName("VN2450A$1234"), "VN2450A");
    EXPECT_EQ(qx::FoundInstrumentsSection::displayName("VN2110BT"), "VN2110BT");
    auto screen = dashboard->showInstrumentList();
    ASSERT_TRUE(screen);
    ASSERT_EQ(screen->sections().size(), 1u);
    EXPECT_TRUE(std::dynamic_pointer_cast<qx::FoundInstrumentsSection>(screen->sections()[0]));
    EXPECT_EQ(screen->sections()[0]->numRows(), qx::VNBTLEManager::sharedInstance().foundPeripherals().size());
}

TEST_F(DashboardScreenTest, IsTheFirstTabOnceRegistered) {
    qx::registerDashboardLayer();
    auto app = std::make_shared<qx::KestrelAppDelegate>();
    app->applicationDidFinishLaunching();
    drain();
    EXPECT_TRUE(std::dynamic_pointer_cast<DashboardController>(app->tabBarController()->screenForTab(qx::Tab::dashboard)));
}

}  // namespace
