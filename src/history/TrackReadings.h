#pragma once

#include <memory>
#include <vector>

#include "platform/foundation/Date.h"

namespace qx {

class Track;
class Waypoint;

// A track's waypoints in the order of their readings' dates, read in one fetch with their
// readings. Waypoints without a reading come first, as the oldest.
namespace TrackReadings {

std::vector<std::shared_ptr<Waypoint>> waypointsByDate(const Track& track, bool newestFirst);

// One point of a track's plot: the reading's time, dose rate and dose.
struct Sample {
    plat::Date date;
    double der = 0;
    double de = 0;
};
// The readings of the track's waypoints, oldest first.
std::vector<Sample> samplesByDate(const Track& track);

}  // namespace TrackReadings
}  // namespace qx
