#include "FilterSectionsTestFixture.h"
#include "dashboard/ThresholdController.h"
#include "settings/VNTimeDistPickerController.h"
#include "settings/VNTrackAutoSaveSettingSection.h"
#include "settings/VNTrackThresholdsSettiingsSection.h"

namespace {

using qx::VNTrackAutoSaveSettingSection;

class TrackSettingsTest : public FilterSectionsTest {
protected:
    qx::ThresholdController* editor() { return visibleAs<qx::ThresholdController>(); }
    qx::VNTimeDistPickerController* picker() { return visibleAs<qx::VNTimeDistPickerController>(); }
};

TEST_F(TrackSettingsTest, ThresholdSectionShrinksToItsSwitchWhileTheGeneralThresholdsApply) {
    settings().setTrackDRSettingsOn(true);
    settings().trackThresh().firstThreshold->setValue(0.4);
    auto section = showNew<qx::VNTrackThresholdsSettiingsSection>();
    EXPECT_EQ(section->title(), "     Dose rate thresholds");
    ASSERT_EQ(section->numRows(), 1u);
    EXPECT_EQ(host->tableView()->numberOfRows(0), 1);
    auto toggle = section->useDoseRateSettingsCell();
    EXPECT_EQ(toggle->title().text(), "Use Dose Rate Settings");
    EXPECT_TRUE(toggle->cellSwitch().isOn());

    toggle->cellSwitch().performTap();
    EXPECT_FALSE(settings().trackDRSettingsOn());
    ASSERT_EQ(section->numRows(), 4u);
    EXPECT_EQ(host->tableView()->numberOfRows(0), 4) << "the table reloads at once";
    EXPECT_EQ(section->cellForRowAtIndex(1), section->firstThresholdCell());
    EXPECT_EQ(section->cellForRowAtIndex(3), section->soundAlarmCell());
    EXPECT_EQ(section->firstThresholdCell()->value(), "0.40 µSv/h");
    EXPECT_EQ(section->secondThresholdCell()->type(), 1u);
    EXPECT_TRUE(saved().boolForKey("TrackDRSettingsOn")) << "the switches do not save";

    settings().trackThresh().secondThreshold->setValue(3);
    toggle->cellSwitch().performTap();
    EXPECT_EQ(section->numRows(), 1u);
    toggle->cellSwitch().performTap();
    EXPECT_EQ(section->secondThresholdCell()->value(), "3.00 µSv/h") << "shown again with the stored values";
}

TEST_F(TrackSettingsTest, SoundAlarmSwitchOnMeansTheAlarmIsHeard) {
    settings().setTrackDRSettingsOn(false);
    auto section = showNew<qx::VNTrackThresholdsSettiingsSection>();
    auto sound = section->soundAlarmCell();
    EXPECT_TRUE(sound->cellSwitch().isOn());
    sound->cellSwitch().performTap();
    EXPECT_TRUE(settings().trackThresh().mute);
    sound->cellSwitch().performTap();
    EXPECT_FALSE(settings().trackThresh().mute);
}

TEST_F(TrackSettingsTest, EditorScaleFollowsTheConnectedModel) {
    settings().setTrackDRSettingsOn(false);
    settings().trackThresh().scaleRange = 1;
    auto section = showNew<qx::VNTrackThresholdsSettiingsSection>();
    const auto limits = [&](unsigned type) {
        instrument->type = type;
        section->firstThresholdCell()->onSelectCell();
        auto* e = editor();
        EXPECT_NE(e, nullptr);
        if (!e) return std::pair<double, double>{};
        std::pair<double, double> scale{e->scaleMinValue(), e->scaleMaxValue()};
        e->onBack();
        return scale;
    };
    const double tenth = static_cast<double>(0.1f);
    EXPECT_EQ(limits(0), (std::pair<double, double>{tenth, 1e7}));
    EXPECT_EQ(limits(1), (std::pair<double, double>{tenth, 400}));
    EXPECT_EQ(limits(3), (std::pair<double, double>{tenth, 1e5}));
    EXPECT_EQ(limits(6), (std::pair<double, double>{tenth, 100}));
    EXPECT_EQ(limits(7), (std::pair<double, double>{tenth, 1e7}));
    EXPECT_EQ(limits(8), (std::pair<double, double>{static_cast<double>(0.3f), 1e7}));
    EXPECT_EQ(limits(12), (std::pair<double, double>{tenth, 1e7}));
    EXPECT_EQ(visible(), host.get());
}

TEST_F(TrackSettingsTest, ApplyingTheEditorStoresSavesAndShowsTheTrackThresholds) {
    settings().setTrackDRSettingsOn(false);
    settings().trackThresh().scaleRange = -1;  // 0.1 to 100
    auto section = showNew<qx::VNTrackThresholdsSettiingsSection>();
    ASSERT_TRUE(host->tableView()->userSelectRow({0, 2}));
    auto* e = editor();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->mode(), 0);
    EXPECT_EQ(e->firstThreshValue(), settings().trackThresh().firstThreshold->value());
    e->moveHandle(1, 2.0);
    e->moveHandle(0, 0.5);
    e->apply();
    EXPECT_EQ(visible(), host.get());
    EXPECT_EQ(settings().trackThresh().firstThreshold->value(), 0.5);
    EXPECT_EQ(settings().trackThresh().secondThreshold->value(), 2.0);
    EXPECT_EQ(settings().DERthreshold().firstThreshold->value(), 0.3) << "the general thresholds stay";
    EXPECT_EQ(saved().doubleForKey("TrackThreshold1"), 0.5);
    EXPECT_EQ(section->firstThresholdCell()->value(), "0.50 µSv/h");
    EXPECT_EQ(section->secondThresholdCell()->value(), "2.00 µSv/h");
}

TEST_F(TrackSettingsTest, AutosaveRowsShowTheStoredSteps) {
    EXPECT_EQ(VNTrackAutoSaveSettingSection::timeText(90.75), "01:30:45");
    EXPECT_EQ(VNTrackAutoSaveSettingSection::timeText(0.5), "00:00:30");
    EXPECT_EQ(VNTrackAutoSaveSettingSection::timeText(static_cast<float>(1.0 + 5.0 / 60)), "00:01:05");
    EXPECT_EQ(VNTrackAutoSaveSettingSection::timeText(-1), "00:00:00");

    settings().setTrackTime(90.75);
    settings().setMetric(false);
    settings().setTrackDistance(440);
    settings().setTrackDistanceOn(true);
    auto section = showNew<VNTrackAutoSaveSettingSection>();
    EXPECT_EQ(section->title(), "     Autosave waypoints");
    ASSERT_EQ(section->numRows(), 4u);
    EXPECT_EQ(section->timeCell()->value().text(), "01:30:45");
    EXPECT_EQ(section->timeCell()->unit().text(), "minutes");
    EXPECT_EQ(section->distanceCell()->value().text(), "440");
    EXPECT_EQ(section->distanceCell()->unit().text(), "yards");
    EXPECT_TRUE(section->distanceCell()->checkButton().checked());
    EXPECT_EQ(section->exeedSecondCell()->title().text(), "Exceeding the second threshold");

    useLanguage("de");
    EXPECT_EQ(section->distanceCell()->unit().text(), "Yards");
    EXPECT_EQ(section->timeCell()->title().text(), "Zeit, alle");
    EXPECT_EQ(section->title(), "     Automatische Wegpunkte");
    render(*host->view(), "track-settings-de");
}

TEST_F(TrackSettingsTest, AutosavePickersWriteTheStepsAtOnce) {
    settings().setMetric(false);
    auto section = showNew<VNTrackAutoSaveSettingSection>();
    ASSERT_TRUE(host->tableView()->userSelectRow({0, 0}));
    ASSERT_NE(picker(), nullptr);
    EXPECT_EQ(picker()->mode(), qx::VNTimeDistPickerController::kDistanceMode);
    picker()->picker()->spin(1, 0);
    picker()->picker()->spin(50, 1);
    EXPECT_EQ(settings().trackDistance(), 1810u);
    EXPECT_EQ(section->distanceCell()->value().text(), "1810");
    picker()->onBack();

    section->timeCell()->onSelectCell();
    ASSERT_NE(picker(), nullptr);
    EXPECT_EQ(picker()->mode(), qx::VNTimeDistPickerController::kTimeMode);
    picker()->picker()->spin(1, 1);
    picker()->picker()->spin(2, 2);
    EXPECT_EQ(settings().trackTime(), static_cast<double>(static_cast<float>(1.0 + 5.0 / 60)));
    EXPECT_EQ(section->timeCell()->value().text(), "00:01:05");
    picker()->onBack();
    EXPECT_EQ(visible(), host.get());
    EXPECT_EQ(saved().integerForKey("TrackDistance"), 100) << "the Track tab saves when its screen closes";
}

TEST_F(TrackSettingsTest, ThresholdCheckBoxesWriteOnlyWhenTicked) {
    settings().setTrackFirstTreshOn(false);
    auto section = showNew<VNTrackAutoSaveSettingSection>();
    EXPECT_FALSE(section->exeedFirstCell()->checkButton().checked());
    ASSERT_TRUE(host->tableView()->userSelectRow({0, 2}));
    EXPECT_FALSE(settings().trackFirstTreshOn()) << "tapping the row writes nothing";
    EXPECT_EQ(visible(), host.get());
    section->exeedFirstCell()->checkButton().performTap();
    EXPECT_TRUE(settings().trackFirstTreshOn());
    section->timeCell()->checkButton().performTap();
    EXPECT_FALSE(settings().trackTimeOn());
}

}  // namespace
