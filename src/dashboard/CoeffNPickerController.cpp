#include "dashboard/CoeffNPickerController.h"

#include <algorithm>
#include <cmath>
#include <string>

#include "model/Language.h"

namespace qx {

std::shared_ptr<plat::PickerView> CoeffNPickerController::pickerView() {
    view();
    return picker_;
}

void CoeffNPickerController::viewDidLoad() {
    VNBaseViewController::viewDidLoad();
    view()->setBackgroundColor(plat::Color::white());
    setTitle(Language::get("Coefficient N"));
    const auto area = contentFrame();
    picker_ = std::make_shared<plat::PickerView>(plat::Rect{0, area.y(), area.width(), plat::PickerView::kHeight});
    picker_->setShowsSelectionIndicator(true);
    auto self = weak_from_this().lock();
    picker_->setDataSource(std::shared_ptr<plat::PickerViewDataSource>(self, this));
    picker_->setDelegate(std::shared_ptr<plat::PickerViewDelegate>(self, this));
    view()->addSubview(picker_);
}

void CoeffNPickerController::setValue(double value) {
    // The wheels offer 2.00 to 9.99; a stored value outside them (an old or hand-edited
    // preferences file) shows and saves as the nearest choice, never as itself.
    value_ = value >= kMinimum ? std::min(value, static_cast<double>(kMaximum)) : kMinimum;
    if (!picker_) return;
    const long hundredths = std::lround(value_ * 100);
    picker_->selectRow(hundredths / 100 - 2, 0, true);
    picker_->selectRow(hundredths / 10 % 10, 1, true);
    picker_->selectRow(hundredths % 10, 2, true);
    picker_->addLabel(".", 21, 0, 60, 21);
}

std::string CoeffNPickerController::titleForRow(plat::PickerView&, long row, long component) {
    return std::to_string(component == 0 ? row + 2 : row);
}

void CoeffNPickerController::didSelectRow(plat::PickerView& picker, long, long) {
    const auto digit = [&](long component) { return std::stod(picker.titleForRow(picker.selectedRow(component), component)); };
    setValue(digit(0) + digit(1) / 10 + digit(2) / 100);
}

}  // namespace qx
