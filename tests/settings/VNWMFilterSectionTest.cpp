#include "FilterSectionsTestFixture.h"
#include "dashboard/ThresholdController.h"
#include "model/DateStrings.h"
#include "settings/VNTimeDistPickerController.h"
#include "settings/VNWMFilterSection.h"
#include "settings/VNWMThresholdSection.h"
#include "shell/VNDatePickerController.h"

namespace {

constexpr plat::Date kEarlier{1773151200.0};  // 10 March 2026, 15:00 in Berlin

class WMFilterTest : public FilterSectionsTest {
protected:
    // The filter screen's start: the stored filter copied into new sections.
    void load() {
        filter = qx::VNSection::create<qx::VNWMFilterSection>();
        filter->readSettings(settings());
        filter->initRows();
        threshold = qx::VNSection::create<qx::VNWMThresholdSection>();
        threshold->readSettings(settings());
        threshold->initRows();
        show({filter, threshold});
    }
    qx::ThresholdController* editor() { return visibleAs<qx::ThresholdController>(); }

    std::shared_ptr<qx::VNWMFilterSection> filter;
    std::shared_ptr<qx::VNWMThresholdSection> threshold;
};

TEST_F(WMFilterTest, RowsShowTheStoredFilterWithBothTimesNow) {
    settings().setMetric(false);
    settings().setWMDistance(10);
    settings().setWMDistanceOn(true);
    settings().setWMTimeFromOn(true);
    settings().setWMTimeFrom(kEarlier);
    settings().setWMAlertsOnly(true);
    load();
    ASSERT_EQ(filter->numRows(), 4u);
    EXPECT_EQ(filter->cellForRowAtIndex(0), filter->distanceCell());
    EXPECT_EQ(filter->cellForRowAtIndex(1), filter->timeFromCell());
    EXPECT_EQ(filter->cellForRowAtIndex(2), filter->timeToCell());
    EXPECT_EQ(filter->cellForRowAtIndex(3), filter->alertsOnlyCell());
    EXPECT_EQ(filter->distanceCell()->value().text(), "10");
    EXPECT_EQ(filter->distanceCell()->unit().text(), "miles");
    EXPECT_TRUE(filter->distanceCell()->checkButton().checked());
    EXPECT_EQ(filter->timeFrom(), kEarlier) << "the screen opens on the window in force";
    EXPECT_EQ(filter->timeFromCell()->value().text(), qx::DateStrings::dateTimeMediumStr(kEarlier));
    EXPECT_TRUE(filter->timeFromCell()->checkButton().checked());
    EXPECT_FALSE(filter->timeToCell()->checkButton().checked());
    EXPECT_EQ(filter->timeFromCell()->title().text(), "Time From");
    EXPECT_TRUE(filter->alertsOnlyCell()->checkButton().checked());
    EXPECT_EQ(filter->alertsOnlyCell()->value().text(), "");

    filter->setAlertsOnly(false);
    filter->initRows();
    EXPECT_FALSE(filter->alertsOnlyCell()->checkButton().checked()) << "initRows shows a value changed from outside";
}

TEST_F(WMFilterTest, EditsStayInTheSectionsUntilApplied) {
    settings().setWMTimeFrom(kEarlier);
    load();
    filter->alertsOnlyCell()->checkButton().performTap();
    filter->timeToCell()->checkButton().performTap();
    EXPECT_TRUE(filter->alertsOnly());
    EXPECT_TRUE(filter->timeToOn());
    EXPECT_FALSE(settings().WMAlertsOnly()) << "nothing reaches the preferences before apply";

    const plat::Date storedFrom = settings().WMTimeFrom();
    clock().advance(60);
    filter->applyToSettings(settings());
    threshold->applyToSettings(settings());
    EXPECT_TRUE(settings().WMAlertsOnly());
    EXPECT_TRUE(settings().WMTimeToOn());
    EXPECT_EQ(settings().WMTimeTo(), plat::Date::now()) << "a bound never chosen stays now, applied or not";
    EXPECT_EQ(settings().WMTimeFrom(), storedFrom) << "a bound applied unchanged stays as it was";

    // A day later the bound never chosen shows that day; one picked keeps its time.
    clock().advance(86400);
    load();
    EXPECT_EQ(filter->timeTo(), plat::Date::now());
    filter->setTimeTo(kEarlier);
    filter->applyToSettings(settings());
    clock().advance(86400);
    EXPECT_EQ(settings().WMTimeTo(), kEarlier);
    EXPECT_EQ(settings().WMDistance(), 10u);
}

TEST_F(WMFilterTest, PickingATimeKeepsTheCheckBoxAsItIs) {
    load();
    ASSERT_TRUE(host->tableView()->userSelectRow({0, 1}));
    auto* picker = visibleAs<qx::VNDatePickerController>();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->title(), "Time From");
    EXPECT_EQ(picker->datePicker()->mode(), plat::DatePickerMode::DateAndTime);
    EXPECT_EQ(picker->modalTransitionStyle(), plat::TransitionStyle::FlipHorizontal);
    picker->datePicker()->pickDate(kEarlier);
    EXPECT_EQ(filter->timeFrom(), kEarlier);
    EXPECT_EQ(filter->timeFromCell()->value().text(), qx::DateStrings::dateTimeMediumStr(kEarlier));
    EXPECT_FALSE(filter->timeFromOn());
    EXPECT_FALSE(filter->timeFromCell()->checkButton().checked());
    picker->onBack();
    EXPECT_EQ(visible(), host.get());
    EXPECT_EQ(filter->timeFrom(), kEarlier);
}

TEST_F(WMFilterTest, DistancePickerStartsFromTheStoredRadius) {
    settings().setWMDistance(15);
    load();
    filter->setDistance(40);
    ASSERT_TRUE(host->tableView()->userSelectRow({0, 0}));
    auto* picker = visibleAs<qx::VNTimeDistPickerController>();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->mode(), qx::VNTimeDistPickerController::kMapDistanceMode);
    EXPECT_EQ(picker->picker()->selectedRow(0), 5) << "15, not the edited 40";
    picker->picker()->spin(6, 0);
    EXPECT_EQ(filter->distance(), 20);
    EXPECT_EQ(filter->distanceCell()->value().text(), "20");
    EXPECT_EQ(settings().WMDistance(), 15u);
    picker->onBack();
    EXPECT_EQ(visible(), host.get());
}

TEST_F(WMFilterTest, ThresholdEditorWithOneHandle) {
    settings().setWMthresholdValue(0.5);
    settings().setWMthresholdScaleRange(-1);
    load();
    auto row = threshold->thresholdCell();
    EXPECT_EQ(row->type(), 3u);
    EXPECT_EQ(row->thresholdTitle().text(), "Indication threshold");
    EXPECT_EQ(row->value(), "0.50 µSv/h");

    ASSERT_TRUE(host->tableView()->userSelectRow({1, 0}));
    ASSERT_NE(editor(), nullptr);
    EXPECT_TRUE(editor()->singleHandleMode());
    EXPECT_EQ(editor()->mode(), 0);
    EXPECT_EQ(editor()->scaleMinValue(), 0);
    EXPECT_EQ(editor()->scaleMaxValue(), 1e8);
    EXPECT_EQ(editor()->firstThreshValue(), 0.5);
    EXPECT_EQ(editor()->secondThreshValue(), 0.5);
    editor()->moveHandle(0, 0.8);
    editor()->onBack();
    EXPECT_EQ(visible(), host.get());
    EXPECT_EQ(threshold->thresholdValue(), 0.5) << "going back keeps the previous value";
    EXPECT_EQ(threshold->thresholdScaleRange(), -1);

    threshold->selectRowAtIndex(0);
    ASSERT_TRUE(editor()->moveHandle(0, 0.8));
    editor()->shiftScale(1);
    editor()->apply();
    EXPECT_EQ(visible(), host.get());
    EXPECT_DOUBLE_EQ(threshold->thresholdValue(), 0.8) << "the value of the one handle is kept";
    EXPECT_EQ(threshold->thresholdScaleRange(), 0);
    EXPECT_EQ(row->value(), "0.80 µSv/h");
    EXPECT_EQ(settings().WMthresholdValue(), 0.5) << "held until the screen applies";
    threshold->applyToSettings(settings());
    EXPECT_DOUBLE_EQ(settings().WMthresholdValue(), 0.8);
    EXPECT_EQ(settings().WMthresholdScaleRange(), 0);
}

TEST_F(WMFilterTest, LanguageSwitchRetitlesTheRows) {
    load();
    useLanguage("de");
    EXPECT_EQ(filter->timeFromCell()->title().text(), "Zeit ab");
    EXPECT_EQ(filter->alertsOnlyCell()->title().text(), "Nur Warnungen");
    EXPECT_EQ(filter->distanceCell()->title().text(), "Entfernung");
    EXPECT_EQ(filter->distanceCell()->unit().text(), "km");
    EXPECT_EQ(filter->timeToCell()->value().text(), qx::DateStrings::dateTimeMediumStr(filter->timeTo()));
    EXPECT_NE(threshold->thresholdCell()->thresholdTitle().text(), "Indication threshold");
    render(*host->view(), "world-map-filter-de");
}

}  // namespace
