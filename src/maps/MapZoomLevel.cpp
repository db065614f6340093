#include "maps/MapZoomLevel.h"

#include <cmath>

#include "platform/map/MapView.h"

namespace qx {

namespace {
constexpr double kPi = 3.141592653589793;
// 2^28 / pi: with pi / 180 it turns degrees of longitude into twice their map points, so that
// level 20 shows one map point per screen point.
constexpr double kZoom21Scale = 85445659.44705395;
constexpr double kLowestLevel = 0;
}  // namespace

double getZoomLevel(const plat::MapView& map) {
    const double longitudeDelta = map.region().span.longitudeDelta;
    const double width = map.bounds().width();
    const double level = 21 - std::log2(longitudeDelta * kZoom21Scale * kPi / (180 * width));
    // A map without width has no scale; it counts as zoomed out fully, so that comparisons of
    // levels still mean something.
    return std::isfinite(level) && width > 0 ? level : kLowestLevel;
}

}  // namespace qx
