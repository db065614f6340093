#include "shell/VNTableViewTextFieldCell.h"

#include <algorithm>
#include <cmath>

#include "model/Language.h"

namespace qx {

void VNTableViewTextFieldCell::buildContent() {
    cellTextField_ = std::make_shared<plat::TextField>();
    placeField(plat::Rect{140, 7, 170, 30});
    cellTextField_->setTextAlignment(plat::TextAlignment::Right);
    contentView().addSubview(cellTextField_);
    cellTextField_->addAction(plat::EditingDidBegin, [this](plat::Control& sender) {
        textFieldDidStartEditing(static_cast<plat::TextField&>(sender));
    });
    cellTextField_->addAction(plat::EditingDidEnd, [this](plat::Control& sender) {
        textFieldDidEndEditing(static_cast<plat::TextField&>(sender));
    });

    accessoryToolBar_ = std::make_shared<plat::Toolbar>(plat::Rect{0, 0, 320, plat::Toolbar::kHeight});
    std::weak_ptr<plat::TextField> field = cellTextField_;
    accessoryToolBarButton_ =
        plat::BarButtonItem::withTitle("Done", plat::BarButtonStyle::Done, [field](plat::BarButtonItem&) {
            if (auto f = field.lock()) f->resignFirstResponder();
        });
    accessoryToolBar_->setItems({plat::BarButtonItem::withSystemItem(plat::SystemItem::FlexibleSpace),
                                 accessoryToolBarButton_});
    setSelectionStyle(plat::SelectionStyle::None);
}

void VNTableViewTextFieldCell::placeField(const plat::Rect& frame) {
    cellTextField_->setFrame(frame);
    minimumFieldWidth_ = frame.width() * 0.4;
    setNeedsLayout();
}

void VNTableViewTextFieldCell::layoutSubviews() {
    VNTableViewCell::layoutSubviews();
    // The title takes the room it needs, in up to two lines, leaving the field at least its
    // minimum width; the field fills the rest of the row, so it never covers the title.
    constexpr double kGap = 8, kRight = 10;
    auto& title = textLabel();
    const plat::Rect content = contentView().bounds();
    const double x = title.frame().x();
    const double most = std::max(0.0, content.width() - x - kGap - minimumFieldWidth_ - kRight);
    const double wanted = title.text().empty() ? 0 : std::ceil(title.font().widthOf(title.text()));
    double width = std::min(wanted, most);
    title.setNumberOfLines(wanted > most ? 2 : 1);
    if (wanted > most) width = std::ceil(title.sizeThatFits({most, content.height()}).width);
    title.setFrame(plat::Rect{x, 0, width, content.height()});
    const plat::Rect old = cellTextField_->frame();
    const double fieldX = x + width + kGap;
    cellTextField_->setFrame(plat::Rect{fieldX, (content.height() - old.height()) / 2,
                                        std::max(0.0, content.width() - kRight - fieldX), old.height()});
}

void VNTableViewTextFieldCell::awakeFromNib() {
    VNTableViewCell::awakeFromNib();
    edit_ = false;
    cellTextField_->setInputAccessoryView(accessoryToolBar_);
    accessoryToolBarButton_->setTitle(Language::get("Done"));
}

void VNTableViewTextFieldCell::textFieldDidStartEditing(plat::TextField&) {
    edit_ = true;
    if (auto block = onTextChangedBlock_) block("");
}

void VNTableViewTextFieldCell::textFieldDidEndEditing(plat::TextField& sender) {
    sender.resignFirstResponder();
    edit_ = false;
    if (auto block = onTextChangedBlock_) block(sender.text());
}

}  // namespace qx
