#include "history/NameEditBar.h"

#include "model/Language.h"
#include "platform/ui/BarButtonItem.h"

namespace qx {

NameEditBar::NameEditBar(DoneAction done) {
    toolbar_ = std::make_shared<plat::Toolbar>(plat::Rect{0, 0, 320, plat::Toolbar::kHeight});
    toolbar_->setBarStyle(plat::BarStyle::Black);
    doneItem_ = plat::BarButtonItem::withTitle(Language::get("Done"), plat::BarButtonStyle::Done);
    doneItem_->setAction([done = std::move(done)](plat::BarButtonItem&) {
        if (done) done();
    });
    toolbar_->setItems({plat::BarButtonItem::withSystemItem(plat::SystemItem::FlexibleSpace), doneItem_});
}

NameEditBar::~NameEditBar() {
    // The owner goes away: a bar still held by a view must not call it.
    doneItem_->setAction({});
    toolbar_->removeFromSuperview();
}

void NameEditBar::show(plat::View& screen) {
    const auto bounds = screen.bounds();
    toolbar_->setFrame({0, bounds.height() - plat::Toolbar::kHeight, bounds.width(), plat::Toolbar::kHeight});
    toolbar_->removeFromSuperview();
    screen.addSubview(toolbar_);
}

void NameEditBar::hide() {
    toolbar_->removeFromSuperview();
}

void NameEditBar::initTitles() {
    doneItem_->setTitle(Language::get("Done"));
}

}  // namespace qx
