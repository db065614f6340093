#include "shell/VNTableViewSwitchCell.h"

#include <algorithm>

namespace qx {

void VNTableViewSwitchCell::buildContent() {
    title_ = std::make_shared<plat::Label>(plat::Rect{15, 0, 230, 44});
    // Long translations shrink rather than run under the switch.
    title_->setAdjustsFontSizeToFitWidth(true);
    title_->setMinimumScaleFactor(0.5);
    cellSwitch_ = std::make_shared<plat::Switch>(plat::Rect{320 - plat::Switch::kWidth - 10, 6.5, 0, 0});
    contentView().addSubview(title_);
    contentView().addSubview(cellSwitch_);
    cellSwitch_->addAction(plat::ValueChanged, [this](plat::Control& sender) {
        onSwitchOnOff(static_cast<plat::Switch&>(sender));
    });
    setSelectionStyle(plat::SelectionStyle::None);
}

void VNTableViewSwitchCell::awakeFromNib() {
    styleLabel(*title_, true);
    // A long title takes a second line rather than running under the switch.
    title_->setNumberOfLines(2);
}

void VNTableViewSwitchCell::layoutSubviews() {
    VNTableViewCell::layoutSubviews();
    const plat::Rect content = contentView().bounds();
    const plat::Rect toggle = cellSwitch_->frame();
    cellSwitch_->setFrame(plat::Rect{content.width() - toggle.width() - 10, (content.height() - toggle.height()) / 2,
                                     toggle.width(), toggle.height()});
    const double x = title_->frame().x();
    title_->setFrame(plat::Rect{x, 0, std::max(0.0, cellSwitch_->frame().x() - 8 - x), content.height()});
}

void VNTableViewSwitchCell::onSwitchOnOff(plat::Switch& sender) {
    if (auto block = onSwitchOnOffBlock_) block(sender.isOn());
}

}  // namespace qx
