#include <gtest/gtest.h>

#include "FilterSectionsTestFixture.h"
#include "model/Settings.h"
#include "settings/VNSetDetailsFilterViewController.h"
#include "settings/VNSetFilterViewController.h"

namespace {

using qx::Settings;

// The two history filter screens presented on the window, with a stored filter of every kind.
class SetFilterScreensTest : public FilterSectionsTest {
protected:
    void SetUp() override {
        FilterSectionsTest::SetUp();
        auto& s = Settings::sharedSettings();
        s.setHistoryDayFrom(true);
        s.setHistoryDaysTo(false);
        s.setHistoryDateFrom(storedFrom);
        s.setHistoryDateTo(storedTo);
        s.setHistoryFilterAlarmsOnly(true);
        s.setHistoryDeviceTypeOnly(4);
        s.setHistoryDetectorOnlySerials({"SN-7"});
        s.setHistorySortMode(2);
        s.save();
    }

    template <class Screen>
    std::shared_ptr<Screen> present(int* closed) {
        auto screen = Screen::make();
        screen->setOnBackBlock([closed] { ++*closed; });
        host->presentViewController(screen, false);
        screen->view();
        return screen;
    }

    const plat::Date storedFrom = plat::Date(1.6e9), storedTo = plat::Date(1.61e9);
};

TEST_F(SetFilterScreensTest, ListFilterOpensOnTheStoredValuesAndApplyKeepsThem) {
    int closed = 0;
    auto screen = present<qx::VNSetFilterViewController>(&closed);
    const auto& filter = screen->filterSection();
    ASSERT_TRUE(filter);
    EXPECT_EQ(screen->sections().size(), 2u);
    EXPECT_EQ(filter->numRows(), 5u);  // day from, day to, alarms, devices, detectors
    EXPECT_TRUE(filter->dateFromChecked());
    EXPECT_TRUE(filter->alarmsChecked());
    EXPECT_EQ(filter->deviceType(), 4u);
    EXPECT_EQ(screen->sortSection()->sortMode(), 2u);

    // Unapplied changes are dropped by a reset and never reach the preferences.
    filter->setAlarmsChecked(false);
    screen->resetButton()->press();
    EXPECT_TRUE(screen->filterSection()->alarmsChecked());
    EXPECT_TRUE(Settings::sharedSettings().historyFilterAlarmsOnly());
    EXPECT_EQ(closed, 0);

    advance(90);
    screen->applyButton()->press();
    EXPECT_EQ(closed, 1);
    const auto& s = Settings::sharedSettings();
    EXPECT_EQ(s.historyDateFrom(), storedFrom) << "a range applied unchanged stays as it was";
    EXPECT_EQ(s.historyDateTo(), storedTo);
    EXPECT_TRUE(s.historyDayFrom());
    EXPECT_FALSE(s.historyDaysTo());
    EXPECT_TRUE(s.historyFilterAlarmsOnly());
    EXPECT_EQ(s.historyDeviceTypeOnly(), 4u);
    EXPECT_EQ(s.historyDetectorOnlySerials(), (std::set<std::string>{"SN-7"}));
    EXPECT_EQ(s.historySortMode(), 2u);
    EXPECT_TRUE(saved().boolForKey("HistoryDayFrom"));
}

TEST_F(SetFilterScreensTest, DetailsFilterShowsTheStoredAlarmsFilterAndNeverTouchesTheDayRange) {
    int closed = 0;
    auto screen = present<qx::VNSetDetailsFilterViewController>(&closed);
    auto filter = screen->detailsFilterSection();
    ASSERT_TRUE(filter);
    EXPECT_EQ(filter->numRows(), 3u);  // alarms, devices, detectors
    EXPECT_TRUE(filter->alarmsChecked());
    EXPECT_TRUE(filter->alarmsCell()->checkButton().checked());

    filter->alarmsCell()->checkButton().performTap();

    filter->setDeviceType(0);
    filter->setDetectors({});
    screen->sortSection()->setSortMode(1);
    screen->applyButton()->press();
    EXPECT_EQ(closed, 1);
    const auto& s = Settings::sharedSettings();
    EXPECT_FALSE(s.historyFilterAlarmsOnly());
    EXPECT_EQ(s.historyDeviceTypeOnly(), 0u);
    EXPECT_TRUE(s.historyDetectorOnlySerials().empty());
    EXPECT_EQ(s.historySortMode(), 1u);
    EXPECT_EQ(s.historyDateFrom(), storedFrom);
    EXPECT_EQ(s.historyDateTo(), storedTo);
    EXPECT_TRUE(s.historyDayFrom());
}

}  // namespace
