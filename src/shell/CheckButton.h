#pragma once

#include <functional>
#include <memory>

#include "platform/ui/Button.h"

namespace qx {

// The check box of the history rows and settings cells. Setting the state from code only
// changes its picture; a touch toggles it and runs the check block with the new state.
class CheckButton : public plat::Button {
public:
    using CheckBlock = std::function<void(bool checked)>;
    static constexpr const char* kCheckedImage = "icon-checked.png";
    static constexpr const char* kUncheckedImage = "icon-unchecked.png";

    explicit CheckButton(const plat::Rect& frame = {0, 0, 30, 30});

    bool checked() const { return checked_; }
    void setChecked(bool checked);
    const CheckBlock& onCheck() const { return onCheck_; }
    void setOnCheck(CheckBlock block) { onCheck_ = std::move(block); }

    std::string kindName() const override { return "CheckBox"; }
    std::string describeLine() const override;

private:
    void toggle();

    bool checked_ = false;
    CheckBlock onCheck_;
};

}  // namespace qx
