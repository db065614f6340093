#include "dashboard/VNSearchSettingSection.h"

#include <cstdio>

#include "dashboard/CoeffNPickerController.h"
#include "dashboard/InstrumentControl.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "platform/ui/AlertView.h"
#include "shell/AppWindow.h"
#include "shell/VNThresholdTableViewCell.h"

namespace qx {

namespace {

std::string twoDecimals(double value) {
    char text[32];
    std::snprintf(text, sizeof text, "%0.2f", value);
    return text;
}

}  // namespace

std::string VNSearchSettingSection::title() const { return Language::get("  Search Settings"); }

std::shared_ptr<VNTableViewCell> VNSearchSettingSection::coeffNCell() {
    if (!coeffCell_) {
        coeffCell_ = VNTableViewCell::loadFromNib();
        coeffCell_->textLabel().setText(Language::get("Coefficient N"));
        coeffCell_->detailTextLabel().setText(twoDecimals(Settings::sharedSettings().coeffN()));
        coeffCell_->setAccessoryType(plat::AccessoryType::DisclosureIndicator);
        coeffCell_->setOnSelectCellBlock(selectionRunning(&VNSearchSettingSection::openPicker));
    }
    return coeffCell_;
}

std::shared_ptr<VNTableViewSwitchCell> VNSearchSettingSection::soundAlarmCell() {
    if (!soundCell_) {
        soundCell_ = VNTableViewSwitchCell::loadFromNib();
        soundCell_->title().setText(Language::get("Sound alarm"));
        soundCell_->cellSwitch().setOn(!Settings::sharedSettings().searchMuteGamma());
        soundCell_->setOnSwitchOnOffBlock([](bool on) {
            auto& settings = Settings::sharedSettings();
            settings.setSearchMuteGamma(!on);
            settings.save();
        });
    }
    return soundCell_;
}

std::shared_ptr<VNTableViewCell> VNSearchSettingSection::calibrationCell() {
    if (!calibrationCell_) {
        calibrationCell_ = actionCell(Language::get("Calibration"), &VNSearchSettingSection::confirmCalibration);
    }
    return calibrationCell_;
}

std::shared_ptr<VNTableViewCell> VNSearchSettingSection::restoreDefaultsCell() {
    if (!restoreCell_) {
        restoreCell_ = actionCell(Language::get("Restore to Defaults"), &VNSearchSettingSection::restoreDefaults);
    }
    return restoreCell_;
}

void VNSearchSettingSection::initRows() {
    setRows({coeffNCell(), soundAlarmCell(), calibrationCell(), restoreDefaultsCell()});
    updateCellsTitles();
}

void VNSearchSettingSection::showCoefficient() {
    coeffNCell()->detailTextLabel().setText(twoDecimals(Settings::sharedSettings().coeffN()));
    soundAlarmCell()->cellSwitch().setOn(!Settings::sharedSettings().searchMuteGamma());
}

void VNSearchSettingSection::openPicker() {
    auto* presenter = visibleViewController();
    if (!presenter) return;
    auto picker = std::make_shared<CoeffNPickerController>();
    std::weak_ptr<VNSection> weak = weak_from_this();
    std::weak_ptr<CoeffNPickerController> weakPicker = picker;
    picker->setOnBackBlock([weak, weakPicker] {
        auto self = std::static_pointer_cast<VNSearchSettingSection>(weak.lock());
        if (auto shown = weakPicker.lock(); self && shown) self->applyPicker(*shown);
    });
    presenter->presentViewController(picker, true);
    // The wheels exist once the picker is shown.
    picker->setValue(Settings::sharedSettings().coeffN());
}

void VNSearchSettingSection::applyPicker(CoeffNPickerController& picker) {
    const float n = static_cast<float>(picker.value());
    auto control = InstrumentControl::shared();
    control->setCoeffN(n);
    control->saveDeviceParams();
    auto& settings = Settings::sharedSettings();
    settings.setCoeffN(static_cast<double>(n));
    settings.save();
    showCoefficient();
    if (auto* shown = visibleViewController()) shown->dismissViewController(true);
}

void VNSearchSettingSection::confirmCalibration() {
    plat::AlertView::show(Language::get("Start Detector Calibration?"), "", Language::get("Cancel"),
                          {Language::get("OK")}, [](long) {
                              auto control = InstrumentControl::shared();
                              control->setCalibrationValue(0);
                              control->setCoeffN(static_cast<float>(Settings::sharedSettings().coeffN()));
                          });
}

void VNSearchSettingSection::restoreDefaults() {
    auto& settings = Settings::sharedSettings();
    settings.setCoeffN(static_cast<double>(kDefaultCoeffN));
    settings.setSearchMuteGamma(true);
    settings.save();
    auto control = InstrumentControl::shared();
    control->setCoeffN(kDefaultCoeffN);
    control->saveDeviceParams();
    showCoefficient();
}

}  // namespace qx
