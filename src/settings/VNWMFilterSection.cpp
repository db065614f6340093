#include "settings/VNWMFilterSection.h"

#include <string>

#include "model/DateStrings.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "settings/DateRows.h"
#include "settings/SectionBlocks.h"
#include "settings/VNTimeDistPickerController.h"

namespace qx {

void VNWMFilterSection::readSettings(const Settings& settings) {
    // The screen opens on the window in force, so that applying without a change keeps it.
    timeFrom_ = openedFrom_ = settings.WMTimeFrom();
    timeTo_ = openedTo_ = settings.WMTimeTo();
    timeFromOn_ = settings.WMTimeFromOn();
    timeToOn_ = settings.WMTimeToOn();
    distance_ = settings.WMDistance();
    distanceOn_ = settings.WMDistanceOn();
    alertsOnly_ = settings.WMAlertsOnly();
}

void VNWMFilterSection::applyToSettings(Settings& settings) const {
    settings.setWMDistance(distance_ > 0 ? static_cast<unsigned>(distance_) : 0);
    settings.setWMDistanceOn(distanceOn_);
    if (timeFrom_ != openedFrom_) settings.setWMTimeFrom(timeFrom_);
    settings.setWMTimeFromOn(timeFromOn_);
    if (timeTo_ != openedTo_) settings.setWMTimeTo(timeTo_);
    settings.setWMTimeToOn(timeToOn_);
    settings.setWMAlertsOnly(alertsOnly_);
}

void VNWMFilterSection::initRows() {
    // The rows show the fields as they are now, so the cells are made anew.
    distanceCell_.reset();
    timeFromCell_.reset();
    timeToCell_.reset();
    alertsOnlyCell_.reset();
    setRows({distanceCell(), timeFromCell(), timeToCell(), alertsOnlyCell()});
    updateCellsTitles();
}

void VNWMFilterSection::updateCellsTitles() {
    if (distanceCell_) {
        distanceCell_->title().setText(Language::get("Distance"));
        updateDistanceCell();
    }
    if (timeFromCell_) {
        timeFromCell_->title().setText(Language::get("Time From"));
        showTime(*timeFromCell_, timeFrom_, timeFromOn_);
    }
    if (timeToCell_) {
        timeToCell_->title().setText(Language::get("Time To"));
        showTime(*timeToCell_, timeTo_, timeToOn_);
    }
    if (alertsOnlyCell_) alertsOnlyCell_->title().setText(Language::get("Alerts Only"));
}

std::shared_ptr<VNCheckButtonValueTableViewCell> VNWMFilterSection::makeTimeCell(plat::Date VNWMFilterSection::*date,
                                                                                 bool VNWMFilterSection::*on) {
    auto row = makeDateRow(*this, date, on, plat::DatePickerMode::DateAndTime, &DateStrings::dateTimeMediumStr);
    return row;
}

void VNWMFilterSection::showTime(VNCheckButtonValueTableViewCell& cell, plat::Date date, bool on) {
    cell.value().setText(DateStrings::dateTimeMediumStr(date));
    cell.checkButton().setChecked(on);
}

std::shared_ptr<VNCheckButtonValueTableViewCell> VNWMFilterSection::timeFromCell() {
    if (!timeFromCell_) timeFromCell_ = makeTimeCell(&VNWMFilterSection::timeFrom_, &VNWMFilterSection::timeFromOn_);
    return timeFromCell_;
}

std::shared_ptr<VNCheckButtonValueTableViewCell> VNWMFilterSection::timeToCell() {
    if (!timeToCell_) timeToCell_ = makeTimeCell(&VNWMFilterSection::timeTo_, &VNWMFilterSection::timeToOn_);
    return timeToCell_;
}

std::shared_ptr<VNCheckButtonValueTableViewCell> VNWMFilterSection::alertsOnlyCell() {
    if (!alertsOnlyCell_) {
        alertsOnlyCell_ = VNCheckButtonValueTableViewCell::loadFromNib();
        alertsOnlyCell_->detailTextLabel().setText("");
        alertsOnlyCell_->value().setText("");
        alertsOnlyCell_->setAccessoryType(plat::AccessoryType::None);
        alertsOnlyCell_->checkButton().setChecked(alertsOnly_);
        alertsOnlyCell_->checkButton().setOnCheck(
            whileSectionLives(*this, [](VNWMFilterSection& self, bool checked) { self.alertsOnly_ = checked; }));
    }
    return alertsOnlyCell_;
}

std::shared_ptr<VNCheckButtonValueUnitTableViewCell> VNWMFilterSection::distanceCell() {
    if (!distanceCell_) {
        distanceCell_ = VNCheckButtonValueUnitTableViewCell::loadFromNib();
        distanceCell_->checkButton().setOnCheck(
            whileSectionLives(*this, [](VNWMFilterSection& self, bool checked) { self.distanceOn_ = checked; }));
        distanceCell_->setOnSelectCellBlock(whileSectionLives(*this, [](VNWMFilterSection& self, VNTableViewCell&) {
            // The picker starts from the stored radius, not from the one edited here.
            VNTimeDistPickerController::present(
                VNTimeDistPickerController::kMapDistanceMode, whileSectionLives(self, [](VNWMFilterSection& s, double km) {
                    s.distance_ = static_cast<std::int64_t>(km);
                    s.updateDistanceCell();
                }));
        }));
        updateDistanceCell();
    }
    return distanceCell_;
}

void VNWMFilterSection::updateDistanceCell() {
    auto cell = distanceCell();
    cell->unit().setText(Language::get(Settings::sharedSettings().metric() ? "km" : "miles"));
    cell->value().setText(std::to_string(distance_));
    cell->checkButton().setChecked(distanceOn_);
}

}  // namespace qx
