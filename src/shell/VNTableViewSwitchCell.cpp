#include "shell/VNTableViewSwitchCell.h"

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

void VNTableViewSwitchCell::awakeFromNib() { styleLabel(*title_, true); }

void VNTableViewSwitchCell::onSwitchOnOff(plat::Switch& sender) {
    if (auto block = onSwitchOnOffBlock_) block(sender.isOn());
}

}  // namespace qx
