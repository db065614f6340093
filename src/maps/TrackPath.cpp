#include "maps/TrackPath.h"

#include <algorithm>

#include "maps/MapHelper.h"
#include "model/Settings.h"
#include "store/Measurement.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

std::shared_ptr<TrackPath>& currentPath() {
    static std::shared_ptr<TrackPath> path;
    return path;
}

struct PathPoint {
    plat::MapPoint point;
    plat::Date date;
    double doseRate = 0;
};

// The waypoints that have a position, in their readings' date order (a point without a
// reading sorts first and counts as dose rate 0).
std::vector<PathPoint> pathPoints(const Track& track) {
    std::vector<PathPoint> points;
    for (const auto& w : track.waypoints()) {
        if (!w->hasPosition()) continue;
        const auto m = w->measurement();
        points.push_back({MapHelper::mapPointFromLatitudeAndLongitude(w->latitude(), w->longitude()),
                          m ? m->date() : plat::Date(), m ? m->der() : 0});
    }
    std::stable_sort(points.begin(), points.end(),
                     [](const PathPoint& a, const PathPoint& b) { return a.date < b.date; });
    return points;
}

}  // namespace

TrackPath::TrackPath(std::shared_ptr<Track> track) : track_(std::move(track)) { updatePath(); }

void TrackPath::updatePath() {
    path_.reset();
    if (!track_) return;
    const auto points = pathPoints(*track_);
    for (std::size_t i = 0; i + 1 < points.size(); ++i) {
        const PathPoint& a = points[i];
        const PathPoint& b = points[i + 1];
        auto segment = std::make_shared<TrackPolyLine>(std::vector<plat::MapPoint>{a.point, b.point});
        segment->setLineColor(colorForDoseRate(a.doseRate > b.doseRate ? a.doseRate : b.doseRate));
        if (!path_) path_.emplace();
        path_->push_back(std::move(segment));
    }
}

plat::Color TrackPath::colorForDoseRate(double doseRate) {
    auto& threshold = Settings::sharedSettings().DERthreshold();
    if (doseRate > threshold.secondThreshold->value()) return plat::Color::red();
    if (doseRate > threshold.firstThreshold->value()) return plat::Color::orange();
    return plat::Color::green();
}

std::shared_ptr<TrackPath> TrackPath::getCurrentTrackPath() { return currentPath(); }

void TrackPath::setCurrentTrackPath(std::shared_ptr<TrackPath> path) { currentPath() = std::move(path); }

}  // namespace qx
