#include "dashboard/VNDoseRateThresholdsSection.h"

#include "dashboard/InstrumentControl.h"
#include "dashboard/ThresholdController.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "shell/AppWindow.h"
#include "shell/VNThresholdTableViewCell.h"

namespace qx {

namespace {

// Dose-rate defaults (µSv/h) by device type; any other type takes type 0's.
constexpr double kDoseRateDefaults[10][2] = {
    {1, 10},          {10, 10},         {10000, 1e7}, {1, 10},       {100, 100},
    {1e7, 1e7},       {100, 100},       {1e7, 1e7},   {0.5, 1000},   {9.99e6, 9.99e6},
};

}  // namespace

Threshold& VNDoseRateThresholdsSection::threshold() const { return Settings::sharedSettings().DERthreshold(); }

int VNDoseRateThresholdsSection::unitKind() const { return DoseUnit::doseRateKind; }

std::string VNDoseRateThresholdsSection::title() const { return Language::get(titleKey()); }

std::string VNDoseRateThresholdsSection::valueText(const DoseUnit& value) const {
    return value.stringValue() + " " + value.unitString(unitKind());
}

std::shared_ptr<VNThresholdTableViewCell> VNDoseRateThresholdsSection::makeThresholdCell(std::uint64_t type,
                                                                                      const DoseUnit& value) {
    auto cell = VNThresholdTableViewCell::loadFromNib();
    cell->setType(type);
    cell->setValue(valueText(value));
    cell->setOnSelectCellBlock(selectionRunning(&VNDoseRateThresholdsSection::showThresholdController));
    return cell;
}

std::shared_ptr<VNThresholdTableViewCell> VNDoseRateThresholdsSection::firstThresholdCell() {
    if (!firstCell_) firstCell_ = makeThresholdCell(firstCellType(), *threshold().firstThreshold);
    return firstCell_;
}

std::shared_ptr<VNThresholdTableViewCell> VNDoseRateThresholdsSection::secondThresholdCell() {
    if (!secondCell_) secondCell_ = makeThresholdCell(1, *threshold().secondThreshold);
    return secondCell_;
}

std::shared_ptr<VNTableViewSwitchCell> VNDoseRateThresholdsSection::soundAlarmCell() {
    if (!soundCell_) {
        soundCell_ = VNTableViewSwitchCell::loadFromNib();
        soundCell_->title().setText(Language::get("Sound alarm"));
        soundCell_->cellSwitch().setOn(!threshold().mute);
        std::weak_ptr<VNSection> weak = weak_from_this();
        soundCell_->setOnSwitchOnOffBlock([weak](bool on) {
            auto self = std::static_pointer_cast<VNDoseRateThresholdsSection>(weak.lock());
            if (!self) return;
            self->threshold().mute = !on;
            Settings::sharedSettings().save();
        });
    }
    return soundCell_;
}

std::shared_ptr<VNTableViewCell> VNDoseRateThresholdsSection::restoreDefaultsCell() {
    if (!restoreCell_) {
        restoreCell_ = actionCell(Language::get("Restore to Defaults"), &VNDoseRateThresholdsSection::restoreDefaults);
    }
    return restoreCell_;
}

void VNDoseRateThresholdsSection::dropCells() {
    firstCell_.reset();
    secondCell_.reset();
    soundCell_.reset();
    restoreCell_.reset();
}

void VNDoseRateThresholdsSection::initRows() {
    setRows({firstThresholdCell(), secondThresholdCell(), soundAlarmCell(), restoreDefaultsCell()});
    updateCellsTitles();
}

void VNDoseRateThresholdsSection::updateValues() {
    firstThresholdCell()->setValue(valueText(*threshold().firstThreshold));
    // Single-threshold mode shows no second row.
    if (secondCell_) secondCell_->setValue(valueText(*threshold().secondThreshold));
}

void VNDoseRateThresholdsSection::configureEditor(ThresholdController& editor, unsigned deviceType) const {
    editor.setMode(DoseUnit::doseRateKind);
    double low = 0.1, high = 1e7;
    switch (deviceType) {
        case 1: high = 400; break;
        case 3: high = 100000; break;
        case 4:
        case 6: high = 100; break;
        case 8: low = 0.3; break;
        default: break;
    }
    editor.setScaleMinValue(low);
    editor.setScaleMaxValue(high);
}

void VNDoseRateThresholdsSection::showThresholdController() {
    auto* presenter = visibleViewController();
    if (!presenter) return;
    auto editor = std::make_shared<ThresholdController>();
    const auto& t = threshold();
    editor->setFirstThreshValue(t.firstThreshold->value());
    editor->setSecondThreshValue(t.secondThreshold->value());
    configureEditor(*editor, InstrumentControl::shared()->deviceType());
    editor->setScaleRange(t.scaleRange);
    editor->setOnBackBlock([] {
        if (auto* shown = visibleViewController()) shown->dismissViewController(true);
    });
    std::weak_ptr<VNSection> weak = weak_from_this();
    editor->setOnApply([weak](ThresholdController& applied) {
        if (auto self = std::static_pointer_cast<VNDoseRateThresholdsSection>(weak.lock())) self->applyEditor(applied);
    });
    presenter->presentViewController(editor, true);
}

void VNDoseRateThresholdsSection::storeEditorValues(ThresholdController& editor) {
    auto& t = threshold();
    t.firstThreshold->setValue(editor.firstThreshValue());
    t.secondThreshold->setValue(editor.secondThreshValue());
    auto control = InstrumentControl::shared();
    control->saveDetectorThreshold(firstIndex(), static_cast<float>(editor.firstThreshValue()));
    control->saveDetectorThreshold(firstIndex() + 1, static_cast<float>(editor.secondThreshValue()));
    t.scaleRange = editor.scaleRange();
    Settings::sharedSettings().save();
    updateValues();
}

void VNDoseRateThresholdsSection::applyEditor(ThresholdController& editor) {
    auto keep = editor.sharedAs<ThresholdController>();
    storeEditorValues(editor);
    editor.dismissViewController(true);
}

VNDoseRateThresholdsSection::Defaults VNDoseRateThresholdsSection::defaultsFor(unsigned deviceType) const {
    const auto& row = kDoseRateDefaults[deviceType < 10 ? deviceType : 0];
    return {row[0], row[1]};
}

void VNDoseRateThresholdsSection::restoreDefaults() {
    const auto defaults = defaultsFor(InstrumentControl::shared()->deviceType());
    auto& t = threshold();
    t.firstThreshold->setValue(defaults.first);
    t.secondThreshold->setValue(defaults.second);
    t.mute = false;
    t.scaleRange = 1;
    auto control = InstrumentControl::shared();
    control->saveDetectorThreshold(firstIndex(), static_cast<float>(defaults.first));
    control->saveDetectorThreshold(firstIndex() + 1, static_cast<float>(defaults.second));
    Settings::sharedSettings().save();
    updateValues();
    soundAlarmCell()->cellSwitch().setOn(true);
}

}  // namespace qx
