#include "platform/ui/Slider.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace plat {

void Slider::setValue(double v, bool animated) {
    lastAnimated_ = animated;
    value_ = std::isfinite(v) ? std::clamp(v, min_, std::max(min_, max_)) : min_;
    setNeedsDisplay();
}

void Slider::setMinimumValue(double v) {
    min_ = v;
    setValue(value_);
}

void Slider::setMaximumValue(double v) {
    max_ = v;
    setValue(value_);
}

bool Slider::slideTo(double v) {
    if (!canInteract()) return false;
    setValue(v, false);
    sendActions(ValueChanged);
    return true;
}

std::vector<View::DragHandle> Slider::dragHandles() const {
    return {{accessibilityLabel(), value_, min_, std::max(min_, max_)}};
}

bool Slider::dragHandleTo(std::size_t handle, double value) { return handle == 0 && slideTo(value); }

void Slider::drawRect(DrawingContext& ctx, const Rect& rect) {
    double span = max_ - min_;
    double f = span > 0 ? (value_ - min_) / span : 0;
    double x = rect.x() + 14 + f * (rect.width() - 28);
    ctx.setFillColor(Color::rgba(0, 122 / 255.0, 1));
    ctx.fillRect(Rect{rect.x() + 2, rect.midY() - 1, x - rect.x() - 2, 2});
    ctx.setFillColor(Color::rgba(0.7, 0.7, 0.7));
    ctx.fillRect(Rect{x, rect.midY() - 1, rect.maxX() - 2 - x, 2});
    ctx.setFillColor(Color::white());
    ctx.fillEllipse(Rect{x - 14, rect.midY() - 14, 28, 28});
}

std::string Slider::describeLine() const {
    char buf[96];
    std::snprintf(buf, sizeof buf, "Slider %g (%g..%g)", value_, min_, max_);
    std::string s = buf;
    if (!isEnabled()) s += " (disabled)";
    return s;
}

void ActivityIndicator::startAnimating() {
    animating_ = true;
    setHidden(false);
}

void ActivityIndicator::stopAnimating() {
    animating_ = false;
    if (hidesWhenStopped_) setHidden(true);
}

void ActivityIndicator::setHidesWhenStopped(bool on) {
    hidesWhenStopped_ = on;
    if (on && !animating_) setHidden(true);
}

void ActivityIndicator::drawRect(DrawingContext& ctx, const Rect& rect) {
    // Twelve spokes fading round the circle, as the spinner looks at one moment of its turn.
    constexpr int kSpokes = 12;
    const Color color = color_.value_or(Color::gray());
    const double radius = std::min(rect.width(), rect.height()) / 2;
    const Point centre{rect.midX(), rect.midY()};
    ctx.setLineWidth(std::max(1.5, radius * 0.2));
    ctx.setLineCap(LineCap::Round);
    for (int i = 0; i < kSpokes; ++i) {
        const double angle = 2 * M_PI * i / kSpokes;
        const double dx = std::cos(angle), dy = std::sin(angle);
        ctx.setStrokeColor(color.withAlpha(color.a * (0.2 + 0.8 * i / (kSpokes - 1))));
        ctx.beginPath();
        ctx.moveTo({centre.x + dx * radius * 0.45, centre.y + dy * radius * 0.45});
        ctx.lineTo({centre.x + dx * radius * 0.9, centre.y + dy * radius * 0.9});
        ctx.strokePath();
    }
}

}  // namespace plat
