#include "FilterSectionsTestFixture.h"
#include "model/DateStrings.h"
#include "settings/VNDetectorsSection.h"
#include "settings/VNDeviceTypesSection.h"
#include "settings/VNSetDetailsFilterSection.h"
#include "settings/VNSetFilterSection.h"
#include "shell/VNDatePickerController.h"

namespace {

constexpr plat::Date kMarch10{1773151200.0};  // 10 March 2026, 15:00 in Berlin

class SetFilterTest : public FilterSectionsTest {
protected:
    template <class T>
    std::shared_ptr<T> load() {
        auto section = qx::VNSection::create<T>();
        section->readSettings(settings());
        section->initRows();
        show({section});
        return section;
    }
    // The check list that a row opened, on the screen now shown.
    template <class T>
    std::shared_ptr<T> openedList() {
        auto* screen = visibleAs<qx::VNTableViewController>();
        if (!screen || screen == host.get() || screen->sections().size() != 1) return nullptr;
        return std::dynamic_pointer_cast<T>(screen->sections()[0]);
    }
};

TEST_F(SetFilterTest, DetectorRowOnlyWhenThereIsAChoice) {
    auto list = load<qx::VNSetFilterSection>();
    auto details = load<qx::VNSetDetailsFilterSection>();
    EXPECT_EQ(list->numRows(), 4u);
    EXPECT_EQ(details->numRows(), 2u);
    EXPECT_EQ(details->cellForRowAtIndex(0), details->alarmsCell());

    list->setDetectors({"SN-1"});
    list->initRows();
    details->setDetectors({"SN-1"});
    details->initRows();
    EXPECT_EQ(list->numRows(), 5u);
    EXPECT_EQ(details->numRows(), 3u);
    EXPECT_EQ(list->cellForRowAtIndex(4), list->detectorCell());

    // Readings with serials make the row available even before any is chosen.
    storeReadings({std::nullopt, std::string("SN-2")});
    list->setDetectors({});
    list->initRows();
    EXPECT_EQ(list->numRows(), 5u);
    EXPECT_EQ(list->detectorCell()->textLabel().text(), "Detectors Only");
    EXPECT_EQ(list->detectorCell()->accessoryType(), plat::AccessoryType::DisclosureIndicator);
}

TEST_F(SetFilterTest, ReadAndApplyTheStoredFilter) {
    settings().setHistoryDayFrom(true);
    settings().setHistoryDateFrom(kMarch10);
    settings().setHistoryFilterAlarmsOnly(true);
    settings().setHistoryDeviceTypeOnly(3);
    settings().setHistoryDetectorOnlySerials({"A", "B"});
    auto list = load<qx::VNSetFilterSection>();
    EXPECT_EQ(list->dateFrom(), kMarch10) << "the screen opens on the range in force";
    EXPECT_EQ(list->dayFromCell()->value().text(), "10.03.2026");
    EXPECT_TRUE(list->dayFromCell()->checkButton().checked());
    EXPECT_FALSE(list->dayToCell()->checkButton().checked());
    EXPECT_TRUE(list->alarmsCell()->checkButton().checked());

    list->alarmsCell()->checkButton().performTap();
    EXPECT_TRUE(settings().historyFilterAlarmsOnly()) << "held until applied";
    list->applyToSettings(settings());
    EXPECT_EQ(settings().historyDateFrom(), kMarch10) << "applying without picking keeps the day";
    EXPECT_TRUE(settings().historyDayFrom());
    EXPECT_FALSE(settings().historyFilterAlarmsOnly());
    EXPECT_EQ(settings().historyDeviceTypeOnly(), 3u);
    EXPECT_EQ(settings().historyDetectorOnlySerials(), (std::set<std::string>{"A", "B"}));

    // The day's details filter shows the alarms filter in force and never writes the day range.
    settings().setHistoryFilterAlarmsOnly(true);
    settings().setHistoryDateFrom(kMarch10);
    clock().advance(3600);
    auto details = load<qx::VNSetDetailsFilterSection>();
    EXPECT_TRUE(details->alarmsChecked());
    EXPECT_TRUE(details->alarmsCell()->checkButton().checked());
    details->setDeviceType(5);
    details->applyToSettings(settings());
    EXPECT_TRUE(settings().historyFilterAlarmsOnly());
    EXPECT_EQ(settings().historyDeviceTypeOnly(), 5u);
    EXPECT_EQ(settings().historyDateFrom(), kMarch10);
}

TEST_F(SetFilterTest, DetailsFilterKeepsItsCellsButShowsCurrentValues) {
    auto details = qx::VNSection::create<qx::VNSetDetailsFilterSection>();
    auto alarms = details->alarmsCell();
    details->setAlarmsChecked(true);
    details->initRows();
    EXPECT_EQ(details->alarmsCell(), alarms) << "cells made on creation are kept";
    EXPECT_TRUE(alarms->checkButton().checked()) << "the box shows the value that applying would store";
}

TEST_F(SetFilterTest, DayRowsTickAndPickIndependently) {
    auto list = load<qx::VNSetFilterSection>();
    const auto opened = list->dateFrom();
    list->dayFromCell()->checkButton().performTap();
    EXPECT_TRUE(list->dateFromChecked());
    EXPECT_EQ(list->dateFrom(), opened) << "ticking leaves the day";

    ASSERT_TRUE(host->tableView()->userSelectRow({0, 1}));
    auto* picker = visibleAs<qx::VNDatePickerController>();
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(picker->datePicker()->mode(), plat::DatePickerMode::Date);
    EXPECT_EQ(picker->title(), "Day to");
    picker->datePicker()->pickDate(kMarch10);
    EXPECT_EQ(list->dateTo(), kMarch10);
    EXPECT_EQ(list->dayToCell()->value().text(), "10.03.2026") << "shown at once";
    EXPECT_FALSE(list->dateToChecked()) << "picking leaves the box";
    picker->onBack();
    EXPECT_EQ(visible(), host.get());
    EXPECT_EQ(list->dateTo(), kMarch10);
}

TEST_F(SetFilterTest, DeviceTypeListHandsItsChoiceBack) {
    settings().setHistoryDeviceTypeOnly(4);
    auto list = load<qx::VNSetFilterSection>();
    list->deviceTypeCell()->onSelectCell();
    auto types = openedList<qx::VNDeviceTypesSection>();
    ASSERT_TRUE(types);
    EXPECT_EQ(visible()->modalTransitionStyle(), plat::TransitionStyle::FlipHorizontal);
    EXPECT_EQ(types->deviceType(), 4u);
    EXPECT_EQ(types->cellForRowAtIndex(4)->accessoryType(), plat::AccessoryType::Checkmark);
    types->selectRowAtIndex(8);
    EXPECT_EQ(list->deviceType(), 4u) << "copied back only when the list closes";
    visibleAs<qx::VNTableViewController>()->onBack();
    EXPECT_EQ(visible(), host.get());
    EXPECT_EQ(list->deviceType(), 8u);
    EXPECT_EQ(list->deviceTypeCell()->detailTextLabel().text(), "") << "the row itself shows no value";
}

TEST_F(SetFilterTest, DetectorListHandsItsChoiceBack) {
    storeReadings({std::string("SN-7"), std::string("SN-3")});
    auto list = load<qx::VNSetFilterSection>();
    ASSERT_TRUE(host->tableView()->userSelectRow({0, 4}));
    auto detectors = openedList<qx::VNDetectorsSection>();
    ASSERT_TRUE(detectors);
    ASSERT_EQ(detectors->numRows(), 3u);
    detectors->selectRowAtIndex(2);
    visibleAs<qx::VNTableViewController>()->onBack();
    EXPECT_EQ(visible(), host.get());
    EXPECT_EQ(list->detectors(), std::set<std::string>{"SN-7"});
}

TEST_F(SetFilterTest, LanguageSwitchRetitlesTheRows) {
    auto list = load<qx::VNSetFilterSection>();
    useLanguage("fr");
    EXPECT_EQ(list->title(), "    Filtrer par");
    EXPECT_EQ(list->dayFromCell()->title().text(), "Du jour");
    EXPECT_EQ(list->alarmsCell()->title().text(), "Alarmes seulement");
    EXPECT_EQ(list->deviceTypeCell()->textLabel().text(), "Appareils seulement");
    render(*host->view(), "history-filter-fr");
}

}  // namespace
