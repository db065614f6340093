#include "settings/VNHistorySection.h"

#include <cmath>

#include "link/DeviceManager.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "settings/SettingsRows.h"
#include "settings/VNRecordingModeSection.h"
#include "shell/VNIntervalPickerView.h"
#include "shell/VNTableViewController.h"

namespace qx {

unsigned VNHistorySection::recordingIntervalFor(plat::TimeInterval seconds) {
    if (seconds > kMaxRecordingInterval * 60.0) return kMaxRecordingInterval;
    // Whole minutes, and never none: a period of 0 would stop the recording, and the
    // instrument refuses it anyway.
    const double minutes = std::isfinite(seconds) ? std::floor(seconds / 60) : 0;
    return minutes < 1 ? 1 : static_cast<unsigned>(minutes);
}

std::shared_ptr<VNTableViewSwitchCell> VNHistorySection::autoLoadCell() {
    if (!autoLoadCell_) {
        autoLoadCell_ = settingSwitchCell(Settings::sharedSettings().loadHistoryOnStart(), &Settings::setLoadHistoryOnStart);
    }
    return autoLoadCell_;
}

std::shared_ptr<VNTableViewSwitchCell> VNHistorySection::clearCell() {
    if (!clearCell_) clearCell_ = settingSwitchCell(Settings::sharedSettings().clearHistory(), &Settings::setClearHistory);
    return clearCell_;
}

VNTableViewCellPtr VNHistorySection::modeCell() {
    if (!modeCell_) {
        modeCell_ = VNTableViewCell::loadFromNib();
        modeCell_->setAccessoryType(plat::AccessoryType::DisclosureIndicator);
        setCheckListForCell(modeCell_, VNSection::create<VNRecordingModeSection>());
    }
    return modeCell_;
}

VNTableViewCellPtr VNHistorySection::intervalCell() {
    if (!intervalCell_) {
        intervalCell_ = VNTableViewCell::loadFromNib();
        intervalCell_->detailTextLabel().setText(Settings::sharedSettings().historyRecordingIntervalString());
        std::weak_ptr<VNSection> weak = weak_from_this();
        intervalCell_->setOnSelectCellBlock([weak](VNTableViewCell&) {
            if (auto self = std::static_pointer_cast<VNHistorySection>(weak.lock())) self->showIntervalPicker();
        });
    }
    return intervalCell_;
}

std::shared_ptr<VNActionTableViewCell> VNHistorySection::loadCell() {
    if (!loadCell_) loadCell_ = actionCell(Language::get("Load History"), &VNHistorySection::loadHistory);
    return loadCell_;
}

void VNHistorySection::initRows() {
    setRows({autoLoadCell(), clearCell(), modeCell(), intervalCell(), loadCell()});
    updateCellsTitles();
}

void VNHistorySection::updateCellsTitles() {
    autoLoadCell()->title().setText(Language::get("Auto Load History"));
    // The key begins with a Cyrillic capital Es, as the language tables have it.
    clearCell()->title().setText(Language::get("\u0421lear history after sync"));
    modeCell()->textLabel().setText(Language::get("Recording Mode"));
    modeCell()->detailTextLabel().setText(
        Language::get(Settings::sharedSettings().recordingMode() == 0 ? "Cyclic" : "Linear"));
    intervalCell()->textLabel().setText(Language::get("Recording interval"));
    loadCell()->textLabel().setText(Language::get("Load History"));
}

std::shared_ptr<VNIntervalPickerView> VNHistorySection::showIntervalPicker() {
    auto parent = parentController();
    if (!parent) return nullptr;
    auto picker = VNIntervalPickerView::loadFromNib();
    picker->setCountDownDuration(Settings::sharedSettings().recordingInterval() * 60.0);
    picker->setTitle(intervalCell()->textLabel().text());
    std::weak_ptr<VNSection> weak = weak_from_this();
    picker->setOnIntervalPickedBlock([weak](plat::TimeInterval seconds) {
        if (auto self = std::static_pointer_cast<VNHistorySection>(weak.lock())) self->intervalPicked(seconds);
    });
    auto host = parent->view();
    host->addSubview(picker);
    picker->setFrame(host->bounds());
    return picker;
}

void VNHistorySection::intervalPicked(plat::TimeInterval seconds) {
    auto& settings = Settings::sharedSettings();
    settings.setRecordingInterval(recordingIntervalFor(seconds));
    settings.save();
    intervalCell()->detailTextLabel().setText(settings.historyRecordingIntervalString());
    DeviceManager::sharedDeviceManager().saveDetectorHistPeriod(settings.recordingInterval());
}

void VNHistorySection::loadHistory() { DeviceManager::sharedDeviceManager().loadHistory(); }

}  // namespace qx
