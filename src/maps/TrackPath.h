#pragma once

#include <memory>
#include <optional>
#include <vector>

#include "maps/TrackPolyLine.h"
#include "platform/graphics/Color.h"

namespace qx {

class Track;

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

    // Rebuilds the segments from the track's current waypoints (new segment objects each time).
    void updatePath();
    // The segments; none (not an empty list) while fewer than two points have a position.
    const std::optional<Segments>& pathForTrack() const { return path_; }

    const std::shared_ptr<Track>& track() const { return track_; }
    void setTrack(std::shared_ptr<Track> track) { track_ = std::move(track); }

    static std::shared_ptr<TrackPath> getCurrentTrackPath();
    static void setCurrentTrackPath(std::shared_ptr<TrackPath> path);

    // Red above the second dose-rate threshold, orange above the first, else green.
    static plat::Color colorForDoseRate(double doseRate);

private:
    std::shared_ptr<Track> track_;
    std::optional<Segments> path_;
};

}  // namespace qx
