#include "shell/VNCheckButtonTableViewCell.h"

namespace qx {

namespace {
// Long translations and values (a time with seconds, "meters") shrink rather than run out of
// their part of the row.
void shrinkToFit(plat::Label& label) {
    label.setAdjustsFontSizeToFitWidth(true);
    label.setMinimumScaleFactor(0.5);
}
}  // namespace

void VNCheckButtonTableViewCell::buildContent() {
    checkButton_ = std::make_shared<CheckButton>(plat::Rect{10, 7, 30, 30});
    // Without a value the title has the row to itself; cells with a value narrow it.
    title_ = std::make_shared<plat::Label>(plat::Rect{50, 0, 260, 44});
    shrinkToFit(*title_);
    contentView().addSubview(checkButton_);
    contentView().addSubview(title_);
    setSelectionStyle(plat::SelectionStyle::None);
}

void VNCheckButtonTableViewCell::awakeFromNib() { styleLabel(*title_, true); }

std::shared_ptr<plat::Label> VNCheckButtonTableViewCell::addValueLabel(const plat::Rect& frame) {
    auto label = std::make_shared<plat::Label>(frame);
    label->setTextAlignment(plat::TextAlignment::Right);
    shrinkToFit(*label);
    contentView().addSubview(label);
    return label;
}

void VNCheckButtonValueTableViewCell::buildContent() {
    VNCheckButtonTableViewCell::buildContent();
    title().setFrame(plat::Rect{50, 0, 145, 44});
    value_ = addValueLabel(plat::Rect{200, 0, 110, 44});
}

void VNCheckButtonValueTableViewCell::awakeFromNib() {
    VNCheckButtonTableViewCell::awakeFromNib();
    styleLabel(*value_, false);
}

void VNCheckButtonValueUnitTableViewCell::buildContent() {
    VNCheckButtonValueTableViewCell::buildContent();
    placeValue(plat::Rect{200, 0, 60, 44});
    unit_ = addValueLabel(plat::Rect{265, 0, 50, 44});
    unit_->setTextAlignment(plat::TextAlignment::Left);
}

void VNCheckButtonValueUnitTableViewCell::awakeFromNib() {
    VNCheckButtonValueTableViewCell::awakeFromNib();
    styleLabel(*unit_, false);
}

}  // namespace qx
