#include "dashboard/VNDoseThresholdsSection.h"

#include "dashboard/InstrumentControl.h"
#include "dashboard/ThresholdController.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "platform/ui/AlertView.h"

namespace qx {

namespace {

// Dose defaults (µSv) by device type; any other type takes type 0's.
constexpr double kDoseDefaults[10][2] = {
    {10, 10000},  {10, 10000}, {10000, 1e7}, {100000, 1e7}, {10, 10000},
    {1e6, 1e6},   {10, 10000}, {1e6, 1e6},   {1e7, 1e7},    {9.99e6, 9.99e6},
};

}  // namespace

Threshold& VNDoseThresholdsSection::threshold() const { return Settings::sharedSettings().DEthreshold(); }

int VNDoseThresholdsSection::unitKind() const { return DoseUnit::doseKind; }

std::uint64_t VNDoseThresholdsSection::firstCellType() const { return threshold().singleThresMode ? 2 : 0; }

std::shared_ptr<VNTableViewCell> VNDoseThresholdsSection::resetStatisticsCell() {
    if (!resetCell_) resetCell_ = actionCell(Language::get("Reset"), &VNDoseThresholdsSection::confirmReset);
    return resetCell_;
}

void VNDoseThresholdsSection::initRows() {
    // The first row's look and the second row's presence follow the single-threshold mode.
    dropCells();
    resetCell_.reset();
    if (threshold().singleThresMode) {
        setRows({firstThresholdCell(), soundAlarmCell(), resetStatisticsCell(), restoreDefaultsCell()});
    } else {
        setRows({firstThresholdCell(), secondThresholdCell(), soundAlarmCell(), resetStatisticsCell(),
                 restoreDefaultsCell()});
    }
    updateCellsTitles();
}

void VNDoseThresholdsSection::configureEditor(ThresholdController& editor, unsigned deviceType) const {
    editor.setSingleHandleMode(threshold().singleThresMode);
    editor.setMode(DoseUnit::doseKind);
    editor.setScaleMinValue(1);
    editor.setScaleMaxValue(deviceType == 5 || deviceType == 7 ? 1e6 : 1e7);
}

void VNDoseThresholdsSection::applyEditor(ThresholdController& editor) {
    auto keep = editor.sharedAs<ThresholdController>();
    editor.dismissViewController(true);
    storeEditorValues(editor);
}

VNDoseRateThresholdsSection::Defaults VNDoseThresholdsSection::defaultsFor(unsigned deviceType) const {
    const auto& row = kDoseDefaults[deviceType < 10 ? deviceType : 0];
    return {row[0], row[1]};
}

void VNDoseThresholdsSection::confirmReset() {
    plat::AlertView::show(Language::get("Reset Dose?"), "", Language::get("Cancel"), {Language::get("OK")},
                          [](long) { InstrumentControl::shared()->resetStat(); });
}

}  // namespace qx
