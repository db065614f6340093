#include "dashboard/VNSegmentedControlView.h"

#include <string>

#include "dashboard/DashboardInterfaces.h"

namespace qx {

namespace {

const char* const kPictures[3] = {"btn-left", "btn-center", "btn-right"};

std::string pictureName(int index, int style, bool on) {
    std::string name = kPictures[index];
    if (style != 0) name += "-small";
    if (on) name += "-active";
    return name;
}

}  // namespace

std::shared_ptr<VNSegmentedControlView> VNSegmentedControlView::loadFromNibWithStyle(int style) {
    registerDashboardInterfaces();
    auto view = VNView::loadFromNib<VNSegmentedControlView>();
    if (view) view->setStyle(style);
    return view;
}

VNSegmentedControlView::VNSegmentedControlView(const plat::Rect& frame) : VNView(frame) {
    const double width = frame.width() / 3;
    for (int i = 0; i < 3; ++i) {
        buttons_[i] = plat::Button::make(plat::ButtonType::Custom, plat::Rect{width * i, 0, width, frame.height()});
        buttons_[i]->addAction(plat::TouchUpInside, [this, i](plat::Control&) { press(i); });
        addSubview(buttons_[i]);
    }
    // One button is always on where one is chosen at a time: the left one, whose page a
    // screen shows first.
    buttons_[0]->setSelected(true);
    setStyle(0);
}

void VNSegmentedControlView::setStyle(int style) {
    style_ = style;
    for (int i = 0; i < 3; ++i) setOn(i, buttons_[i]->isSelected());
}

void VNSegmentedControlView::setOn(int index, bool on) {
    auto& button = *buttons_[index];
    button.setSelected(on);
    button.setBackgroundImage(plat::Image::named(pictureName(index, style_, on)));
}

void VNSegmentedControlView::press(int index) {
    bool on = true;
    if (multiCheck_) {
        on = !buttons_[index]->isSelected();
        setOn(index, on);
    } else {
        for (int i = 0; i < 3; ++i) setOn(i, i == index);
    }
    if (auto block = blocks_[index]) block(on);
}

void VNSegmentedControlView::selectAll() {
    for (int i = 0; i < 3; ++i) setOn(i, true);
}

}  // namespace qx
