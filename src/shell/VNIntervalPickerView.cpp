#include "shell/VNIntervalPickerView.h"

#include <algorithm>

#include "model/Language.h"
#include "platform/ui/BarItemView.h"

namespace qx {

VNIntervalPickerView::VNIntervalPickerView(const plat::Rect& frame) : VNView(frame) {
    setBackgroundColor(plat::Color::white());
    bar_ = std::make_shared<plat::Toolbar>(plat::Rect{0, 0, frame.width(), plat::Toolbar::kHeight});
    picker_ = std::make_shared<plat::DatePicker>(plat::Rect{0, plat::Toolbar::kHeight, frame.width(), 216});
    picker_->setMode(plat::DatePickerMode::CountDownTimer);
    done_ = plat::BarButtonItem::withTitle(Language::get("Done"), plat::BarButtonStyle::Done);
    bar_->setItems({plat::BarButtonItem::withSystemItem(plat::SystemItem::FlexibleSpace), done_});
    title_ = std::make_shared<plat::Label>();
    title_->setFont(plat::Font::boldSystem(17));
    title_->setTextAlignment(plat::TextAlignment::Center);
    title_->setAdjustsFontSizeToFitWidth(true);
    title_->setMinimumScaleFactor(0.6);
    bar_->addSubview(title_);
    addSubview(bar_);
    addSubview(picker_);
}

void VNIntervalPickerView::layoutSubviews() {
    VNView::layoutSubviews();
    // Centred on the bar, as wide as the room the Done button leaves on either side.
    const double width = bounds().width();
    const double done = std::max(plat::Toolbar::kDefaultItemWidth,
                                 plat::BarItemView::titleFont(*done_).widthOf(done_->title())) + 16;
    bar_->setFrame(plat::Rect{0, 0, width, plat::Toolbar::kHeight});
    title_->setFrame(plat::Rect{done, 0, std::max(0.0, width - 2 * done), plat::Toolbar::kHeight});
    picker_->setFrame(plat::Rect{0, plat::Toolbar::kHeight, width, picker_->frame().height()});
}

void VNIntervalPickerView::close() {
    auto keep = shared_from_this();
    const auto seconds = picker_->countDownDuration();
    if (auto block = onIntervalPicked_) block(seconds);
    removeFromSuperview();
}

}  // namespace qx
