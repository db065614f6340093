#include "shell/VNTableViewCell.h"

#include <algorithm>

namespace qx {

VNTableViewCell::VNTableViewCell(plat::CellStyle style, std::string reuseIdentifier)
    : plat::TableViewCell(style, std::move(reuseIdentifier)) {}

void VNTableViewCell::onSelectCell() {
    // A copy: the block may replace itself (a section rebuilding its rows).
    if (auto block = onSelectCellBlock_) block(*this);
}

double VNTableViewCell::rowHeight() {
    if (nibHeight_ <= 0) nibHeight_ = frame().height();
    layoutIfNeeded();
    const plat::Label& title = rowTitle();
    if (title.isHidden() || title.numberOfLines() == 1 || title.text().empty()) return nibHeight_;
    if (title.font().widthOf(title.text()) <= title.frame().width()) return nibHeight_;
    // Two lines with the margins a one-line title has above and below it.
    constexpr double kMargins = 2 * 11;
    return std::max(nibHeight_, 2 * title.font().lineHeight() + kMargins);
}

void VNTableViewCell::styleLabel(plat::Label& label, bool bold) {
    label.setFont(plat::Font::named(bold ? "HelveticaNeue-Bold" : "HelveticaNeue", 17));
    label.setTextColor(plat::Color::black());
    label.setShadowColor(plat::Color::white());
    label.setShadowOffset({0, 1});
}

void VNTableViewCell::awakeFromNib() {
    styleLabel(textLabel(), true);
    styleLabel(detailTextLabel(), false);
    // A title too long for the row (the longer languages' words) takes a second line, and
    // shrinks only when two lines do not hold it, before it is cut.
    textLabel().setNumberOfLines(2);
    textLabel().setAdjustsFontSizeToFitWidth(true);
    textLabel().setMinimumScaleFactor(0.5);
}

}  // namespace qx
