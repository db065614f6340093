#include "shell/CheckButton.h"

namespace qx {

CheckButton::CheckButton(const plat::Rect& frame) : plat::Button(plat::ButtonType::Custom, frame) {
    setImage(plat::Image::named(kUncheckedImage));
    addAction(plat::TouchUpInside, [this](plat::Control&) { toggle(); });
}

void CheckButton::setChecked(bool checked) {
    checked_ = checked;
    setImage(plat::Image::named(checked ? kCheckedImage : kUncheckedImage));
    setNeedsDisplay();
}

void CheckButton::toggle() {
    setChecked(!checked_);
    if (auto block = onCheck_) block(checked_);
}

std::string CheckButton::describeLine() const {
    std::string line = checked_ ? "CheckBox [x]" : "CheckBox [ ]";
    if (!accessibilityLabel().empty()) line += " \"" + accessibilityLabel() + "\"";
    if (!isEnabled()) line += " (disabled)";
    return line;
}

}  // namespace qx
