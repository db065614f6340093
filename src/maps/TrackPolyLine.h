#pragma once

#include <optional>
#include <vector>

#include "platform/graphics/Color.h"
#include "platform/map/Overlay.h"

namespace qx {

// One segment of a track's path with the colour it is drawn in.
class TrackPolyLine : public plat::Polyline {
public:
    using plat::Polyline::Polyline;

    const std::optional<plat::Color>& lineColor() const { return lineColor_; }
    void setLineColor(std::optional<plat::Color> color) { lineColor_ = color; }

private:
    std::optional<plat::Color> lineColor_;
};

}  // namespace qx
