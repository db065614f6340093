#include "platform/ui/SegmentedControl.h"

#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/FittedText.h"

namespace plat {

SegmentedControl::SegmentedControl(std::vector<std::string> titles, const Rect& frame) : Control(frame) {
    for (auto& t : titles) segments_.push_back(Segment{std::move(t), nullptr, true});
}

void SegmentedControl::insertSegment(std::string title, std::size_t index, bool) {
    index = std::min(index, segments_.size());
    segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(index), Segment{std::move(title), nullptr, true});
    if (selected_ >= static_cast<long>(index)) ++selected_;
}

void SegmentedControl::insertSegment(ImagePtr image, std::size_t index, bool) {
    index = std::min(index, segments_.size());
    segments_.insert(segments_.begin() + static_cast<std::ptrdiff_t>(index), Segment{{}, std::move(image), true});
    if (selected_ >= static_cast<long>(index)) ++selected_;
}

void SegmentedControl::removeSegment(std::size_t index, bool) {
    if (index >= segments_.size()) return;
    segments_.erase(segments_.begin() + static_cast<std::ptrdiff_t>(index));
    if (selected_ == static_cast<long>(index)) {
        selected_ = kNoSegment;
    } else if (selected_ > static_cast<long>(index)) {
        --selected_;
    }
}

void SegmentedControl::removeAllSegments() {
    segments_.clear();
    selected_ = kNoSegment;
}

std::string SegmentedControl::titleForSegment(std::size_t index) const {
    return index < segments_.size() ? segments_[index].title : std::string{};
}

void SegmentedControl::setTitle(std::string title, std::size_t index) {
    if (index < segments_.size()) segments_[index].title = std::move(title);
}

ImagePtr SegmentedControl::imageForSegment(std::size_t index) const {
    return index < segments_.size() ? segments_[index].image : nullptr;
}

void SegmentedControl::setImage(ImagePtr image, std::size_t index) {
    if (index < segments_.size()) segments_[index].image = std::move(image);
}

bool SegmentedControl::isSegmentEnabled(std::size_t index) const {
    return index < segments_.size() && segments_[index].enabled;
}

void SegmentedControl::setSegmentEnabled(bool enabled, std::size_t index) {
    if (index < segments_.size()) segments_[index].enabled = enabled;
}

void SegmentedControl::setSelectedSegmentIndex(long index) {
    selected_ = index >= 0 && static_cast<std::size_t>(index) < segments_.size() ? index : kNoSegment;
    setNeedsDisplay();
}

bool SegmentedControl::tapSegment(std::size_t index) {
    if (!canInteract() || !isSegmentEnabled(index)) return false;
    selected_ = static_cast<long>(index);
    sendActions(ValueChanged);
    if (momentary_) selected_ = kNoSegment;
    setNeedsDisplay();
    return true;
}

void SegmentedControl::drawRect(DrawingContext& ctx, const Rect& rect) {
    if (segments_.empty()) return;
    Color tint = tint_.value_or(Color::rgba(0, 122 / 255.0, 1));
    double w = rect.width() / static_cast<double>(segments_.size());
    Font f = Font::system(13);
    for (std::size_t i = 0; i < segments_.size(); ++i) {
        Rect seg{rect.x() + w * static_cast<double>(i), rect.y(), w, rect.height()};
        bool on = static_cast<long>(i) == selected_;
        if (on) {
            ctx.setFillColor(tint);
            ctx.fillRect(seg);
        }
        ctx.setStrokeColor(tint);
        ctx.strokeRect(seg.insetBy(0.5, 0.5));
        if (segments_[i].image) ctx.drawImage(segments_[i].image, seg.insetBy(4, 4));
        FittedText::draw(ctx, segments_[i].title, Rect{seg.x() + 3, seg.midY() - f.lineHeight() / 2, w - 6, f.lineHeight()},
                         f, on ? Color::white() : tint, TextAlignment::Center, 0.75);
    }
}

std::string SegmentedControl::describeLine() const {
    std::string s = "Segments";
    for (std::size_t i = 0; i < segments_.size(); ++i) {
        std::string t = segments_[i].title.empty() && segments_[i].image ? segments_[i].image->name() : segments_[i].title;
        s += " [" + t + (static_cast<long>(i) == selected_ ? " *" : "") + "]";
    }
    if (!isEnabled()) s += " (disabled)";
    return s;
}

}  // namespace plat
