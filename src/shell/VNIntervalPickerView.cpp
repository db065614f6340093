#include "shell/VNIntervalPickerView.h"

#include "model/Language.h"

namespace qx {

VNIntervalPickerView::VNIntervalPickerView(const plat::Rect& frame) : VNView(frame) {
    setBackgroundColor(plat::Color::white());
    bar_ = std::make_shared<plat::Toolbar>(plat::Rect{0, 0, frame.width(), plat::Toolbar::kHeight});
    picker_ = std::make_shared<plat::DatePicker>(plat::Rect{0, plat::Toolbar::kHeight, frame.width(), 216});
    picker_->setMode(plat::DatePickerMode::CountDownTimer);
    done_ = plat::BarButtonItem::withTitle(Language::get("Done"), plat::BarButtonStyle::Done);
    bar_->setItems({plat::BarButtonItem::withSystemItem(plat::SystemItem::FlexibleSpace), done_});
    addSubview(bar_);
    addSubview(picker_);
}

void VNIntervalPickerView::close() {
    auto keep = shared_from_this();
    const auto seconds = picker_->countDownDuration();
    if (auto block = onIntervalPicked_) block(seconds);
    removeFromSuperview();
}

}  // namespace qx
