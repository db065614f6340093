#include "platform/map/MapTypes.h"

namespace plat {

const char* mapTypeName(MapType type) {
    switch (type) {
        case MapType::Standard: return "standard";
        case MapType::Satellite: return "satellite";
        case MapType::Hybrid: return "hybrid";
    }
    return "standard";
}

const char* trackingModeName(UserTrackingMode mode) {
    switch (mode) {
        case UserTrackingMode::None: return "none";
        case UserTrackingMode::Follow: return "follow";
        case UserTrackingMode::FollowWithHeading: return "follow with heading";
    }
    return "none";
}

}  // namespace plat
