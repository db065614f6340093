#pragma once

#include <cstddef>
#include <memory>
#include <vector>

#include "platform/ui/Button.h"
#include "platform/ui/View.h"

namespace qx {

class CustomSegmentedControl;

// Supplies the buttons of a segmented control and hears their taps.
class CustomSegmentedControlDelegate {
public:
    virtual ~CustomSegmentedControlDelegate() = default;
    virtual std::shared_ptr<plat::Button> buttonFor(CustomSegmentedControl& control, std::size_t index) = 0;
    virtual void touchUpInsideSegmentIndex(CustomSegmentedControl& control, std::size_t index) = 0;
};

// A row of buttons of one size, given by the delegate, with a divider picture between them.
class CustomSegmentedControl : public plat::View {
public:
    // The buttons are asked for at once; a delegate that gives none leaves a plain button.
    CustomSegmentedControl(std::size_t segmentCount, plat::Size segmentSize, plat::ImagePtr dividerImage, long tag,
                           const std::shared_ptr<CustomSegmentedControlDelegate>& delegate);

    const std::vector<std::shared_ptr<plat::Button>>& buttons() const { return buttons_; }
    std::size_t segmentCount() const { return buttons_.size(); }

    std::string kindName() const override { return "Segments"; }

private:
    std::vector<std::shared_ptr<plat::Button>> buttons_;
    std::weak_ptr<CustomSegmentedControlDelegate> delegate_;
};

}  // namespace qx
