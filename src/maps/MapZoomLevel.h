#pragma once

namespace plat {
class MapView;
}

namespace qx {

// The map's zoom level from its region's longitude span and its width: 21 at the closest
// street view, about 0 for the whole world on a phone-wide map. Not clamped: it can fall below
// 0 or rise above 21. A map without width gives 0.
double getZoomLevel(const plat::MapView& map);

}  // namespace qx
