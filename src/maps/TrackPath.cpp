#include "maps/TrackPath.h"

#include <algorithm>

#include "maps/MapHelper.h"
#include "model/Settings.h"
#include "store/Context.h"
#include "store/Measurement.h"
#include "store/Track.h"
#include "store/TrackPoints.h"
#include "store/Waypoint.h"

namespace qx {

namespace {

std::shared_ptr<TrackPath>& currentPath() {
    static std::shared_ptr<TrackPath> path;
    return path;
}

}  // namespace

TrackPath::TrackPath(std::shared_ptr<Track> track) : track_(std::move(track)) { updatePath(); }

TrackPath::TrackPath(std::shared_ptr<Track> track, const std::vector<TrackPoint>& pointsByDate)
    : track_(std::move(track)) {
    if (track_) rebuildFrom(&pointsByDate);
}

void TrackPath::setTrack(std::shared_ptr<Track> track) {
    track_ = std::move(track);
    rows_.clear();
    points_.clear();
}

std::optional<TrackPath::Point> TrackPath::pointOf(const Waypoint& w) {
    if (!w.hasPosition()) return std::nullopt;
    // A point without a reading sorts first and counts as dose rate 0.
    const auto m = w.measurement();
    return Point{MapHelper::mapPointFromLatitudeAndLongitude(w.latitude(), w.longitude()), m ? m->date() : plat::Date(),
                 m ? m->der() : 0};
}

void TrackPath::updatePath() {
    if (!track_) {
        path_.reset();
        points_.clear();
        rows_.clear();
        return;
    }
    const auto& rows = track_->waypointRows();
    grewOnly_ = !rows_.empty() && appendNew(rows);
    if (!grewOnly_) rebuild();
}

bool TrackPath::appendNew(const std::vector<std::int64_t>& rows) {
    if (rows.size() < rows_.size()) return false;
    std::vector<std::int64_t> fresh;
    std::size_t known = 0;
    for (auto row : rows) {
        if (rows_.count(row)) {
            ++known;
        } else {
            fresh.push_back(row);
        }
    }
    // A point went away: rebuild.
    if (known != rows_.size()) return false;
    Context* context = track_->managedObjectContext();
    if (!context) return false;
    std::vector<Point> added;
    double addedMax = 0;
    for (auto row : fresh) {
        auto w = context->objectWithRow<Waypoint>(row);
        if (!w) return false;
        if (const auto m = w->measurement(); m && m->der() > addedMax) addedMax = m->der();
        if (auto p = pointOf(*w)) added.push_back(*p);
    }
    std::stable_sort(added.begin(), added.end(), [](const Point& a, const Point& b) { return a.date < b.date; });
    // A point dated before the last one joins the path in the middle: rebuild.
    if (!added.empty() && !points_.empty() && added.front().date < points_.back().date) return false;
    for (const auto& p : added) {
        if (!points_.empty()) appendSegment(points_.back(), p);
        points_.push_back(p);
        bounds_ = bounds_.unionWith(plat::MapRect::make(p.point.x, p.point.y, 0, 0));
    }
    rows_.insert(fresh.begin(), fresh.end());
    addedMax_ = addedMax;
    return true;
}

void TrackPath::rebuild() {
    const auto stored = TrackPoints::of(*track_);
    rebuildFrom(stored ? &*stored : nullptr);
}

void TrackPath::rebuildFrom(const std::vector<TrackPoint>* stored) {
    path_.reset();
    points_.clear();
    rows_.clear();
    bounds_ = plat::MapRect::null();
    // One query for the stored points rather than each waypoint and its reading as objects;
    // the objects where the context holds what the store does not have yet.
    if (stored) {
        for (const auto& p : *stored) {
            rows_.insert(p.row);
            if (!p.hasPosition()) continue;
            points_.push_back({MapHelper::mapPointFromLatitudeAndLongitude(p.latitude, p.longitude),
                               p.date.value_or(plat::Date()), p.der});
        }
    } else {
        for (const auto& w : track_->waypoints()) {
            rows_.insert(w->objectID().row);
            if (auto p = pointOf(*w)) points_.push_back(*p);
        }
        std::stable_sort(points_.begin(), points_.end(),
                         [](const Point& a, const Point& b) { return a.date < b.date; });
    }
    for (std::size_t i = 0; i < points_.size(); ++i) {
        if (i > 0) appendSegment(points_[i - 1], points_[i]);
        bounds_ = bounds_.unionWith(plat::MapRect::make(points_[i].point.x, points_[i].point.y, 0, 0));
    }
}

void TrackPath::appendSegment(const Point& a, const Point& b) {
    auto segment = std::make_shared<TrackPolyLine>(std::vector<plat::MapPoint>{a.point, b.point});
    segment->setLineColor(colorForDoseRate(a.doseRate > b.doseRate ? a.doseRate : b.doseRate));
    if (!path_) path_.emplace();
    path_->push_back(std::move(segment));
}

plat::MapRect TrackPath::boundingMapRect() const {
    if (bounds_.isNull()) return bounds_;
    return bounds_.insetBy(-bounds_.size.width * 0.1, -bounds_.size.height * 0.1);
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
