#include "platform/map/OverlayView.h"

#include <cstdio>

#include "platform/map/MapView.h"

namespace plat {

std::string OverlayView::colorsText() const {
    std::string text;
    if (strokeColor_) text += " stroke " + strokeColor_->hex();
    if (fillColor_) text += " fill " + fillColor_->hex();
    char width[32];
    std::snprintf(width, sizeof width, " width %g", lineWidth_);
    return text + width;
}

PolylineView::PolylineView(std::shared_ptr<Polyline> polyline) : OverlayView(polyline), polyline_(std::move(polyline)) {}

void PolylineView::draw(DrawingContext& context, const MapView& map) const {
    const auto& points = polyline_->points();
    if (points.size() < 2 || !strokeColor()) return;
    context.saveState();
    context.setStrokeColor(*strokeColor());
    context.setLineWidth(lineWidth());
    context.setLineCap(LineCap::Round);
    context.setLineJoin(LineJoin::Round);
    context.beginPath();
    context.moveTo(map.pointForMapPoint(points.front()));
    for (std::size_t i = 1; i < points.size(); ++i) context.lineTo(map.pointForMapPoint(points[i]));
    context.strokePath();
    context.restoreState();
}

std::string PolylineView::describeLine() const {
    return "Polyline " + std::to_string(polyline_->pointCount()) + " points" + colorsText();
}

CircleView::CircleView(std::shared_ptr<Circle> circle) : OverlayView(circle), circle_(std::move(circle)) {}

void CircleView::draw(DrawingContext& context, const MapView& map) const {
    const Point c = map.convertCoordinateToPoint(circle_->coordinate());
    const double r = circle_->radius() * circle_->mapPointsPerMeter() * map.zoomScale();
    if (!(r > 0)) return;
    const Rect box{c.x - r, c.y - r, 2 * r, 2 * r};
    context.saveState();
    if (fillColor()) {
        context.setFillColor(*fillColor());
        context.fillEllipse(box);
    }
    if (strokeColor() && lineWidth() > 0) {
        context.setStrokeColor(*strokeColor());
        context.setLineWidth(lineWidth());
        context.strokeEllipse(box);
    }
    context.restoreState();
}

std::string CircleView::describeLine() const {
    char text[64];
    std::snprintf(text, sizeof text, "Circle radius %.0f m", circle_->radius());
    return text + colorsText();
}

}  // namespace plat
