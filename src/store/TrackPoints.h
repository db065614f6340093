#pragma once

#include <cstdint>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"

namespace qx {

class Track;

// What a map needs of each waypoint of a stored track, read by the database in one query
// instead of loading every waypoint and its reading as objects.
struct TrackPoint {
    std::int64_t row = 0;  // the waypoint's
    double latitude = 0, longitude = 0;
    std::optional<plat::Date> date;  // the reading's; none without a reading
    double der = 0;                  // µSv/h; 0 without a reading
    std::optional<std::string> name;  // the waypoint's

    // As Waypoint::hasPosition: a point taken without a position fix has none.
    bool hasPosition() const;
};

class TrackPoints {
public:
    // The track's stored waypoints in the order of their readings' dates (points without a
    // reading first). None when the track is not stored, or when its context holds points of
    // it that are not saved or saved away yet: the objects then tell what the store does not.
    static std::optional<std::vector<TrackPoint>> of(const Track& track);
    // The same points in the track's own order, the order of its waypoints.
    static std::optional<std::vector<TrackPoint>> inTrackOrder(const Track& track);
    // Puts points read in the track's order into the order of `of`.
    static void sortByDate(std::vector<TrackPoint>& points);
};

}  // namespace qx
