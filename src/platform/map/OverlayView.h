#pragma once

#include <memory>
#include <optional>
#include <string>

#include "platform/graphics/Color.h"
#include "platform/graphics/DrawingContext.h"
#include "platform/map/Overlay.h"

namespace plat {

class MapView;

// Draws one overlay on a map: its colours and line width are data the owner sets.
class OverlayView {
public:
    explicit OverlayView(OverlayPtr overlay) : overlay_(std::move(overlay)) {}
    virtual ~OverlayView() = default;

    const OverlayPtr& overlay() const { return overlay_; }
    const std::optional<Color>& fillColor() const { return fillColor_; }
    void setFillColor(std::optional<Color> c) { fillColor_ = c; }
    const std::optional<Color>& strokeColor() const { return strokeColor_; }
    void setStrokeColor(std::optional<Color> c) { strokeColor_ = c; }
    double lineWidth() const { return lineWidth_; }
    void setLineWidth(double w) { lineWidth_ = w; }

    // Draws the overlay in the map view's own coordinates.
    virtual void draw(DrawingContext& context, const MapView& map) const = 0;
    // One line for the map's description.
    virtual std::string describeLine() const = 0;

protected:
    std::string colorsText() const;

private:
    OverlayPtr overlay_;
    std::optional<Color> fillColor_, strokeColor_;
    double lineWidth_ = 0;
};

using OverlayViewPtr = std::shared_ptr<OverlayView>;

class PolylineView : public OverlayView {
public:
    explicit PolylineView(std::shared_ptr<Polyline> polyline);
    const Polyline& polyline() const { return *polyline_; }
    void draw(DrawingContext& context, const MapView& map) const override;
    std::string describeLine() const override;

private:
    std::shared_ptr<Polyline> polyline_;
};

class CircleView : public OverlayView {
public:
    explicit CircleView(std::shared_ptr<Circle> circle);
    const Circle& circle() const { return *circle_; }
    void draw(DrawingContext& context, const MapView& map) const override;
    std::string describeLine() const override;

private:
    std::shared_ptr<Circle> circle_;
};

}  // namespace plat
