#include "settings/VNTrackAutoSaveSettingSection.h"

#include <cmath>
#include <cstdio>

#include "model/Language.h"
#include "model/Settings.h"
#include "settings/SectionBlocks.h"
#include "settings/VNTimeDistPickerController.h"

namespace qx {

namespace {

Settings& settings() { return Settings::sharedSettings(); }

constexpr const char* kDistanceKey = "Distance, every";
constexpr const char* kTimeKey = "Time, every";
constexpr const char* kFirstKey = "Exceeding the first threshold";
constexpr const char* kSecondKey = "Exceeding the second threshold";

}  // namespace

std::string VNTrackAutoSaveSettingSection::title() const { return Language::get("     Autosave waypoints"); }

void VNTrackAutoSaveSettingSection::initRows() {
    setRows({distanceCell(), timeCell(), exeedFirstCell(), exeedSecondCell()});
    updateCellsTitles();
}

void VNTrackAutoSaveSettingSection::updateCellsTitles() {
    if (distanceCell_) {
        distanceCell_->title().setText(Language::get(kDistanceKey));
        updateDistanceCell();
    }
    if (timeCell_) {
        timeCell_->title().setText(Language::get(kTimeKey));
        updateTimeCell();
    }
    if (exeedFirstCell_) {
        exeedFirstCell_->title().setText(Language::get(kFirstKey));
        exeedFirstCell_->checkButton().setChecked(settings().trackFirstTreshOn());
    }
    if (exeedSecondCell_) {
        exeedSecondCell_->title().setText(Language::get(kSecondKey));
        exeedSecondCell_->checkButton().setChecked(settings().trackSecondTreshOn());
    }
}

template <class Cell>
std::shared_ptr<Cell> VNTrackAutoSaveSettingSection::makeCell(const char* titleKey, bool on, void (*store)(bool)) {
    auto cell = Cell::loadFromNib();
    cell->title().setText(Language::get(titleKey));
    cell->checkButton().setOnCheck(store);
    cell->checkButton().setChecked(on);
    return cell;
}

std::shared_ptr<VNCheckButtonValueUnitTableViewCell> VNTrackAutoSaveSettingSection::makeStepCell(
    const char* titleKey, bool on, void (*storeOn)(bool), std::uint64_t pickerMode, void (*storeStep)(double),
    void (VNTrackAutoSaveSettingSection::*update)()) {
    auto cell = makeCell<VNCheckButtonValueUnitTableViewCell>(titleKey, on, storeOn);
    // The picker of the row's step; with `tick`, the row is ticked as soon as a step is chosen.
    const auto openPicker = [pickerMode, storeStep, storeOn, update](VNTrackAutoSaveSettingSection& self, bool tick) {
        VNTimeDistPickerController::present(
            pickerMode,
            whileSectionLives(self, [storeStep, storeOn, update, tick](VNTrackAutoSaveSettingSection& section, double step) {
                storeStep(step);
                if (tick) storeOn(true);
                (section.*update)();
            }));
    };
    // The tick shows whether the row saves. A tick refused for a step of 0 goes again, and the
    // picker opens so that a step can be chosen: the row is ticked once one is.
    cell->checkButton().setOnCheck(
        whileSectionLives(*this, [storeOn, update, openPicker](VNTrackAutoSaveSettingSection& self, bool checked) {
            storeOn(checked);
            (self.*update)();
            if (checked && self.rowRefusedTick(update)) openPicker(self, true);
        }));
    cell->setOnSelectCellBlock(whileSectionLives(
        *this, [openPicker](VNTrackAutoSaveSettingSection& self, VNTableViewCell&) { openPicker(self, false); }));
    return cell;
}

bool VNTrackAutoSaveSettingSection::rowRefusedTick(void (VNTrackAutoSaveSettingSection::*update)()) {
    const auto& cell = update == &VNTrackAutoSaveSettingSection::updateTimeCell ? timeCell_ : distanceCell_;
    return cell && !cell->checkButton().checked();
}

// A step of 0 saves nothing, so a row never shows ticked with one (the wheels pass through 0 on
// the way to another step, and the row is ticked again once they reach it); ticking such a row
// opens the picker instead.
std::shared_ptr<VNCheckButtonValueUnitTableViewCell> VNTrackAutoSaveSettingSection::distanceCell() {
    if (!distanceCell_) {
        distanceCell_ = makeStepCell(
            kDistanceKey, settings().trackDistanceOn(),
            [](bool on) { settings().setTrackDistanceOn(on && settings().trackDistance() > 0); },
            VNTimeDistPickerController::kDistanceMode,
            [](double step) { settings().setTrackDistance(static_cast<unsigned>(step)); },
            &VNTrackAutoSaveSettingSection::updateDistanceCell);
        updateDistanceCell();
    }
    return distanceCell_;
}

std::shared_ptr<VNCheckButtonValueUnitTableViewCell> VNTrackAutoSaveSettingSection::timeCell() {
    if (!timeCell_) {
        timeCell_ = makeStepCell(
            kTimeKey, settings().trackTimeOn(),
            [](bool on) { settings().setTrackTimeOn(on && settings().trackTimeSeconds() > 0); },
            VNTimeDistPickerController::kTimeMode,
            // The step is kept in single precision; the row's seconds round it back.
            [](double minutes) { settings().setTrackTime(static_cast<double>(static_cast<float>(minutes))); },
            &VNTrackAutoSaveSettingSection::updateTimeCell);
        updateTimeCell();
    }
    return timeCell_;
}

std::shared_ptr<VNCheckButtonTableViewCell> VNTrackAutoSaveSettingSection::exeedFirstCell() {
    if (!exeedFirstCell_) {
        exeedFirstCell_ = makeCell<VNCheckButtonTableViewCell>(kFirstKey, settings().trackFirstTreshOn(),
                                                               [](bool on) { settings().setTrackFirstTreshOn(on); });
    }
    return exeedFirstCell_;
}

std::shared_ptr<VNCheckButtonTableViewCell> VNTrackAutoSaveSettingSection::exeedSecondCell() {
    if (!exeedSecondCell_) {
        exeedSecondCell_ = makeCell<VNCheckButtonTableViewCell>(kSecondKey, settings().trackSecondTreshOn(),
                                                                [](bool on) { settings().setTrackSecondTreshOn(on); });
    }
    return exeedSecondCell_;
}

void VNTrackAutoSaveSettingSection::updateDistanceCell() {
    auto cell = distanceCell();
    cell->unit().setText(Language::get(settings().metric() ? "meters" : "yards"));
    cell->value().setText(std::to_string(settings().trackDistance()));
    // Preferences from a file may hold a step of 0 switched on: it saves nothing, so unticked.
    cell->checkButton().setChecked(settings().trackDistanceOn() && settings().trackDistance() > 0);
}

void VNTrackAutoSaveSettingSection::updateTimeCell() {
    auto cell = timeCell();
    cell->value().setText(timeText(settings().trackTime()));
    cell->unit().setText(Language::get("minutes"));
    cell->checkButton().setChecked(settings().trackTimeOn() && settings().trackTimeSeconds() > 0);
}

std::string VNTrackAutoSaveSettingSection::timeText(double minutes) {
    // Preferences read from a file may hold anything; out-of-range steps show as nothing set.
    if (!(minutes >= 0 && minutes < 1e9)) minutes = 0;
    const auto hours = static_cast<long long>(minutes / 60);
    const auto wholeMinutes = static_cast<long long>(minutes - 60.0 * static_cast<double>(hours));
    const auto seconds = static_cast<long long>(
        (minutes - 60.0 * static_cast<double>(hours) - static_cast<double>(wholeMinutes)) * 60 + 0.0005);
    char text[64];
    std::snprintf(text, sizeof text, "%02lld:%02lld:%02lld", hours, wholeMinutes, seconds);
    return text;
}

}  // namespace qx
