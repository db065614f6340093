#pragma once

#include <optional>

#include "platform/ui/Control.h"

namespace plat {

// An on/off switch. Setting it from code sends nothing; a tap flips it and sends
// value-changed.
class Switch : public Control {
public:
    static constexpr double kWidth = 51, kHeight = 31;

    Switch() : Switch(Rect{0, 0, kWidth, kHeight}) {}
    explicit Switch(const Rect& frame) : Control(Rect{frame.origin, Size{kWidth, kHeight}}) {}

    bool isOn() const { return on_; }
    void setOn(bool on, bool animated = false) {
        on_ = on;
        lastAnimated_ = animated;
        setNeedsDisplay();
    }
    bool lastChangeAnimated() const { return lastAnimated_; }
    const std::optional<Color>& onTintColor() const { return onTint_; }
    void setOnTintColor(std::optional<Color> c) { onTint_ = c; }

    bool performTap() override;
    void drawRect(DrawingContext& context, const Rect& rect) override;
    std::string kindName() const override { return "Switch"; }
    std::string displayText() const override { return accessibilityLabel(); }
    std::string describeLine() const override;

private:
    bool on_ = false;
    bool lastAnimated_ = false;
    std::optional<Color> onTint_;
};

}  // namespace plat
