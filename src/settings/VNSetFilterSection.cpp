#include "settings/VNSetFilterSection.h"

#include "model/DateStrings.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "settings/DateRows.h"
#include "settings/SecondaryScreens.h"
#include "settings/SectionBlocks.h"
#include "settings/VNDetectorsSection.h"
#include "settings/VNDeviceTypesSection.h"

namespace qx {

std::string VNSetFilterSection::title() const { return Language::get("    Filter by"); }

void VNSetFilterSection::readSettings(const Settings& settings) {
    // The screen opens on the range in force, so that applying without a change keeps it.
    dateFrom_ = openedFrom_ = settings.historyDateFrom();
    dateTo_ = openedTo_ = settings.historyDateTo();
    dateFromChecked_ = settings.historyDayFrom();
    dateToChecked_ = settings.historyDaysTo();
    alarmsChecked_ = settings.historyFilterAlarmsOnly();
    deviceType_ = settings.historyDeviceTypeOnly();
    detectors_ = settings.historyDetectorOnlySerials();
}

void VNSetFilterSection::applyToSettings(Settings& settings) const {
    if (dateFrom_ != openedFrom_) settings.setHistoryDateFrom(dateFrom_);
    if (dateTo_ != openedTo_) settings.setHistoryDateTo(dateTo_);
    settings.setHistoryDayFrom(dateFromChecked_);
    settings.setHistoryDaysTo(dateToChecked_);
    settings.setHistoryFilterAlarmsOnly(alarmsChecked_);
    settings.setHistoryDeviceTypeOnly(deviceType_);
    settings.setHistoryDetectorOnlySerials(detectors_);
}

void VNSetFilterSection::dropCells() {
    dayFromCell_.reset();
    dayToCell_.reset();
    alarmsCell_.reset();
    deviceTypeCell_.reset();
    detectorCell_.reset();
}

std::vector<VNTableViewCellPtr> VNSetFilterSection::instrumentRows() {
    std::vector<VNTableViewCellPtr> rows{alarmsCell(), deviceTypeCell()};
    // Without a chosen serial the row is still offered once readings with serials are stored,
    // since its own list is the only place a serial can be chosen.
    if (!detectors_.empty() || VNDetectorsSection::hasStoredSerials()) rows.push_back(detectorCell());
    return rows;
}

void VNSetFilterSection::initRows() {
    dropCells();
    std::vector<VNTableViewCellPtr> rows{dayFromCell(), dayToCell()};
    for (auto& row : instrumentRows()) rows.push_back(std::move(row));
    setRows(std::move(rows));
    updateCellsTitles();
}

void VNSetFilterSection::updateCellsTitles() {
    if (dayFromCell_) {
        dayFromCell_->title().setText(Language::get("Day from"));
        dayFromCell_->value().setText(DateStrings::dateStr(dateFrom_));
        dayFromCell_->checkButton().setChecked(dateFromChecked_);
    }
    if (dayToCell_) {
        dayToCell_->title().setText(Language::get("Day to"));
        dayToCell_->value().setText(DateStrings::dateStr(dateTo_));
        dayToCell_->checkButton().setChecked(dateToChecked_);
    }
    if (alarmsCell_) {
        alarmsCell_->title().setText(Language::get("Alarms Only"));
        alarmsCell_->checkButton().setChecked(alarmsChecked_);
    }
    if (deviceTypeCell_) deviceTypeCell_->textLabel().setText(Language::get("Devices Only"));
    if (detectorCell_) detectorCell_->textLabel().setText(Language::get("Detectors Only"));
}

std::shared_ptr<VNCheckButtonValueTableViewCell> VNSetFilterSection::makeDayCell(plat::Date VNSetFilterSection::*date,
                                                                                 bool VNSetFilterSection::*checked) {
    return makeDateRow(*this, date, checked, plat::DatePickerMode::Date, &DateStrings::dateStr);
}

std::shared_ptr<VNCheckButtonValueTableViewCell> VNSetFilterSection::dayFromCell() {
    if (!dayFromCell_) dayFromCell_ = makeDayCell(&VNSetFilterSection::dateFrom_, &VNSetFilterSection::dateFromChecked_);
    return dayFromCell_;
}

std::shared_ptr<VNCheckButtonValueTableViewCell> VNSetFilterSection::dayToCell() {
    if (!dayToCell_) dayToCell_ = makeDayCell(&VNSetFilterSection::dateTo_, &VNSetFilterSection::dateToChecked_);
    return dayToCell_;
}

std::shared_ptr<VNCheckButtonValueTableViewCell> VNSetFilterSection::alarmsCell() {
    if (!alarmsCell_) {
        alarmsCell_ = VNCheckButtonValueTableViewCell::loadFromNib();
        alarmsCell_->title().setText(Language::get("Alarms Only"));
        alarmsCell_->detailTextLabel().setText("");
        alarmsCell_->value().setText("");
        alarmsCell_->setAccessoryType(plat::AccessoryType::None);
        alarmsCell_->checkButton().setChecked(alarmsChecked_);
        alarmsCell_->checkButton().setOnCheck(
            whileSectionLives(*this, [](VNSetFilterSection& self, bool on) { self.alarmsChecked_ = on; }));
    }
    return alarmsCell_;
}

std::shared_ptr<VNTableViewCell> VNSetFilterSection::makeListCell(void (VNSetFilterSection::*open)()) {
    auto cell = VNTableViewCell::loadFromNib();
    cell->detailTextLabel().setText("");
    cell->setAccessoryType(plat::AccessoryType::DisclosureIndicator);
    cell->setOnSelectCellBlock(selectionRunning(open));
    return cell;
}

std::shared_ptr<VNTableViewCell> VNSetFilterSection::deviceTypeCell() {
    if (!deviceTypeCell_) {
        deviceTypeCell_ = makeListCell(&VNSetFilterSection::openDeviceTypes);
        deviceTypeCell_->textLabel().setText(Language::get("Devices Only"));
    }
    return deviceTypeCell_;
}

std::shared_ptr<VNTableViewCell> VNSetFilterSection::detectorCell() {
    if (!detectorCell_) {
        detectorCell_ = makeListCell(&VNSetFilterSection::openDetectors);
        detectorCell_->textLabel().setText(Language::get("Detectors Only"));
    }
    return detectorCell_;
}

template <class List, class CopyBack>
void VNSetFilterSection::presentList(const std::shared_ptr<List>& list, CopyBack copyBack) {
    list->initRows();
    std::weak_ptr<List> weakList = list;
    SecondaryScreens::presentCheckList(list, whileSectionLives(*this, [weakList, copyBack](VNSetFilterSection& self) {
        if (auto chosen = weakList.lock()) copyBack(self, *chosen);
    }));
}

void VNSetFilterSection::openDeviceTypes() {
    auto list = VNSection::create<VNDeviceTypesSection>();
    list->setDeviceType(deviceType_);
    presentList(list, [](VNSetFilterSection& self, VNDeviceTypesSection& chosen) { self.deviceType_ = chosen.deviceType(); });
}

void VNSetFilterSection::openDetectors() {
    auto list = VNSection::create<VNDetectorsSection>();
    list->setDetectors(detectors_);
    presentList(list, [](VNSetFilterSection& self, VNDetectorsSection& chosen) { self.detectors_ = chosen.detectors(); });
}

}  // namespace qx
