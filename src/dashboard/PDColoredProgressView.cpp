#include "dashboard/PDColoredProgressView.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "model/Settings.h"

namespace qx {

namespace {

constexpr double kZone = 1.0 / 3.0;
constexpr double kTopOfRedZone = 10;  // times the second threshold

// Where v falls between lo and hi, 0 to 1; an empty span counts as passed.
double fraction(double v, double lo, double hi) {
    if (!(hi > lo)) return v > lo ? 1 : 0;
    return std::clamp((v - lo) / (hi - lo), 0.0, 1.0);
}

}  // namespace

void PDColoredProgressView::setFirstThreshold(double value) {
    first_ = value;
    setNeedsDisplay();
}

void PDColoredProgressView::setSecondThreshold(double value) {
    second_ = value;
    setNeedsDisplay();
}

void PDColoredProgressView::setDer(double value) {
    der_ = value;
    setNeedsDisplay();
}

double PDColoredProgressView::progress() const {
    if (!(der_ > 0) || !std::isfinite(der_)) return 0;
    const double first = std::max(first_, 0.0);
    const double second = std::max(second_, first);
    if (der_ <= first) return kZone * fraction(der_, 0, first);
    if (der_ <= second) return kZone + kZone * fraction(der_, first, second);
    return 2 * kZone + kZone * fraction(der_, second, second * kTopOfRedZone);
}

plat::Color PDColoredProgressView::barColor() const {
    if (der_ > second_) return plat::Color::red();
    if (der_ > first_) return plat::Color::orange();
    return Settings::kGreen;
}

void PDColoredProgressView::drawRect(plat::DrawingContext& context, const plat::Rect& rect) {
    context.setFillColor(plat::Color::fromBytes(60, 60, 60));
    context.fillRect(rect);
    context.setFillColor(barColor());
    context.fillRect(plat::Rect{rect.x(), rect.y(), rect.width() * progress(), rect.height()});
    // Marks at the zone borders.
    context.setStrokeColor(plat::Color::white());
    context.setLineWidth(1);
    for (double at : {kZone, 2 * kZone}) {
        context.beginPath();
        context.moveTo({rect.x() + rect.width() * at, rect.y()});
        context.lineTo({rect.x() + rect.width() * at, rect.maxY()});
        context.strokePath();
    }
}

std::string PDColoredProgressView::describeLine() const {
    char text[64];
    std::snprintf(text, sizeof text, "DoseRateBar %.0f%% %s", progress() * 100, barColor().hex().c_str());
    return text;
}

}  // namespace qx
