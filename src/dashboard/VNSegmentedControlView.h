#pragma once

#include <functional>
#include <memory>

#include "platform/ui/Button.h"
#include "shell/VNView.h"

namespace qx {

// Three buttons side by side (left, centre, right), each on or off. Normally pressing a button
// turns it on and the others off; in multi-check mode a press toggles only that button. The
// owner titles the buttons and installs a block per button, run with its new state.
class VNSegmentedControlView : public VNView {
public:
    using PressBlock = std::function<void(bool on)>;
    static constexpr const char* kNibName = "VNSegmentedControlView";

    // From the interface file, in a style: 0 (details screens) the large pictures, 1 the small.
    static std::shared_ptr<VNSegmentedControlView> loadFromNibWithStyle(int style);

    explicit VNSegmentedControlView(const plat::Rect& frame = {0, 0, 300, 32});

    plat::Button& leftButton() { return *buttons_[0]; }
    plat::Button& centerButton() { return *buttons_[1]; }
    plat::Button& rightButton() { return *buttons_[2]; }
    void setLeftButtonPressBlock(PressBlock block) { blocks_[0] = std::move(block); }
    void setCenterButtonPressBlock(PressBlock block) { blocks_[1] = std::move(block); }
    void setRightButtonPressBlock(PressBlock block) { blocks_[2] = std::move(block); }
    void setMultiCheck(bool multi) { multiCheck_ = multi; }
    bool multiCheck() const { return multiCheck_; }
    // All three on (nothing is run).
    void selectAll();

    int style() const { return style_; }
    void setStyle(int style);

private:
    void press(int index);
    void setOn(int index, bool on);

    std::shared_ptr<plat::Button> buttons_[3];
    PressBlock blocks_[3];
    bool multiCheck_ = false;
    int style_ = 0;
};

}  // namespace qx
