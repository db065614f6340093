#include "shell/VNThresholdTableViewCell.h"

#include <algorithm>
#include <cmath>

#include "model/Language.h"
#include "platform/ui/Readability.h"

namespace qx {

void VNThresholdTableViewCell::buildContent() {
    thresholdIcon_ = std::make_shared<plat::ImageView>(plat::Rect{10, 7, 30, 30});
    thresholdTitle_ = std::make_shared<plat::Label>(plat::Rect{50, 0, 140, 44});
    thresholdValue_ = std::make_shared<plat::Label>(plat::Rect{195, 0, 95, 44});
    thresholdValue_->setTextAlignment(plat::TextAlignment::Right);
    contentView().addSubview(thresholdIcon_);
    contentView().addSubview(thresholdTitle_);
    contentView().addSubview(thresholdValue_);
    setAccessoryType(plat::AccessoryType::DisclosureIndicator);
}

void VNThresholdTableViewCell::awakeFromNib() {
    styleLabel(*thresholdTitle_, true);
    // Translations of the titles are longer than the English ones.
    thresholdTitle_->setAdjustsFontSizeToFitWidth(true);
    thresholdTitle_->setMinimumScaleFactor(0.6);
    thresholdValue_->setFont(plat::Font::named("HelveticaNeue", 17));
    // So is "n/a" in some languages, beside its unit.
    thresholdValue_->setAdjustsFontSizeToFitWidth(true);
    thresholdValue_->setShadowColor(plat::Color::white());
    thresholdValue_->setShadowOffset({0, 1});
    setType(type_);
}

void VNThresholdTableViewCell::layoutSubviews() {
    VNTableViewCell::layoutSubviews();
    // The name takes the room it needs, so that the two thresholds' names show alike; the value
    // the rest, up to the chevron.
    const plat::Rect content = contentView().bounds();
    const double x = thresholdTitle_->frame().x();
    const double width = std::max(0.0, content.width() - x);
    const double value = value_.empty() ? 0 : std::ceil(thresholdValue_->font().widthOf(value_));
    const double titleWidth = titleWidthBeside(*thresholdTitle_, value, width);
    thresholdTitle_->setFrame(plat::Rect{x, 0, titleWidth, content.height()});
    const double valueX = x + titleWidth + kTitleValueGap;
    thresholdValue_->setFrame(plat::Rect{valueX, 0, std::max(0.0, x + width - valueX), content.height()});
    thresholdIcon_->setFrame(plat::Rect{10, (content.height() - 30) / 2, 30, 30});
}

void VNThresholdTableViewCell::setType(std::uint64_t type) {
    type_ = type;
    const char* icon = "icon-treshhold-red";
    const char* name = "Second threshold";
    plat::Color color = plat::Color::red();
    switch (type) {
        case 0:
            icon = "icon-treshhold-yellow";
            name = "First threshold";
            color = plat::Color::orange();
            break;
        case 2: name = "First threshold"; break;
        case 3: name = "Indication threshold"; break;
        default: break;  // 1, and any unknown type, show as the second threshold
    }
    thresholdIcon_->setImage(plat::Image::named(icon));
    thresholdTitle_->setText(Language::get(name));
    setNeedsLayout();
    // Orange is too light for the white row: it is outlined in place of the white shadow.
    plat::Readability::colorText(*thresholdValue_, color, plat::Color::white(), plat::Color::white());
}

void VNThresholdTableViewCell::setValue(std::string value) {
    value_ = std::move(value);
    thresholdValue_->setText(value_);
    setNeedsLayout();
    setNeedsDisplay();
}

}  // namespace qx
