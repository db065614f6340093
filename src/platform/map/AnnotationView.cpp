#include "platform/map/AnnotationView.h"

#include <algorithm>

#include "platform/map/CalloutView.h"
#include "platform/map/MapView.h"
#include "platform/ui/Control.h"
#include "platform/ui/DescriptionWriter.h"

namespace plat {

namespace {

constexpr double kCalloutGap = 4;

Color darker(const Color& c) { return Color::rgba(c.r * 0.6, c.g * 0.6, c.b * 0.6, c.a); }

}  // namespace

AnnotationView::AnnotationView(AnnotationPtr annotation, std::string reuseIdentifier, MarkerStyle style)
    : annotation_(std::move(annotation)), reuseIdentifier_(std::move(reuseIdentifier)), style_(style) {
    const Size size = style == MarkerStyle::Pin ? kPinSize : kDotSize;
    setFrame({0, 0, size.width, size.height});
    if (style == MarkerStyle::Pin) centerOffset_ = {0, -size.height / 2};
    if (style == MarkerStyle::Dot) markerColor_ = Color::blue();
}

AnnotationView::~AnnotationView() = default;

void AnnotationView::setAnnotation(AnnotationPtr annotation) {
    annotation_ = std::move(annotation);
    setNeedsDisplay();
}

void AnnotationView::prepareForReuse() {
    hideCallout();
    selected_ = false;
    setHidden(false);
}

void AnnotationView::setImage(ImagePtr image) {
    image_ = std::move(image);
    if (image_ && image_->hasPixels()) {
        const Size s = image_->size();
        setFrame({frame().x(), frame().y(), s.width, s.height});
    }
    setNeedsDisplay();
}

void AnnotationView::setMarkerColor(const Color& color) {
    markerColor_ = color;
    setNeedsDisplay();
}

const ViewPtr& AnnotationView::rightCalloutAccessoryView() {
    if (auto maker = std::move(accessoryMaker_)) {
        accessoryMaker_ = nullptr;
        setRightCalloutAccessoryView(maker());
    }
    return rightAccessory_;
}

void AnnotationView::setRightCalloutAccessoryMaker(std::function<ViewPtr()> maker) {
    accessoryMaker_ = std::move(maker);
    rightAccessory_ = nullptr;
}

void AnnotationView::setRightCalloutAccessoryView(ViewPtr view) {
    accessoryMaker_ = nullptr;
    rightAccessory_ = std::move(view);
    if (auto control = std::dynamic_pointer_cast<Control>(rightAccessory_)) {
        std::weak_ptr<View> weak = weak_from_this();
        control->addAction(TouchUpInside, [weak](Control& sender) {
            auto self = std::dynamic_pointer_cast<AnnotationView>(weak.lock());
            if (self && self->map_) self->map_->calloutAccessoryTapped(*self, sender);
        });
    }
}

void AnnotationView::setZPriority(double priority) {
    if (priority == zPriority_) return;
    zPriority_ = priority;
    if (map_) map_->orderAnnotationViews();
}

void AnnotationView::setSelected(bool selected) {
    selected_ = selected;
    hideCallout();
    if (!selected || !canShowCallout_ || !annotation_) return;
    callout_ = std::make_shared<CalloutView>(annotation_->title(), annotation_->subtitle(), rightCalloutAccessoryView());
    const Rect b = bounds();
    const Size size = callout_->frame().size;  // the bubble sizes itself to its texts
    double x = b.midX() - size.width / 2;
    if (map_) {
        // Slid sideways to stay on the map, as a bubble beside its edge does.
        const double left = convertPoint({x, 0}, map_).x;
        const double lo = kCalloutGap, hi = map_->bounds().width() - kCalloutGap - size.width;
        x += std::clamp(left, lo, std::max(lo, hi)) - left;
    }
    callout_->setFrame({x, b.minY() - size.height - kCalloutGap, size.width, size.height});
    addSubview(callout_);
}

void AnnotationView::hideCallout() {
    if (!callout_) return;
    callout_->removeFromSuperview();
    callout_.reset();
}

void AnnotationView::drawRect(DrawingContext& ctx, const Rect& rect) {
    if (image_ && image_->hasPixels()) {
        ctx.drawImage(image_, rect);
        return;
    }
    ctx.saveState();
    if (style_ == MarkerStyle::Dot) {
        ctx.setFillColor(Color::white());
        ctx.fillEllipse(rect);
        ctx.setFillColor(markerColor_);
        ctx.fillEllipse(rect.insetBy(3, 3));
    } else {
        // A round head above a point whose tip is the bottom centre of the view.
        const double d = rect.width();
        const Rect head{rect.x(), rect.y(), d, d};
        ctx.setFillColor(markerColor_);
        ctx.setStrokeColor(darker(markerColor_));
        ctx.setLineWidth(1.5);
        ctx.beginPath();
        ctx.moveTo({rect.x() + d * 0.2, rect.y() + d * 0.8});
        ctx.lineTo({rect.midX(), rect.maxY()});
        ctx.lineTo({rect.x() + d * 0.8, rect.y() + d * 0.8});
        ctx.closePath();
        ctx.fillStrokePath();
        ctx.fillEllipse(head);
        ctx.strokeEllipse(head.insetBy(0.75, 0.75));
        ctx.setFillColor(Color::white().withAlpha(0.8));
        ctx.fillEllipse(head.insetBy(d * 0.35, d * 0.35));
    }
    ctx.restoreState();
}

bool AnnotationView::performTap() {
    if (!enabled_ || !map_ || !annotation_ || !acceptsTouches()) return false;
    map_->selectAnnotation(annotation_, false);
    return true;
}

std::string AnnotationView::displayText() const { return annotation_ ? annotation_->title() : std::string{}; }

std::string AnnotationView::describeLine() const {
    std::string line = "Pin " + DescriptionWriter::quoted(displayText());
    line += image_ && !image_->name().empty() ? " " + image_->name() : " " + markerColor_.hex();
    if (selected_) line += " selected";
    return line;
}

}  // namespace plat
