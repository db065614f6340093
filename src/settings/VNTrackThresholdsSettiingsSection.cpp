#include "settings/VNTrackThresholdsSettiingsSection.h"

#include "dashboard/InstrumentControl.h"
#include "dashboard/ThresholdController.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "settings/SecondaryScreens.h"
#include "settings/SectionBlocks.h"
#include "shell/VNTableViewController.h"

namespace qx {

namespace {

struct ScaleLimits {
    double low, high;
};

// The editor's scale for the connected model's dose-rate range (µSv/h).
ScaleLimits scaleFor(unsigned deviceType) {
    const double low = static_cast<double>(0.1f);
    switch (deviceType) {
        case 1: return {low, 400};
        case 3: return {low, 100000};
        case 4:
        case 6: return {low, 100};
        case 8: return {static_cast<double>(0.3f), 1e7};
        default: return {low, 1e7};
    }
}

std::string valueText(const DoseUnit& value) { return value.stringValue() + " " + value.unitString(DoseUnit::doseRateKind); }

Threshold& trackThreshold() { return Settings::sharedSettings().trackThresh(); }

}  // namespace

std::string VNTrackThresholdsSettiingsSection::title() const { return Language::get("     Dose rate thresholds"); }

void VNTrackThresholdsSettiingsSection::initRows() {
    if (Settings::sharedSettings().trackDRSettingsOn()) {
        setRows({useDoseRateSettingsCell()});
    } else {
        setRows({useDoseRateSettingsCell(), firstThresholdCell(), secondThresholdCell(), soundAlarmCell()});
    }
    updateCellsTitles();
}

void VNTrackThresholdsSettiingsSection::updateCellsTitles() {
    if (useDoseRateSettingsCell_) {
        useDoseRateSettingsCell_->title().setText(Language::get("Use Dose Rate Settings"));
        useDoseRateSettingsCell_->cellSwitch().setOn(Settings::sharedSettings().trackDRSettingsOn());
    }
    if (soundAlarmCell_) {
        soundAlarmCell_->title().setText(Language::get("Sound alarm"));
        soundAlarmCell_->cellSwitch().setOn(!trackThreshold().mute);
    }
    // The type sets the localised name.
    if (firstThresholdCell_) firstThresholdCell_->setType(0);
    if (secondThresholdCell_) secondThresholdCell_->setType(1);
    updateValues();
}

std::shared_ptr<VNTableViewSwitchCell> VNTrackThresholdsSettiingsSection::useDoseRateSettingsCell() {
    if (!useDoseRateSettingsCell_) {
        useDoseRateSettingsCell_ = VNTableViewSwitchCell::loadFromNib();
        useDoseRateSettingsCell_->title().setText(Language::get("Use Dose Rate Settings"));
        useDoseRateSettingsCell_->cellSwitch().setOn(Settings::sharedSettings().trackDRSettingsOn());
        useDoseRateSettingsCell_->setOnSwitchOnOffBlock(
            whileSectionLives(*this, [](VNTrackThresholdsSettiingsSection& self, bool on) {
                Settings::sharedSettings().setTrackDRSettingsOn(on);
                self.initRows();
                if (auto parent = self.parentController()) parent->tableView()->reloadData();
            }));
    }
    return useDoseRateSettingsCell_;
}

std::shared_ptr<VNThresholdTableViewCell> VNTrackThresholdsSettiingsSection::makeThresholdCell(std::uint64_t type) {
    auto cell = VNThresholdTableViewCell::loadFromNib();
    cell->setType(type);
    const auto& t = trackThreshold();
    cell->setValue(valueText(type == 0 ? *t.firstThreshold : *t.secondThreshold));
    cell->setOnSelectCellBlock(selectionRunning(&VNTrackThresholdsSettiingsSection::showThresholdController));
    return cell;
}

std::shared_ptr<VNThresholdTableViewCell> VNTrackThresholdsSettiingsSection::firstThresholdCell() {
    if (!firstThresholdCell_) firstThresholdCell_ = makeThresholdCell(0);
    return firstThresholdCell_;
}

std::shared_ptr<VNThresholdTableViewCell> VNTrackThresholdsSettiingsSection::secondThresholdCell() {
    if (!secondThresholdCell_) secondThresholdCell_ = makeThresholdCell(1);
    return secondThresholdCell_;
}

std::shared_ptr<VNTableViewSwitchCell> VNTrackThresholdsSettiingsSection::soundAlarmCell() {
    if (!soundAlarmCell_) {
        soundAlarmCell_ = VNTableViewSwitchCell::loadFromNib();
        soundAlarmCell_->title().setText(Language::get("Sound alarm"));
        // "Sound alarm" on means the alarm is heard, so the switch shows the mute flag inverted,
        // as the general threshold sections do.
        soundAlarmCell_->cellSwitch().setOn(!trackThreshold().mute);
        soundAlarmCell_->setOnSwitchOnOffBlock([](bool on) { trackThreshold().mute = !on; });
    }
    return soundAlarmCell_;
}

void VNTrackThresholdsSettiingsSection::updateValues() {
    const auto& t = trackThreshold();
    if (firstThresholdCell_) firstThresholdCell_->setValue(valueText(*t.firstThreshold));
    if (secondThresholdCell_) secondThresholdCell_->setValue(valueText(*t.secondThreshold));
}

void VNTrackThresholdsSettiingsSection::showThresholdController() {
    const auto& t = trackThreshold();
    auto editor = std::make_shared<ThresholdController>();
    editor->setFirstThreshValue(t.firstThreshold->value());
    editor->setSecondThreshValue(t.secondThreshold->value());
    editor->setMode(DoseUnit::doseRateKind);
    const auto limits = scaleFor(InstrumentControl::shared()->deviceType());
    editor->setScaleMinValue(limits.low);
    editor->setScaleMaxValue(limits.high);
    editor->setScaleRange(t.scaleRange);
    editor->setOnApply(whileSectionLives(*this, [](VNTrackThresholdsSettiingsSection& self, ThresholdController& e) {
        self.applyEditor(e);
    }));
    SecondaryScreens::present(editor);
}

void VNTrackThresholdsSettiingsSection::applyEditor(ThresholdController& editor) {
    // Closing the editor releases it; keep it until its apply has finished.
    auto keep = editor.sharedAs<ThresholdController>();
    auto& t = trackThreshold();
    t.firstThreshold->setValue(editor.firstThreshValue());
    t.secondThreshold->setValue(editor.secondThreshValue());
    t.scaleRange = editor.scaleRange();
    Settings::sharedSettings().save();
    updateValues();
    SecondaryScreens::dismissVisible();
}

}  // namespace qx
