#pragma once

#include "platform/ui/Control.h"

namespace plat {

// A value between a minimum and a maximum. A drag by the person sends value-changed (once at
// the end when not continuous, which for a headless drag is the same single event).
class Slider : public Control {
public:
    using Control::Control;

    double value() const { return value_; }
    // From code: clamped, no event.
    void setValue(double v, bool animated = false);
    double minimumValue() const { return min_; }
    void setMinimumValue(double v);
    double maximumValue() const { return max_; }
    void setMaximumValue(double v);
    bool isContinuous() const { return continuous_; }
    void setContinuous(bool on) { continuous_ = on; }
    bool lastChangeAnimated() const { return lastAnimated_; }

    // The person drags the thumb to a value.
    bool slideTo(double v);
    // One handle, the thumb, named by the slider's accessibility label.
    std::vector<DragHandle> dragHandles() const override;
    bool dragHandleTo(std::size_t handle, double value) override;

    void drawRect(DrawingContext& context, const Rect& rect) override;
    std::string kindName() const override { return "Slider"; }
    std::string describeLine() const override;

private:
    double value_ = 0, min_ = 0, max_ = 1;
    bool continuous_ = true;
    bool lastAnimated_ = false;
};

// A spinning wheel that shows work in progress.
class ActivityIndicator : public View {
public:
    using View::View;

    bool isAnimating() const { return animating_; }
    void startAnimating();
    void stopAnimating();
    bool hidesWhenStopped() const { return hidesWhenStopped_; }
    void setHidesWhenStopped(bool on);
    const std::optional<Color>& color() const { return color_; }
    void setColor(std::optional<Color> c) { color_ = c; }

    void drawRect(DrawingContext& context, const Rect& rect) override;
    std::string kindName() const override { return "ActivityIndicator"; }
    std::string describeLine() const override { return animating_ ? "ActivityIndicator (spinning)" : "ActivityIndicator"; }

private:
    bool animating_ = false;
    bool hidesWhenStopped_ = true;
    std::optional<Color> color_;
};

}  // namespace plat
