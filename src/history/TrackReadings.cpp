#include "history/TrackReadings.h"

#include <algorithm>

#include "platform/foundation/Log.h"
#include "store/Context.h"
#include "store/FetchRequest.h"
#include "store/Measurement.h"
#include "store/Store.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qx::TrackReadings {

namespace {

double dateOf(const Waypoint& waypoint) {
    auto reading = waypoint.measurement();
    return reading ? reading->date().timeIntervalSince1970() : -1e300;
}

}  // namespace

std::vector<std::shared_ptr<Waypoint>> waypointsByDate(const Track& track, bool newestFirst) {
    // One query for the points and their readings: a long track must open at once.
    auto request = FetchRequest::of<Waypoint>();
    request.where(Key("track") == Value(track.objectID())).sortedBy("measurement.date", !newestFirst);
    StoreError error;
    auto points = Store::defaultStore().mainContext().fetch<Waypoint>(request, &error);
    if (error) {
        plat::Log::line("TrackReadings: " + error.message);
        points = track.waypoints();
        std::stable_sort(points.begin(), points.end(), [newestFirst](const auto& a, const auto& b) {
            return newestFirst ? dateOf(*a) > dateOf(*b) : dateOf(*a) < dateOf(*b);
        });
    }
    return points;
}

std::vector<Sample> samplesByDate(const Track& track) { return byDate(ReadingStats::readingsOfTrack(track)); }

std::vector<Sample> byDate(std::vector<Sample> samples) {
    std::stable_sort(samples.begin(), samples.end(), [](const Sample& a, const Sample& b) { return a.date < b.date; });
    return samples;
}

std::int64_t lastDeviceType(const Track& track) { return lastDeviceType(ReadingStats::readingsOfTrack(track)); }

std::int64_t lastDeviceType(const std::vector<Sample>& inTrackOrder) {
    return inTrackOrder.empty() ? 0 : inTrackOrder.back().deviceType;
}

}  // namespace qx::TrackReadings
