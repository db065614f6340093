#include "shell/VNCheckButtonTableViewCell.h"

#include <algorithm>
#include <cmath>

namespace qx {

namespace {

constexpr double kRightMargin = 10, kUnitGap = 5;

double neededWidth(const plat::Label& label) {
    return label.text().empty() ? 0 : std::ceil(label.font().widthOf(label.text()));
}

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

void VNCheckButtonValueTableViewCell::layoutSubviews() {
    VNCheckButtonTableViewCell::layoutSubviews();
    placeBesideTitle(0);
}

double VNCheckButtonValueTableViewCell::placeBesideTitle(double trailerWidth) {
    const plat::Rect content = contentView().bounds();
    auto& caption = title();
    const double x = caption.frame().x();
    const double right = content.width() - kRightMargin;
    const double width = std::max(0.0, right - x);
    const double trailer = trailerWidth > 0 ? trailerWidth + kUnitGap : 0;
    const double titleWidth = titleWidthBeside(caption, neededWidth(*value_) + trailer, width);
    caption.setFrame(plat::Rect{x, 0, titleWidth, content.height()});
    const double valueX = x + titleWidth + kTitleValueGap;
    const double valueRight = std::max(valueX, right - trailer);
    value_->setFrame(plat::Rect{valueX, 0, valueRight - valueX, content.height()});
    return valueRight + (trailer > 0 ? kUnitGap : 0);
}

void VNCheckButtonValueUnitTableViewCell::buildContent() {
    VNCheckButtonValueTableViewCell::buildContent();
    unit_ = addValueLabel(plat::Rect{265, 0, 50, 44});
    unit_->setTextAlignment(plat::TextAlignment::Left);
}

void VNCheckButtonValueUnitTableViewCell::awakeFromNib() {
    VNCheckButtonValueTableViewCell::awakeFromNib();
    styleLabel(*unit_, false);
}

void VNCheckButtonValueUnitTableViewCell::layoutSubviews() {
    VNCheckButtonTableViewCell::layoutSubviews();
    // The unit keeps its whole width; a value too long for the rest shrinks.
    const double unit = neededWidth(*unit_);
    const double unitX = placeBesideTitle(unit);
    unit_->setFrame(plat::Rect{unitX, 0, unit, contentView().bounds().height()});
}

}  // namespace qx
