#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <unordered_set>
#include <vector>

#include "maps/TrackPolyLine.h"
#include "platform/foundation/Date.h"
#include "platform/graphics/Color.h"
#include "platform/map/MapGeometry.h"

namespace qx {

class Track;
class Waypoint;
struct TrackPoint;

// The path of a track on a map: one two-point segment per pair of neighbouring waypoints in
// the order of their readings' dates, each coloured by the higher dose rate of its two ends.
// Points taken without a position fix are left out of the path.
//
// The path of the track being recorded is kept at class level: it is made when a recording
// starts and dropped when the recording is saved or discarded.
class TrackPath {
public:
    using Segments = std::vector<std::shared_ptr<TrackPolyLine>>;

    explicit TrackPath(std::shared_ptr<Track> track);
    static std::shared_ptr<TrackPath> make(std::shared_ptr<Track> track) {
        return std::make_shared<TrackPath>(std::move(track));
    }
    // The path of a stored track whose points the caller read already (TrackPoints::of).
    TrackPath(std::shared_ptr<Track> track, const std::vector<TrackPoint>& pointsByDate);
    static std::shared_ptr<TrackPath> make(std::shared_ptr<Track> track, const std::vector<TrackPoint>& pointsByDate) {
        return std::make_shared<TrackPath>(std::move(track), pointsByDate);
    }

    // Brings the segments up to the track's current waypoints. Points that only followed the
    // last known one (a recording growing) add their segments and keep the others; anything
    // else rebuilds every segment as new objects.
    void updatePath();
    // Whether the last update only added points after the known ones, and the highest dose
    // rate among the points it added (with or without a position); 0 when it added none.
    bool lastUpdateOnlyGrew() const { return grewOnly_; }
    double lastAddedMaxDoseRate() const { return addedMax_; }
    // How many of the track's waypoints the path was last brought up to (with or without a
    // position); differs from the track's count once a point was added or deleted.
    std::size_t knownWaypointCount() const { return rows_.size(); }
    // The segments; none (not an empty list) while fewer than two points have a position.
    const std::optional<Segments>& pathForTrack() const { return path_; }
    // The map rectangle of the path's points grown by 10 % on each side, as the track's own
    // bounding rectangle; null without points.
    plat::MapRect boundingMapRect() const;

    const std::shared_ptr<Track>& track() const { return track_; }
    void setTrack(std::shared_ptr<Track> track);

    static std::shared_ptr<TrackPath> getCurrentTrackPath();
    static void setCurrentTrackPath(std::shared_ptr<TrackPath> path);

    // Red above the second dose-rate threshold, orange above the first, else green.
    static plat::Color colorForDoseRate(double doseRate);

private:
    struct Point {
        plat::MapPoint point;
        plat::Date date;
        double doseRate = 0;
    };

    void rebuild();
    // From the stored points when there are any; else from the track's objects.
    void rebuildFrom(const std::vector<TrackPoint>* stored);
    // Adds the points of the new waypoints when they all follow the known ones; false when the
    // path has to be rebuilt instead.
    bool appendNew(const std::vector<std::int64_t>& rows);
    void appendSegment(const Point& a, const Point& b);
    static std::optional<Point> pointOf(const Waypoint& waypoint);

    std::shared_ptr<Track> track_;
    std::optional<Segments> path_;
    std::vector<Point> points_;             // the positioned points, in date order
    std::unordered_set<std::int64_t> rows_;  // every waypoint row the path has seen
    plat::MapRect bounds_ = plat::MapRect::null();
    bool grewOnly_ = false;
    double addedMax_ = 0;
};

}  // namespace qx
