#include "dashboard/ThresholdScaleView.h"

#include <algorithm>
#include <cmath>

#include "model/DoseUnit.h"
#include "model/Settings.h"

namespace qx {

namespace {

plat::Font tickFont() { return plat::Font::named("HelveticaNeue", 11); }

double roundToTwoDigits(double value) {
    if (!(value > 0)) return value;
    const double step = std::pow(10.0, std::floor(std::log10(value)) - 1);
    return std::round(value / step) * step;
}

}  // namespace

void ThresholdScaleView::setScale(double minValue, double maxValue, int range) {
    min_ = minValue > 0 ? minValue : 0.1;
    max_ = std::max(maxValue, min_);
    range_ = std::clamp(range, lowestRange(), highestRange());
    setNeedsDisplay();
}

int ThresholdScaleView::lowestRange() const { return static_cast<int>(std::floor(std::log10(min_))); }

int ThresholdScaleView::highestRange() const {
    return std::max(lowestRange(), static_cast<int>(std::ceil(std::log10(max_))) - kDecades);
}

double ThresholdScaleView::lowValue() const { return std::max(std::pow(10.0, range_), min_); }

double ThresholdScaleView::highValue() const { return std::min(std::pow(10.0, range_ + kDecades), max_); }

void ThresholdScaleView::setMode(int mode) {
    mode_ = mode;
    setNeedsDisplay();
}

void ThresholdScaleView::setValues(double first, double second) {
    first_ = first;
    second_ = second;
    setNeedsDisplay();
}

void ThresholdScaleView::bringValuesIntoView() {
    const double low = single_ ? first_ : std::min(first_, second_);
    const double high = single_ ? first_ : std::max(first_, second_);
    if (!(low > 0) || !std::isfinite(high)) return;
    // A hair of slack so that a value on a decade mark counts as inside.
    if (lowValue() * (1 - 1e-9) <= low && high <= highValue() * (1 + 1e-9)) return;
    // The window whose middle lies nearest the middle of the values, among those that hold both.
    const double lowDecade = std::log10(low), highDecade = std::log10(high);
    int range = static_cast<int>(std::lround((lowDecade + highDecade) / 2 - kDecades / 2.0));
    const int fitsFrom = static_cast<int>(std::ceil(highDecade - 1e-9)) - kDecades;
    const int fitsTo = static_cast<int>(std::floor(lowDecade + 1e-9));
    if (fitsFrom <= fitsTo) range = std::clamp(range, fitsFrom, fitsTo);
    range_ = std::clamp(range, lowestRange(), highestRange());
    setNeedsDisplay();
}

void ThresholdScaleView::setSingleHandle(bool single) {
    single_ = single;
    setNeedsDisplay();
}

double ThresholdScaleView::xForValue(double value) const {
    const double lo = std::log10(lowValue()), hi = std::log10(highValue());
    if (!(value > 0) || !(hi > lo)) return trackLeft();
    const double at = std::clamp((std::log10(value) - lo) / (hi - lo), 0.0, 1.0);
    return trackLeft() + at * (trackRight() - trackLeft());
}

double ThresholdScaleView::valueForX(double x) const {
    const double width = trackRight() - trackLeft();
    const double at = width > 0 ? std::clamp((x - trackLeft()) / width, 0.0, 1.0) : 0;
    const double lo = std::log10(lowValue()), hi = std::log10(highValue());
    return std::pow(10.0, lo + at * (hi - lo));
}

bool ThresholdScaleView::moveHandle(int handle, double value) {
    if (handle != 0 && (handle != 1 || single_)) return false;
    if (std::isnan(value)) return false;
    const double lo = lowValue(), hi = highValue();
    double v = std::clamp(roundToTwoDigits(std::clamp(value, lo, hi)), lo, hi);
    if (!single_) {
        if (handle == 0) v = std::min(v, second_);
        if (handle == 1) v = std::max(v, first_);
    }
    (handle == 0 ? first_ : second_) = v;
    setNeedsDisplay();
    if (auto block = onMoved_) block(handle, v);
    return true;
}

void ThresholdScaleView::setHandleNames(std::string first, std::string second) {
    firstName_ = std::move(first);
    secondName_ = std::move(second);
}

std::vector<plat::View::DragHandle> ThresholdScaleView::dragHandles() const {
    std::vector<DragHandle> handles{{firstName_, first_, lowValue(), highValue()}};
    if (!single_) handles.push_back({secondName_, second_, lowValue(), highValue()});
    return handles;
}

bool ThresholdScaleView::dragHandleTo(std::size_t handle, double value) {
    if (!acceptsTouches() || handle > 1) return false;
    return moveHandle(static_cast<int>(handle), value);
}

double ThresholdScaleView::endInset(double value) const {
    return std::max(kInset, kMargin + (tickFont().widthOf(tickText(value)) + 2) / 2);
}

double ThresholdScaleView::trackLeft() const { return endInset(lowValue()); }

double ThresholdScaleView::trackRight() const { return bounds().width() - endInset(highValue()); }

std::string ThresholdScaleView::tickText(double value) const {
    const DoseUnit unit(value);
    return unit.stringValue() + " " + unit.unitString(mode_ == DoseUnit::doseKind ? DoseUnit::doseKind : DoseUnit::doseRateKind);
}

void ThresholdScaleView::drawRect(plat::DrawingContext& context, const plat::Rect& rect) {
    const double trackY = rect.midY();
    const double left = trackLeft(), right = trackRight();
    const double firstX = xForValue(first_);
    const double secondX = single_ ? firstX : xForValue(second_);

    // The zones the handles mark off.
    context.setFillColor(Settings::kGreen);
    context.fillRect(plat::Rect{left, trackY - 3, firstX - left, 6});
    if (!single_) {
        context.setFillColor(plat::Color::orange());
        context.fillRect(plat::Rect{firstX, trackY - 3, secondX - firstX, 6});
    }
    context.setFillColor(plat::Color::red());
    context.fillRect(plat::Rect{secondX, trackY - 3, right - secondX, 6});

    // A tick and its value with its unit at every decade of the window; the labels keep the
    // screen's margin.
    const plat::Font font = tickFont();
    context.setStrokeColor(plat::Color::black());
    context.setLineWidth(1);
    for (int decade = range_; decade <= range_ + kDecades; ++decade) {
        const double v = std::pow(10.0, decade);
        if (v < lowValue() * 0.999 || v > highValue() * 1.001) continue;
        const double x = xForValue(v);
        context.beginPath();
        context.moveTo({x, trackY + 6});
        context.lineTo({x, trackY + 14});
        context.strokePath();
        const std::string text = tickText(v);
        const double width = std::max(0.0, std::min(font.widthOf(text) + 2, rect.width() - 2 * kMargin));
        const double textLeft = std::max(rect.x() + kMargin, std::min(x - width / 2, rect.maxX() - kMargin - width));
        context.drawText(text, plat::Rect{textLeft, trackY + 16, width, font.lineHeight()}, font, plat::Color::black(),
                         plat::TextAlignment::Center);
    }

    // The handles.
    const auto handle = [&](double x, const plat::Color& color) {
        context.setFillColor(color);
        context.fillEllipse(plat::Rect{x - 11, trackY - 11, 22, 22});
        context.setStrokeColor(plat::Color::white());
        context.strokeEllipse(plat::Rect{x - 11, trackY - 11, 22, 22});
    };
    if (single_) {
        handle(firstX, plat::Color::red());
    } else {
        handle(firstX, plat::Color::orange());
        handle(secondX, plat::Color::red());
    }
}

std::string ThresholdScaleView::describeLine() const {
    std::string line = "ThresholdScale " + tickText(lowValue()) + " - " + tickText(highValue()) + ": " + tickText(first_);
    if (!single_) line += ", " + tickText(second_);
    return line;
}

}  // namespace qx
