#include "DashboardTestFixture.h"
#include "dashboard/CoeffNPickerController.h"
#include "dashboard/InstrumentControl.h"
#include "dashboard/ThresholdController.h"
#include "dashboard/VNDoseThresholdsSection.h"
#include "dashboard/VNSearchSettingSection.h"
#include "platform/ui/AlertView.h"
#include "platform/ui/Window.h"
#include "shell/VNTableViewController.h"

namespace {

// Records what the sections write to the instrument.
class FakeControl : public qx::InstrumentControl {
public:
    unsigned type = 0;
    std::vector<std::pair<int, float>> thresholds;
    std::vector<float> coefficients;
    int resets = 0, paramWrites = 0;
    std::vector<unsigned> calibrations;

    unsigned deviceType() const override { return type; }
    void saveDetectorThreshold(int index, float value) override { thresholds.emplace_back(index, value); }
    void resetStat() override { ++resets; }
    void setCoeffN(float n) override { coefficients.push_back(n); }
    void saveDeviceParams() override { ++paramWrites; }
    void setCalibrationValue(std::uint16_t v) override { calibrations.push_back(v); }
};

class ModeSectionsTest : public DashboardTest {
protected:
    void SetUp() override {
        DashboardTest::SetUp();
        qx::InstrumentControl::setShared(control);
        window = std::make_unique<plat::Window>();
        host = qx::VNTableViewController::make();
        window->setRootViewController(host);
        window->makeKeyAndVisible();
    }
    void TearDown() override {
        qx::InstrumentControl::setShared(nullptr);
        window.reset();
        host.reset();
        DashboardTest::TearDown();
    }
    template <class T>
    std::shared_ptr<T> show() {
        auto section = qx::VNSection::create<T>();
        host->setSections({section});
        host->tableView()->reloadData();
        return section;
    }
    qx::ThresholdController* editor() { return dynamic_cast<qx::ThresholdController*>(window->visibleViewController()); }
    plat::UserDefaults saved() { return plat::UserDefaults(plat::UserDefaults::standard().file()); }

    std::shared_ptr<FakeControl> control = std::make_shared<FakeControl>();
    std::unique_ptr<plat::Window> window;
    std::shared_ptr<qx::VNTableViewController> host;
};

TEST_F(ModeSectionsTest, DoseRateRestoreWithoutInstrumentAndSoundSwitch) {
    auto& t = settings().DERthreshold();
    t.mute = true;
    t.scaleRange = 3;
    auto section = show<qx::VNDoseRateThresholdsSection>();
    ASSERT_EQ(section->numRows(), 4u);
    EXPECT_FALSE(section->soundAlarmCell()->cellSwitch().isOn());

    section->restoreDefaultsCell()->onSelectCell();
    EXPECT_EQ(t.firstThreshold->value(), 1);
    EXPECT_EQ(t.secondThreshold->value(), 10);
    EXPECT_FALSE(t.mute);
    EXPECT_EQ(t.scaleRange, 1);
    EXPECT_TRUE(section->soundAlarmCell()->cellSwitch().isOn());
    EXPECT_EQ(section->firstThresholdCell()->value(), "1.00 µSv/h");
    EXPECT_EQ(section->secondThresholdCell()->value(), "10.0 µSv/h");
    EXPECT_EQ(control->thresholds, (std::vector<std::pair<int, float>>{{0, 1.f}, {1, 10.f}}));
    EXPECT_DOUBLE_EQ(saved().doubleForKey("DERThreshold2"), 10);

    section->soundAlarmCell()->cellSwitch().performTap();
    EXPECT_TRUE(t.mute);
    EXPECT_TRUE(saved().boolForKey("DERThresholdMute")) << "switching the sound off is saved at once";
}

TEST_F(ModeSectionsTest, RestoreTakesTheConnectedModelsDefaults) {
    control->type = 8;
    auto rate = show<qx::VNDoseRateThresholdsSection>();
    rate->restoreDefaultsCell()->onSelectCell();
    EXPECT_EQ(settings().DERthreshold().firstThreshold->value(), 0.5);
    EXPECT_EQ(settings().DERthreshold().secondThreshold->value(), 1000);
    control->type = 42;
    auto dose = show<qx::VNDoseThresholdsSection>();
    dose->restoreDefaultsCell()->onSelectCell();
    EXPECT_EQ(settings().DEthreshold().firstThreshold->value(), 10);
    EXPECT_EQ(settings().DEthreshold().secondThreshold->value(), 10000);
    EXPECT_EQ(control->thresholds.back(), (std::pair<int, float>{3, 10000.f}));
}

TEST_F(ModeSectionsTest, EditorOpensWithTheModelsScaleAndApplyWritesBothThresholdsInOrder) {
    control->type = 8;
    settings().DERthreshold().scaleRange = 2;  // a window that holds the thresholds: kept
    settings().DERthreshold().firstThreshold->setValue(200);
    settings().DERthreshold().secondThreshold->setValue(5000);
    auto section = show<qx::VNDoseRateThresholdsSection>();
    ASSERT_TRUE(host->tableView()->userSelectRow({0, 1}));
    auto* e = editor();
    ASSERT_NE(e, nullptr);
    EXPECT_EQ(e->scaleMinValue(), 0.3);
    EXPECT_EQ(e->scaleMaxValue(), 1e7);
    EXPECT_EQ(e->mode(), 0);
    EXPECT_EQ(e->scaleRange(), 2);

    e->moveHandle(1, 300);
    e->moveHandle(0, 150);
    e->shiftScale(1);
    e->apply();
    EXPECT_EQ(window->visibleViewController(), host.get()) << "applying closes the editor";
    EXPECT_EQ(control->thresholds, (std::vector<std::pair<int, float>>{{0, 150.f}, {1, 300.f}}));
    EXPECT_EQ(settings().DERthreshold().firstThreshold->value(), 150);
    EXPECT_EQ(settings().DERthreshold().scaleRange, 3);
    EXPECT_EQ(section->firstThresholdCell()->value(), "150 µSv/h");
    EXPECT_EQ(saved().integerForKey("DERThresholdScaleRange"), 3);

    ASSERT_TRUE(host->tableView()->userSelectRow({0, 0}));
    editor()->moveHandle(0, 200);
    editor()->onBack();
    EXPECT_EQ(window->visibleViewController(), host.get());
    EXPECT_EQ(settings().DERthreshold().firstThreshold->value(), 150) << "back stores nothing";
    EXPECT_EQ(control->thresholds.size(), 2u);
}

TEST_F(ModeSectionsTest, DoseSectionInSingleThresholdMode) {
    settings().DEthreshold().singleThresMode = true;
    control->type = 5;
    auto section = show<qx::VNDoseThresholdsSection>();
    ASSERT_EQ(section->numRows(), 4u);
    auto first = std::dynamic_pointer_cast<qx::VNThresholdTableViewCell>(section->cellForRowAtIndex(0));
    ASSERT_TRUE(first);
    EXPECT_EQ(first->type(), 2u);
    EXPECT_EQ(first->thresholdTitle().text(), "First threshold");
    EXPECT_EQ(first->thresholdValue().textColor(), plat::Color::red());
    EXPECT_EQ(section->cellForRowAtIndex(2), section->resetStatisticsCell());

    section->selectRowAtIndex(0);
    auto* e = editor();
    ASSERT_NE(e, nullptr);
    EXPECT_TRUE(e->singleHandleMode());
    EXPECT_EQ(e->mode(), 1);
    EXPECT_EQ(e->scaleMinValue(), 1);
    EXPECT_EQ(e->scaleMaxValue(), 1e6);
    e->moveHandle(0, 20);
    e->apply();
    EXPECT_EQ(control->thresholds.size(), 2u);
    EXPECT_EQ(control->thresholds[0], (std::pair<int, float>{2, 20.f}));
    EXPECT_EQ(control->thresholds[1].first, 3);

    settings().DEthreshold().singleThresMode = false;
    section->initRows();
    EXPECT_EQ(section->numRows(), 5u);
    EXPECT_EQ(std::dynamic_pointer_cast<qx::VNThresholdTableViewCell>(section->cellForRowAtIndex(0))->type(), 0u);
}

TEST_F(ModeSectionsTest, ResetDoseAsksFirst) {
    auto section = show<qx::VNDoseThresholdsSection>();
    section->resetStatisticsCell()->onSelectCell();
    auto alert = plat::AlertView::frontmostAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Reset Dose?");
    EXPECT_EQ(alert->message(), "");
    EXPECT_TRUE(alert->pressButton("Cancel"));
    EXPECT_EQ(control->resets, 0);
    section->resetStatisticsCell()->onSelectCell();
    EXPECT_TRUE(plat::AlertView::frontmostAlert()->pressButton("OK"));
    EXPECT_EQ(control->resets, 1);
}

class SearchSectionTest : public ModeSectionsTest {
protected:
    qx::CoeffNPickerController* openPicker(std::shared_ptr<qx::VNSearchSettingSection>& section) {
        section = show<qx::VNSearchSettingSection>();
        section->coeffNCell()->onSelectCell();
        return dynamic_cast<qx::CoeffNPickerController*>(window->visibleViewController());
    }
    std::vector<std::string> wheels(qx::CoeffNPickerController& picker) {
        auto view = picker.pickerView();
        std::vector<std::string> shown;
        for (long c = 0; c < 3; ++c) shown.push_back(view->titleForRow(view->selectedRow(c), c));
        return shown;
    }
    std::shared_ptr<qx::VNSearchSettingSection> section;
};

TEST_F(SearchSectionTest, PickerShowsTheStoredCoefficient) {
    auto* picker = openPicker(section);
    ASSERT_NE(picker, nullptr);
    EXPECT_EQ(wheels(*picker), (std::vector<std::string>{"5", "3", "0"}));
    ASSERT_EQ(picker->pickerView()->selectionLabels().size(), 1u);
    EXPECT_EQ(picker->pickerView()->selectionLabels()[0]->text(), ".");
    picker->setValue(5.36);
    EXPECT_EQ(wheels(*picker), (std::vector<std::string>{"5", "3", "6"}));
    picker->setValue(9.999);
    EXPECT_DOUBLE_EQ(picker->value(), static_cast<double>(9.99f));
    EXPECT_EQ(wheels(*picker), (std::vector<std::string>{"9", "9", "9"}));
    EXPECT_EQ(picker->pickerView()->selectionLabels().size(), 1u) << "the dot is added once";
}

TEST_F(SearchSectionTest, ClosingThePickerStoresAndWritesTheValue) {
    auto* picker = openPicker(section);
    ASSERT_NE(picker, nullptr);
    ASSERT_TRUE(picker->pickerView()->spin(7, 1));
    EXPECT_NEAR(picker->value(), 5.7, 1e-9);
    picker->close();
    EXPECT_EQ(window->visibleViewController(), host.get());
    EXPECT_EQ(settings().coeffN(), static_cast<double>(5.7f));
    EXPECT_EQ(control->coefficients, std::vector<float>{5.7f});
    EXPECT_EQ(control->paramWrites, 1);
    EXPECT_EQ(section->coeffNCell()->detailTextLabel().text(), "5.70");
    EXPECT_DOUBLE_EQ(saved().doubleForKey("CoeffN"), static_cast<double>(5.7f));
}

// Below the wheels' lowest choice a stored value must not reach the instrument as it is.
TEST_F(SearchSectionTest, StoredValuesBelowTheLowestChoiceSaveTheLowest) {
    for (double stored : {1.5, 0.0, -3.0, 1.996}) {
        settings().setCoeffN(stored);
        control->coefficients.clear();
        auto* picker = openPicker(section);
        ASSERT_NE(picker, nullptr);
        EXPECT_EQ(wheels(*picker), (std::vector<std::string>{"2", "0", "0"})) << stored;
        picker->close();
        EXPECT_EQ(control->coefficients, std::vector<float>{2.0f}) << stored;
        EXPECT_EQ(settings().coeffN(), 2.0) << stored;
        EXPECT_EQ(section->coeffNCell()->detailTextLabel().text(), "2.00") << stored;
    }
}

TEST_F(SearchSectionTest, RestoreSoundAndCalibration) {
    section = show<qx::VNSearchSettingSection>();
    EXPECT_TRUE(section->soundAlarmCell()->cellSwitch().isOn());
    section->soundAlarmCell()->cellSwitch().performTap();
    EXPECT_TRUE(settings().searchMuteGamma());
    EXPECT_TRUE(saved().boolForKey("SearchMuteGamma"));

    settings().setCoeffN(7.25);
    section->calibrationCell()->onSelectCell();
    auto alert = plat::AlertView::frontmostAlert();
    ASSERT_TRUE(alert);
    EXPECT_EQ(alert->title(), "Start Detector Calibration?");
    alert->pressButton("OK");
    EXPECT_EQ(control->calibrations, std::vector<unsigned>{0});
    EXPECT_EQ(control->coefficients, std::vector<float>{7.25f});

    settings().setSearchMuteGamma(false);
    section->soundAlarmCell()->cellSwitch().setOn(true);
    section->restoreDefaultsCell()->onSelectCell();
    EXPECT_EQ(section->coeffNCell()->detailTextLabel().text(), "5.30");
    EXPECT_FALSE(section->soundAlarmCell()->cellSwitch().isOn());
    EXPECT_TRUE(settings().searchMuteGamma());
    EXPECT_EQ(settings().coeffN(), static_cast<double>(5.3f));
    EXPECT_EQ(control->coefficients.back(), 5.3f);
    EXPECT_EQ(control->paramWrites, 1);
}

}  // namespace
