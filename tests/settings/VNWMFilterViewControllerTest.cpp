// The World Map tab's filter screen: what it shows on opening and after a reset, and what
// applying stores.
#include <cmath>

#include "FilterSectionsTestFixture.h"
#include "settings/VNWMFilterSection.h"
#include "settings/VNWMFilterViewController.h"
#include "settings/VNWMThresholdSection.h"

namespace {

constexpr plat::Date kEarlier{1773151200.0};

class WMFilterScreenTest : public FilterSectionsTest {
protected:
    std::shared_ptr<qx::VNWMFilterViewController> open() {
        auto screen = qx::VNWMFilterViewController::make();
        screen->setOnBackBlock([this] { ++closed; });
        host->presentViewController(screen, false);
        return screen;
    }
    int closed = 0;
};

TEST_F(WMFilterScreenTest, ApplyingUntouchedStoresNowAsBothBoundsAndSavesTheRest) {
    settings().setWMTimeFromOn(true);
    settings().setWMTimeFrom(kEarlier);
    settings().setWMDistance(20);
    settings().setWMthresholdValue(0.4);
    settings().setWMthresholdScaleRange(2);
    auto screen = open();
    ASSERT_EQ(screen->sections().size(), 2u);
    EXPECT_EQ(screen->sections()[0], screen->filterSection());
    EXPECT_EQ(screen->sections()[1], screen->thresholdSection());
    EXPECT_EQ(screen->tableView()->numberOfRows(0), 4);
    EXPECT_EQ(screen->applyButton()->title(), "Apply");

    advance(60);
    ASSERT_TRUE(screen->applyButton()->press());
    EXPECT_EQ(closed, 1);
    EXPECT_EQ(settings().WMTimeFrom(), kEarlier) << "applying without picking keeps the window";
    EXPECT_TRUE(settings().WMTimeFromOn());
    EXPECT_EQ(settings().WMDistance(), 20u);
    EXPECT_DOUBLE_EQ(settings().WMthresholdValue(), 0.4);
    EXPECT_EQ(settings().WMthresholdScaleRange(), 2);
    EXPECT_DOUBLE_EQ(saved().doubleForKey("WMthresholdValue"), 0.4);  // written to disk
}

TEST_F(WMFilterScreenTest, ResetDiscardsEditsAndNothingIsStoredWithoutApply) {
    settings().setWMAlertsOnly(true);
    settings().setWMDistance(5);
    settings().setWMTimeTo(kEarlier);
    auto screen = open();
    screen->filterSection()->setAlertsOnly(false);
    screen->filterSection()->setDistance(50);
    screen->thresholdSection()->setThresholdValue(9);
    ASSERT_TRUE(screen->resetButton()->press());
    EXPECT_TRUE(screen->filterSection()->alertsOnly());
    EXPECT_EQ(screen->filterSection()->distance(), 5);
    EXPECT_DOUBLE_EQ(screen->thresholdSection()->thresholdValue(), settings().WMthresholdValue());

    screen->filterSection()->setAlertsOnly(false);
    screen->onBack();
    EXPECT_TRUE(settings().WMAlertsOnly());
    EXPECT_EQ(settings().WMTimeTo(), kEarlier);
    EXPECT_FALSE(saved().boolForKey("WMAlertsOnly", false));  // never saved
}

TEST_F(WMFilterScreenTest, TheThresholdRowWritesNoUnitBesideNotAvailable) {
    settings().setWMthresholdValue(0.4);
    auto screen = open();
    auto section = screen->thresholdSection();
    EXPECT_EQ(section->thresholdCell()->value(), "0.40 µSv/h");
    for (double none : {0.0, -1.0, std::nan("")}) {
        section->setThresholdValue(none);
        section->updateThreshold();
        EXPECT_EQ(section->thresholdCell()->value(), "n/a") << none;
    }
}

}  // namespace
