#include "platform/ui/Switch.h"

namespace plat {

bool Switch::performTap() {
    if (!canInteract()) return false;
    setOn(!on_, true);
    sendActions(ValueChanged);
    return true;
}

void Switch::drawRect(DrawingContext& ctx, const Rect& rect) {
    ctx.setFillColor(on_ ? onTint_.value_or(Color::rgba(0.3, 0.85, 0.4)) : Color::rgba(0.9, 0.9, 0.9));
    ctx.fillEllipse(Rect{rect.x(), rect.y(), rect.height(), rect.height()});
    ctx.fillEllipse(Rect{rect.maxX() - rect.height(), rect.y(), rect.height(), rect.height()});
    ctx.fillRect(Rect{rect.x() + rect.height() / 2, rect.y(), rect.width() - rect.height(), rect.height()});
    ctx.setFillColor(Color::white());
    double x = on_ ? rect.maxX() - rect.height() + 2 : rect.x() + 2;
    ctx.fillEllipse(Rect{x, rect.y() + 2, rect.height() - 4, rect.height() - 4});
}

std::string Switch::describeLine() const {
    std::string s = on_ ? "Switch on" : "Switch off";
    if (!accessibilityLabel().empty()) s += " \"" + accessibilityLabel() + "\"";
    if (!isEnabled()) s += " (disabled)";
    return s;
}

}  // namespace plat
