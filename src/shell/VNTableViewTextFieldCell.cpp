#include "shell/VNTableViewTextFieldCell.h"

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

void VNTableViewTextFieldCell::placeField(const plat::Rect& frame) { cellTextField_->setFrame(frame); }

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
