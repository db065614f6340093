#include "dashboard/ModeSummarySection.h"

#include <cstdio>

#include "model/Language.h"
#include "model/Settings.h"
#include "shell/VNThresholdTableViewCell.h"

namespace qx {

namespace {

constexpr unsigned kDoseMode = 1;
constexpr unsigned kSearchMode = 2;

std::string thresholdText(const DoseUnit& value, int kind) { return value.stringValue() + " " + value.unitString(kind); }

}  // namespace

std::string ModeSummarySection::title() const {
    switch (mode_) {
        case kDoseMode: return Language::get("     Dose thresholds");
        case kSearchMode: return Language::get("  Search Settings");
        default: return Language::get("     Dose rate thresholds");
    }
}

void ModeSummarySection::initRows() {
    std::vector<VNTableViewCellPtr> cells;
    if (mode_ == kSearchMode) {
        cells.push_back(VNTableViewCell::loadFromNib());
    } else {
        const auto& threshold = mode_ == kDoseMode ? Settings::sharedSettings().DEthreshold()
                                                   : Settings::sharedSettings().DERthreshold();
        const bool single = mode_ == kDoseMode && threshold.singleThresMode;
        cells.push_back(VNThresholdTableViewCell::loadFromNib());
        if (!single) cells.push_back(VNThresholdTableViewCell::loadFromNib());
    }
    for (auto& cell : cells) cell->setAccessoryType(plat::AccessoryType::None);
    setRows(std::move(cells));
    updateCellsTitles();
}

void ModeSummarySection::updateCellsTitles() {
    if (mode_ == kSearchMode) {
        if (auto cell = cellForRowAtIndex(0)) {
            char coefficient[32];
            std::snprintf(coefficient, sizeof coefficient, "%.2f", Settings::sharedSettings().coeffN());
            cell->textLabel().setText(Language::get("Coefficient N"));
            cell->detailTextLabel().setText(coefficient);
        }
        return;
    }
    const auto& threshold = mode_ == kDoseMode ? Settings::sharedSettings().DEthreshold()
                                               : Settings::sharedSettings().DERthreshold();
    const int kind = mode_ == kDoseMode ? DoseUnit::doseKind : DoseUnit::doseRateKind;
    const bool single = numRows() == 1;
    if (auto first = std::dynamic_pointer_cast<VNThresholdTableViewCell>(cellForRowAtIndex(0))) {
        first->setType(single ? 2 : 0);
        first->setValue(thresholdText(*threshold.firstThreshold, kind));
    }
    if (auto second = std::dynamic_pointer_cast<VNThresholdTableViewCell>(cellForRowAtIndex(1))) {
        second->setType(1);
        second->setValue(thresholdText(*threshold.secondThreshold, kind));
    }
}

}  // namespace qx
