#include "settings/VNAppSettingsSection.h"

#include <algorithm>
#include <climits>

#include "model/Language.h"
#include "model/Settings.h"
#include "platform/foundation/Log.h"
#include "platform/ui/AlertView.h"
#include "settings/SettingsRows.h"
#include "settings/VNLanguageSection.h"
#include "settings/VNReadingsSection.h"
#include "settings/VNStartScreenSection.h"
#include "settings/VNUnitSection.h"
#include "shell/VNImportTableViewController.h"
#include "shell/VNTableViewController.h"
#include "store/HistoryManager.h"

namespace qx {

namespace {

void setTexts(plat::TableViewCell& cell, const std::string& text, const std::string& detail) {
    cell.textLabel().setText(text);
    cell.textLabel().sizeToFit();
    cell.detailTextLabel().setText(detail);
    cell.detailTextLabel().sizeToFit();
}

}  // namespace

VNTableViewCellPtr VNAppSettingsSection::checkListCell(std::shared_ptr<VNSection> list) {
    auto cell = VNTableViewCell::loadFromNib();
    cell->setAccessoryType(plat::AccessoryType::DisclosureIndicator);
    setCheckListForCell(cell, std::move(list));
    return cell;
}

VNTableViewCellPtr VNAppSettingsSection::languageCell() {
    if (!languageCell_) languageCell_ = checkListCell(VNSection::create<VNLanguageSection>());
    return languageCell_;
}

VNTableViewCellPtr VNAppSettingsSection::readingsCell() {
    if (!readingsCell_) readingsCell_ = checkListCell(VNSection::create<VNReadingsSection>());
    return readingsCell_;
}

VNTableViewCellPtr VNAppSettingsSection::unitsCell() {
    if (!unitsCell_) unitsCell_ = checkListCell(VNSection::create<VNUnitSection>());
    return unitsCell_;
}

VNTableViewCellPtr VNAppSettingsSection::startScreenCell() {
    if (!startScreenCell_) startScreenCell_ = checkListCell(VNSection::create<VNStartScreenSection>());
    return startScreenCell_;
}

std::shared_ptr<VNTableViewSwitchCell> VNAppSettingsSection::soundCell() {
    if (!soundCell_) soundCell_ = settingSwitchCell(Settings::sharedSettings().shakeMute(), &Settings::setShakeMute);
    return soundCell_;
}

std::shared_ptr<VNTableViewSwitchCell> VNAppSettingsSection::autoSaveCell() {
    if (!autoSaveCell_) autoSaveCell_ = settingSwitchCell(Settings::sharedSettings().autoSave(), &Settings::setAutoSave);
    return autoSaveCell_;
}

std::shared_ptr<VNTableViewSwitchCell> VNAppSettingsSection::localNotificationsCell() {
    if (!localNotificationsCell_) {
        localNotificationsCell_ =
            settingSwitchCell(Settings::sharedSettings().localNotifications(), &Settings::setLocalNotifications);
    }
    return localNotificationsCell_;
}

std::optional<unsigned> VNAppSettingsSection::periodFromText(const std::string& text) {
    const std::size_t first = text.find_first_not_of(" \t");
    if (first == std::string::npos) return std::nullopt;
    const std::size_t last = text.find_last_not_of(" \t");
    // Whole seconds only: "1e3", "-5" or "2.5" are not what the field shows back, so they are
    // refused rather than read in part.
    unsigned long long value = 0;
    for (std::size_t i = first; i <= last; ++i) {
        if (text[i] < '0' || text[i] > '9') return std::nullopt;
        // A huge number stops at the largest period rather than wrapping round to a short one.
        value = std::min<unsigned long long>(value * 10 + static_cast<unsigned>(text[i] - '0'), INT_MAX);
    }
    if (value < 1) return std::nullopt;
    return static_cast<unsigned>(value);
}

std::shared_ptr<VNTableViewTextFieldCell> VNAppSettingsSection::autoSavePeriodCell() {
    if (!autoSavePeriodCell_) {
        auto cell = VNTableViewTextFieldCell::loadFromNib();
        cell->cellTextField().setText(std::to_string(Settings::sharedSettings().autosaveInterval()));
        cell->cellTextField().setKeyboardType(plat::KeyboardType::NumberPad);
        std::weak_ptr<VNTableViewTextFieldCell> weakCell = cell;
        cell->setOnTextChangedBlock([weakCell](const std::string& text) {
            auto field = weakCell.lock();
            if (!field || field->isEditing()) return;
            auto& settings = Settings::sharedSettings();
            const auto period = periodFromText(text);
            if (period) {
                settings.setAutosaveInterval(*period);
                settings.save();
            } else {
                // A period of 0 would switch autosave off behind its switch: keep the old one.
                plat::AlertView::show(Language::get("Auto Save Period in sec"),
                                      Language::get("The period is a whole number of seconds, 1 or more."),
                                      Language::get("OK"), {}, {});
            }
            field->cellTextField().setText(std::to_string(settings.autosaveInterval()));
        });
        autoSavePeriodCell_ = cell;
    }
    return autoSavePeriodCell_;
}

VNTableViewCellPtr VNAppSettingsSection::importCell() {
    if (!importCell_) {
        importCell_ = VNTableViewCell::loadFromNib();
        importCell_->setAccessoryType(plat::AccessoryType::DisclosureIndicator);
        importCell_->setOnSelectCellBlock(selectionRunning(&VNAppSettingsSection::showImport));
    }
    return importCell_;
}

std::shared_ptr<VNActionTableViewCell> VNAppSettingsSection::resetCell() {
    if (!resetCell_) resetCell_ = actionCell(Language::get("Reset History"), &VNAppSettingsSection::confirmReset);
    return resetCell_;
}

void VNAppSettingsSection::initRows() {
    setRows({languageCell(), readingsCell(), unitsCell(), startScreenCell(), soundCell(), autoSaveCell(),
             autoSavePeriodCell(), localNotificationsCell(), importCell(), resetCell()});
    updateCellsTitles();
}

void VNAppSettingsSection::updateCellsTitles() {
    const auto& settings = Settings::sharedSettings();
    setTexts(*languageCell(), Language::get("Language"), Language::get(settings.language()));
    setTexts(*readingsCell(), Language::get("Readings"), Language::get(settings.metric() ? "Metric" : "Imperial"));
    setTexts(*unitsCell(), Language::get("Units"), Language::get(settings.unit() != 0 ? "Sv" : "R"));
    // A start tab the list cannot produce leaves the detail as it was.
    const auto& screens = VNStartScreenSection::screenKeys();
    const auto start = settings.startScreen();
    setTexts(*startScreenCell(), Language::get("Start Screen"),
             start < screens.size() ? Language::get(screens[start]) : startScreenCell()->detailTextLabel().text());
    soundCell()->title().setText(Language::get("Sound OFF by Shake"));
    autoSaveCell()->title().setText(Language::get("Auto Save Waypoints "));
    autoSavePeriodCell()->textLabel().setText(Language::get("Auto Save Period in sec"));
    localNotificationsCell()->title().setText(Language::get("Local Notifications"));
    importCell()->textLabel().setText(Language::get("Import Data"));
    resetCell()->textLabel().setText(Language::get("Reset History"));
}

void VNAppSettingsSection::showImport() {
    auto parent = parentController();
    if (!parent) return;
    auto import = VNImportTableViewController::loadFromNib();
    import->setModalTransitionStyle(plat::TransitionStyle::FlipHorizontal);
    import->setTitle(importCell()->textLabel().text());
    std::weak_ptr<VNImportTableViewController> weak = import;
    import->setOnBackBlock([weak] {
        if (auto screen = weak.lock()) screen->dismissViewController(true);
    });
    parent->presentViewController(import, true, [weak] {
        if (auto screen = weak.lock()) screen->dir();
    });
}

void VNAppSettingsSection::confirmReset() {
    plat::AlertView::show(Language::get("Are you sure?"), Language::get("Do You want to delete all historical data?"),
                          Language::get("No"), {Language::get("Yes")}, [](long) {
                              StoreError error;
                              if (!HistoryManager::sharedHistoryManager().resetHistoryDataBase(&error)) {
                                  plat::Log::line("Reset History failed: " + error.message);
                              }
                          });
}

}  // namespace qx
