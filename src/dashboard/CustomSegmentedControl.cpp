#include "dashboard/CustomSegmentedControl.h"

#include "platform/ui/ImageView.h"

namespace qx {

CustomSegmentedControl::CustomSegmentedControl(std::size_t segmentCount, plat::Size segmentSize,
                                               plat::ImagePtr dividerImage, long tag,
                                               const std::shared_ptr<CustomSegmentedControlDelegate>& delegate)
    : delegate_(delegate) {
    setTag(tag);
    // A divider picture known only by name is drawn one point wide.
    const double dividerWidth =
        !dividerImage ? 0 : dividerImage->size().width > 0 ? dividerImage->size().width : 1;
    double x = 0;
    for (std::size_t i = 0; i < segmentCount; ++i) {
        if (i > 0 && dividerImage) {
            auto divider = std::make_shared<plat::ImageView>(dividerImage);
            divider->setFrame(plat::Rect{x, 0, dividerWidth, segmentSize.height});
            addSubview(divider);
            x += dividerWidth;
        }
        auto button = delegate ? delegate->buttonFor(*this, i) : nullptr;
        if (!button) button = plat::Button::make(plat::ButtonType::Custom);
        button->setFrame(plat::Rect{x, 0, segmentSize.width, segmentSize.height});
        button->addAction(plat::TouchUpInside, [this, i](plat::Control&) {
            if (auto d = delegate_.lock()) d->touchUpInsideSegmentIndex(*this, i);
        });
        addSubview(button);
        buttons_.push_back(button);
        x += segmentSize.width;
    }
    setFrame(plat::Rect{0, 0, x, segmentSize.height});
}

}  // namespace qx
