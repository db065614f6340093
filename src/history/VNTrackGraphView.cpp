#include "history/VNTrackGraphView.h"

#include <algorithm>
#include <cmath>
#include <limits>

#include "model/DateStrings.h"
#include "model/DoseUnit.h"
#include "model/Language.h"
#include "model/Settings.h"
#include "platform/ui/Readability.h"
#include "store/Track.h"

namespace qx {

namespace {

constexpr double kValueColumnWidth = 38;
constexpr double kValueLabelHeight = 14;
constexpr double kDateLabelWidth = 140;
constexpr double kArrowHalfWidth = 2;
constexpr double kLineWidth = 2;
constexpr double kThresholdLineWidth = 0.5;

std::shared_ptr<plat::Label> graphLabel(plat::View& parent, const plat::Rect& frame, double size, bool bold,
                                        plat::TextAlignment alignment) {
    auto label = std::make_shared<plat::Label>(frame);
    label->setBackgroundColor(plat::Color::clear());
    label->setTextColor(plat::Color::black());
    label->setFont(plat::Font::named(bold ? "HelveticaNeue-Bold" : "HelveticaNeue", size));
    label->setTextAlignment(alignment);
    label->setAdjustsFontSizeToFitWidth(true);
    label->setMinimumScaleFactor(0.6);
    parent.addSubview(label);
    return label;
}

// A figure that is not a finite number (the lowest dose rate of no readings) plots as 0.
float plotted(double value) {
    return std::isfinite(value) ? static_cast<float>(value) : 0.0f;
}

}  // namespace

VNTrackGraphView::VNTrackGraphView(const plat::Rect& frame) : VNView(frame) {}

std::shared_ptr<VNTrackGraphView> VNTrackGraphView::fromInterface(const plat::Rect& frame) {
    auto view = std::make_shared<VNTrackGraphView>(frame);
    const double w = frame.width(), h = frame.height();
    // Fixed once from the frame the view is made with; a later resize keeps them.
    view->zeroPoint_ = {kYAxisX, h - kAxisMargin};
    view->endXPoint_ = {w - kAxisMargin, h - kAxisMargin};
    view->endYPoint_ = {kYAxisX, kAxisMargin};
    view->xLength_ = static_cast<float>(view->endXPoint_.x - view->zeroPoint_.x - kArrowRoom);
    view->yLength_ = static_cast<float>(view->zeroPoint_.y - view->endYPoint_.y - kArrowRoom);
    view->mode_ = 0;
    view->buildLabels();
    return view;
}

void VNTrackGraphView::buildLabels() {
    const double w = frame().width(), h = frame().height();
    using plat::TextAlignment;
    titleLabel_ = graphLabel(*this, {kYAxisX + 10, 2, w - kYAxisX - 20, 16}, 11, true, TextAlignment::Left);
    titleView_ = graphLabel(*this, {kYAxisX + 10, 2, 0, 0}, 11, false, TextAlignment::Left);
    const double top = zeroPoint_.y - yLength_;
    maxValueLabel_ = graphLabel(*this, {0, top - kValueLabelHeight / 2, kValueColumnWidth, kValueLabelHeight}, 9, true,
                                TextAlignment::Right);
    minValueLabel_ = graphLabel(*this, {0, zeroPoint_.y - kValueLabelHeight, kValueColumnWidth, kValueLabelHeight}, 9,
                                true, TextAlignment::Right);
    firstThresholdLabel_ =
        graphLabel(*this, {0, 0, kValueColumnWidth, kValueLabelHeight}, 9, false, TextAlignment::Right);
    secondThresholdLabel_ =
        graphLabel(*this, {0, 0, kValueColumnWidth, kValueLabelHeight}, 9, false, TextAlignment::Right);
    // The thresholds' colours, the orange outlined to read on the page.
    for (const auto& [label, color] : {std::pair{firstThresholdLabel_, plat::Color::orange()},
                                       std::pair{secondThresholdLabel_, plat::Color::red()}}) {
        label->setShadowOffset({0, 1});
        plat::Readability::colorText(*label, color, plat::Color::white());
    }
    startDateLabel_ =
        graphLabel(*this, {kYAxisX - 10, h - kAxisMargin + 3, kDateLabelWidth, 14}, 9, false, TextAlignment::Left);
    endDateLabel_ = graphLabel(*this, {w - kAxisMargin - kDateLabelWidth, h - kAxisMargin + 3, kDateLabelWidth, 14}, 9,
                               false, TextAlignment::Right);

    auto self = std::static_pointer_cast<plat::View>(shared_from_this());
    firstTop_ = plat::LayoutConstraint::make(firstThresholdLabel_, plat::LayoutAttribute::Top,
                                             plat::LayoutRelation::Equal, self, plat::LayoutAttribute::Top, 1, 0);
    secondTop_ = plat::LayoutConstraint::make(secondThresholdLabel_, plat::LayoutAttribute::Top,
                                              plat::LayoutRelation::Equal, self, plat::LayoutAttribute::Top, 1, 0);
    addConstraint(firstTop_);
    addConstraint(secondTop_);
}

double VNTrackGraphView::xForTime(double seconds) const {
    // Readings that all share one time have no time scale: they stand on the y axis.
    if (!(timeDelta_ > 0)) return zeroPoint_.x;
    const double x = zeroPoint_.x + seconds / timeDelta_;
    return std::isfinite(x) ? x : zeroPoint_.x;
}

void VNTrackGraphView::readThresholds() {
    Settings& settings = Settings::sharedSettings();
    const Threshold& threshold = mode_ != 0 ? settings.DEthreshold() : settings.DERthreshold();
    firstThreshold_ = threshold.firstThreshold->value();
    secondThreshold_ = threshold.secondThreshold->value();
}

void VNTrackGraphView::setTrack(std::shared_ptr<Track> track, unsigned long mode) {
    auto samples = track ? TrackReadings::samplesByDate(*track) : std::vector<TrackReadings::Sample>{};
    setTrack(std::move(track), mode, std::move(samples));
}

void VNTrackGraphView::setTrack(std::shared_ptr<Track> track, unsigned long mode,
                                std::vector<TrackReadings::Sample> samples) {
    mode_ = mode;
    track_ = std::move(track);
    if (!track_) return;
    readThresholds();
    samples_ = std::move(samples);
    lowest_ = highest_ = 0;
    if (!samples_.empty()) {
        lowest_ = std::numeric_limits<double>::infinity();
        for (const auto& sample : samples_) {
            const double v = mode_ != 0 ? sample.de : sample.der;
            lowest_ = std::min(lowest_, v);
            highest_ = std::max(highest_, v);
        }
    }
    // Readings all alike (one reading, a flat track) give the plot no height: it gets a range
    // with their value in the middle, so that their line shows above the axis.
    top_ = highest_;
    bottom_ = lowest_;
    if (!samples_.empty() && !(highest_ > lowest_)) {
        const double half = highest_ > 0 ? highest_ / 2 : 1;
        top_ = highest_ + half;
        bottom_ = lowest_ - half;
    }
    maxValue_ = plotted(top_);
    minValue_ = plotted(bottom_);
    yDelta_ = (maxValue_ - minValue_) / yLength_;
    const double span = samples_.empty() ? 0 : samples_.back().date.timeIntervalSince(samples_.front().date);
    timeDelta_ = static_cast<float>(span / xLength_);

    firstMarkYOrigin_ = placeMark(firstThreshold_, firstThresholdLabel_.get(), firstTop_.get());
    secondMarkYOrigin_ = placeMark(secondThreshold_, secondThresholdLabel_.get(), secondTop_.get());
    hideCollidingLabels();
    fillTexts();
    setNeedsDisplay();
}

double VNTrackGraphView::placeMark(double threshold, plat::Label* label, plat::LayoutConstraint* top) {
    if (!(threshold < maxValue_ && threshold > minValue_)) {
        if (label) label->setHidden(true);
        return -1.0;
    }
    const double y = zeroPoint_.y - (threshold - minValue_) / yDelta_;
    if (label && top) {
        // The label is centred on its line.
        top->constant = y - 0.5 * label->frame().height();
        auto frame = label->frame();
        frame.origin.y = top->constant;
        label->setFrame(frame);
    }
    return y;
}

void VNTrackGraphView::hideCollidingLabels() {
    if (!firstThresholdLabel_ || !secondThresholdLabel_ || !maxValueLabel_ || !minValueLabel_) return;
    auto placed = [](const plat::Label& label, const plat::LayoutConstraint& top) {
        auto r = label.frame();
        r.origin.y = top.constant;
        return r;
    };
    const plat::Rect second = placed(*secondThresholdLabel_, *secondTop_);
    const plat::Rect first = placed(*firstThresholdLabel_, *firstTop_);
    if (second.intersects(maxValueLabel_->frame()) || second.intersects(minValueLabel_->frame())) {
        secondThresholdLabel_->setHidden(true);
    }
    if (first.intersects(maxValueLabel_->frame()) || first.intersects(second) ||
        first.intersects(minValueLabel_->frame())) {
        firstThresholdLabel_->setHidden(true);
    }
}

void VNTrackGraphView::fillTexts() {
    if (!titleLabel_) return;
    Settings& settings = Settings::sharedSettings();
    const bool dose = mode_ != 0;
    const Threshold& threshold = dose ? settings.DEthreshold() : settings.DERthreshold();
    const int kind = dose ? DoseUnit::doseKind : DoseUnit::doseRateKind;
    // Every figure on the axis is written in the unit of the highest reading, the one the title names.
    const DoseUnit top(highest_);
    titleLabel_->setText(Language::get(dose ? "Accumulated Dose (Gamma)," : "Dose Rate (Gamma),") + " " +
                         top.unitString(kind));
    firstThresholdLabel_->setText(threshold.firstThreshold->stringValueScaledAs(highest_));
    secondThresholdLabel_->setText(threshold.secondThreshold->stringValueScaledAs(highest_));
    // The axis is labelled at its ends; an end below zero reads nothing, as no reading is there.
    maxValueLabel_->setText(DoseUnit(top_).stringValueScaledAs(highest_));
    minValueLabel_->setText(samples_.empty() || bottom_ >= 0 ? DoseUnit(bottom_).stringValueScaledAs(highest_)
                                                             : std::string());
    startDateLabel_->setText(samples_.empty() ? std::string() : DateStrings::dateTimeMediumStr(samples_.front().date));
    endDateLabel_->setText(samples_.empty() ? std::string() : DateStrings::dateTimeMediumStr(samples_.back().date));
}

void VNTrackGraphView::drawRect(plat::DrawingContext& context, const plat::Rect&) {
    drawBackground(context);
    drawAxis(context);
    if (track_) drawPlot(context);
    drawTreshLines(context);
}

void VNTrackGraphView::drawBackground(plat::DrawingContext& context) {
    readThresholds();
    const double f = firstThreshold_, s = secondThreshold_;
    const double min = minValue_, max = maxValue_;
    const double bottom = zeroPoint_.y, top = zeroPoint_.y - yLength_;
    struct Band {
        double top = 0, height = 0;
        plat::Color color;
    };
    Band green{0, 0, kGreenBand}, orange{0, 0, kOrangeBand}, red{0, 0, kRedBand};
    const bool firstInside = min < f && f < max;
    if (firstInside) {
        green = {firstMarkYOrigin_, bottom - firstMarkYOrigin_, kGreenBand};
        const double orangeTop = secondMarkYOrigin_ > 0 ? secondMarkYOrigin_ : top;
        orange = {orangeTop, firstMarkYOrigin_ - orangeTop, kOrangeBand};
    } else if (f > max) {
        green = {top, yLength_, kGreenBand};
    } else if (f < max) {
        orange = {top, yLength_, kOrangeBand};
    }
    if (min < s && s < max) {
        red = {top, secondMarkYOrigin_ - top, kRedBand};
    } else if (s < min) {
        red = {top, yLength_, kRedBand};
    }
    for (const Band& band : {green, orange, red}) {
        if (band.height <= 1.0) continue;
        context.setFillColor(band.color.withAlpha(kBandAlpha));
        context.fillRect({zeroPoint_.x, band.top, xLength_, band.height});
    }
}

void VNTrackGraphView::drawAxis(plat::DrawingContext& context) {
    drawArrowLine(context, zeroPoint_, endXPoint_);
    drawArrowLine(context, zeroPoint_, endYPoint_);
}

void VNTrackGraphView::drawArrowLine(plat::DrawingContext& context, plat::Point from, plat::Point to) {
    const double a = std::atan2(from.y - to.y, from.x - to.x);
    const double c = std::cos(a), s = std::sin(a);
    context.beginPath();
    context.setFillColor(plat::Color::gray());
    context.setStrokeColor(plat::Color::gray());
    context.setLineWidth(kLineWidth);
    context.moveTo(from);
    context.lineTo({to.x + kArrowRoom * c, to.y + kArrowRoom * s});
    context.strokePath();
    context.beginPath();
    context.moveTo(to);
    context.lineTo({to.x + kArrowRoom * c - kArrowHalfWidth * s, to.y + kArrowRoom * s + kArrowHalfWidth * c});
    context.lineTo({to.x + kArrowRoom * c + kArrowHalfWidth * s, to.y + kArrowRoom * s - kArrowHalfWidth * c});
    context.closePath();
    context.fillPath();
}

void VNTrackGraphView::drawPlot(plat::DrawingContext& context) {
    context.beginPath();
    context.setAntialias(true);
    context.setStrokeColor(plat::Color::gray());
    const bool dose = mode_ != 0;
    // A single reading (or alike readings of one time) holds over the whole track: a level line.
    if (!samples_.empty() && !(timeDelta_ > 0) && !(highest_ > lowest_)) {
        double dy = ((dose ? samples_.back().de : samples_.back().der) - minValue_) / yDelta_;
        if (!std::isfinite(dy)) dy = 0;
        context.moveTo({zeroPoint_.x, zeroPoint_.y - dy});
        context.lineTo({zeroPoint_.x + xLength_, zeroPoint_.y - dy});
    }
    for (std::size_t i = 0; i < samples_.size(); ++i) {
        const auto& sample = samples_[i];
        double dy = ((dose ? sample.de : sample.der) - minValue_) / yDelta_;
        if (!std::isfinite(dy)) dy = 0;
        const double y = zeroPoint_.y - dy;
        if (i == 0) {
            context.moveTo({zeroPoint_.x, y});
            continue;
        }
        const double x = xForTime(sample.date.timeIntervalSince(samples_.front().date));
        context.lineTo({x, y});
        context.moveTo({x, y});
    }
    context.setInterpolationQuality(3);
    context.setFlatness(1.0);
    context.setLineWidth(kLineWidth);
    context.setLineJoin(plat::LineJoin::Round);
    context.setLineCap(plat::LineCap::Round);
    context.strokePath();
}

void VNTrackGraphView::drawTreshLines(plat::DrawingContext& context) {
    context.setLineDash(0, {1.0});
    context.setLineWidth(kThresholdLineWidth);
    const struct {
        double threshold, y;
        plat::Color color;
    } lines[] = {{firstThreshold_, firstMarkYOrigin_, plat::Color::orange()},
                 {secondThreshold_, secondMarkYOrigin_, plat::Color::red()}};
    for (const auto& line : lines) {
        if (!(maxValue_ > line.threshold)) continue;
        context.beginPath();
        context.setStrokeColor(line.color);
        context.moveTo({zeroPoint_.x, line.y});
        context.lineTo({zeroPoint_.x + xLength_, line.y});
        context.strokePath();
    }
    // Later drawing of the view tree is solid again.
    context.setLineDash(0, {});
}

}  // namespace qx
