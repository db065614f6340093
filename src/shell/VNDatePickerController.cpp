#include "shell/VNDatePickerController.h"

#include <algorithm>

#include "model/DateStrings.h"

namespace qx {

plat::Date VNDatePickerController::endOfToday() {
    const auto today = DateStrings::beginningOfDay(plat::Date::now());
    // A day is 23 to 25 hours long; 30 hours on always lands in tomorrow.
    const auto tomorrow = DateStrings::beginningOfDay(today.addingTimeInterval(30 * 3600));
    return tomorrow.addingTimeInterval(-1);
}

void VNDatePickerController::setDatePickerMode(plat::DatePickerMode mode) {
    mode_ = mode;
    if (picker_) picker_->setMode(mode);
}

void VNDatePickerController::setDate(plat::Date date) {
    date_ = std::min(date, endOfToday());
    if (picker_) picker_->setDate(date_);
}

plat::Date VNDatePickerController::date() const { return picker_ ? picker_->date() : date_; }

std::shared_ptr<plat::DatePicker> VNDatePickerController::datePicker() {
    view();
    return picker_;
}

void VNDatePickerController::viewDidLoad() {
    VNBaseViewController::viewDidLoad();
    view()->setBackgroundColor(plat::Color::white());
    const auto area = contentFrame();
    picker_ = std::make_shared<plat::DatePicker>(plat::Rect{0, area.y(), area.width(), 216});
    picker_->setMode(mode_);
    picker_->setMaximumDate(endOfToday());
    picker_->setDate(date_);
    picker_->addAction(plat::ValueChanged, [this](plat::Control&) {
        date_ = picker_->date();
        if (auto block = onDateChanged_) block(date_);
    });
    view()->addSubview(picker_);
}

void VNDatePickerController::viewWillAppear(bool animated) {
    VNBaseViewController::viewWillAppear(animated);
    // The screen may stay open across midnight.
    if (picker_) picker_->setMaximumDate(endOfToday());
}

}  // namespace qx
