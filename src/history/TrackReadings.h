#pragma once

#include <memory>
#include <vector>

#include "platform/foundation/Date.h"
#include "store/ReadingStats.h"

namespace qx {

class Track;
class Waypoint;

// A track's waypoints in the order of their readings' dates, read in one fetch with their
// readings. Waypoints without a reading come first, as the oldest.
namespace TrackReadings {

std::vector<std::shared_ptr<Waypoint>> waypointsByDate(const Track& track, bool newestFirst);

// One point of a track's plot: the reading's time, dose rate, dose and instrument.
using Sample = ReadingStats::TrackReading;
// The readings of the track's waypoints, oldest first (readings of one time in the track's
// order).
std::vector<Sample> samplesByDate(const Track& track);
// The readings as samplesByDate orders them, from ReadingStats::readingsOfTrack.
std::vector<Sample> byDate(std::vector<Sample> inTrackOrder);
// The device type of the reading of the track's last waypoint in the track's order; 0 without.
std::int64_t lastDeviceType(const Track& track);
std::int64_t lastDeviceType(const std::vector<Sample>& inTrackOrder);

}  // namespace TrackReadings
}  // namespace qx
