#include "platform/ui/ProgressOverlay.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

#include "platform/ui/DescriptionWriter.h"

namespace plat {

std::shared_ptr<ProgressOverlay> ProgressOverlay::showOn(View* view, bool animated) {
    auto overlay = std::make_shared<ProgressOverlay>(view ? view->bounds() : Rect{});
    if (view) view->addSubview(overlay);
    overlay->show(animated);
    return overlay;
}

std::shared_ptr<ProgressOverlay> ProgressOverlay::overlayOn(View* view) {
    if (!view) return nullptr;
    const auto& subs = view->subviews();
    for (auto it = subs.rbegin(); it != subs.rend(); ++it) {
        if (auto o = std::dynamic_pointer_cast<ProgressOverlay>(*it)) return o;
    }
    return nullptr;
}

bool ProgressOverlay::hideOn(View* view, bool animated) {
    auto o = overlayOn(view);
    if (!o) return false;
    o->hide(animated);
    return true;
}

std::size_t ProgressOverlay::hideAllOn(View* view, bool animated) {
    std::size_t n = 0;
    while (hideOn(view, animated)) ++n;
    return n;
}

void ProgressOverlay::setProgress(double p) {
    progress_ = std::isfinite(p) ? std::clamp(p, 0.0, 1.0) : 0;
    setNeedsDisplay();
}

void ProgressOverlay::show(bool animated) {
    delayedHide_.cancel();
    showing_ = true;
    lastAnimated_ = animated;
    setHidden(false);
}

void ProgressOverlay::hide(bool animated) {
    delayedHide_.cancel();
    auto keep = weak_from_this().lock();
    bool was = showing_;
    showing_ = false;
    lastAnimated_ = animated;
    removeFromSuperview();
    if (was && completion_) {
        auto done = std::move(completion_);
        completion_ = nullptr;
        done();
    }
}

void ProgressOverlay::hide(bool animated, TimeInterval delay) {
    std::weak_ptr<View> weak = weak_from_this();
    delayedHide_.schedule(delay, [weak, animated] {
        if (auto self = std::static_pointer_cast<ProgressOverlay>(weak.lock())) self->hide(animated);
    });
}

void ProgressOverlay::drawRect(DrawingContext& ctx, const Rect& rect) {
    if (dim_) {
        ctx.setFillColor(Color::rgba(0, 0, 0, 0.5));
        ctx.fillRect(rect);
    }
    Rect box{rect.midX() - 80, rect.midY() - 60, 160, 120};
    ctx.setFillColor(Color::rgba(0, 0, 0, 0.8));
    ctx.fillRect(box);
    Font f = Font::boldSystem(16), small = Font::boldSystem(12);
    ctx.drawText(title_, Rect{box.x(), box.y() + 70, box.width(), f.lineHeight()}, f, Color::white(), TextAlignment::Center);
    ctx.drawText(detail_, Rect{box.x(), box.y() + 92, box.width(), small.lineHeight()}, small, Color::white(),
                 TextAlignment::Center);
    ctx.setStrokeColor(Color::white());
    ctx.setLineWidth(3);
    ctx.beginPath();
    double end = mode_ == ProgressMode::Indeterminate ? 1.5 * M_PI : 2 * M_PI * progress_;
    ctx.addArc(Point{box.midX(), box.y() + 38}, 18, -M_PI / 2, -M_PI / 2 + end, false);
    ctx.strokePath();
}

std::string ProgressOverlay::describeLine() const {
    std::string s = "ProgressOverlay " + DescriptionWriter::quoted(title_);
    if (!detail_.empty()) s += " detail " + DescriptionWriter::quoted(detail_);
    if (mode_ == ProgressMode::Determinate || mode_ == ProgressMode::AnnularDeterminate) {
        char buf[16];
        std::snprintf(buf, sizeof buf, " %.0f%%", progress_ * 100);
        s += buf;
    }
    return s;
}

}  // namespace plat
