#include "store/TrackPoints.h"

#include <algorithm>

#include "store/Connection.h"
#include "store/Context.h"
#include "store/Track.h"
#include "store/Waypoint.h"

namespace qx {

bool TrackPoint::hasPosition() const { return !(latitude == Waypoint::kNoFix && longitude == Waypoint::kNoFix); }

std::optional<std::vector<TrackPoint>> TrackPoints::inTrackOrder(const Track& track) {
    Context* context = track.managedObjectContext();
    if (!context || track.isInserted() || track.isDeleted()) return std::nullopt;
    static const std::string sql =
        "SELECT w.id, w.latitude, w.longitude, m.date, m.der, w.name FROM \"Waypoint\" w"
        " LEFT JOIN \"Measurement\" m ON m.waypoint_id = w.id WHERE w.track_id = ?1 ORDER BY w.track_pos, w.id";
    auto s = context->connection().prepare(sql);
    if (!s) return std::nullopt;
    s.bind(1, Value(static_cast<long long>(track.objectID().row)));
    const auto& rows = track.waypointRows();
    std::vector<TrackPoint> points;
    points.reserve(rows.size());
    while (s.step() == 1) {
        TrackPoint p;
        p.row = s.columnInt(0);
        // The context's list of the track's points differs from the file's while it holds
        // links it has not saved: then the objects are the truth.
        if (points.size() >= rows.size() || rows[points.size()] != p.row) return std::nullopt;
        p.latitude = s.columnDouble(1);
        p.longitude = s.columnDouble(2);
        if (!s.columnIsNull(3)) p.date = plat::Date(s.columnDouble(3));
        p.der = s.columnDouble(4);
        if (!s.columnIsNull(5)) p.name = s.column(5).text();
        points.push_back(std::move(p));
    }
    if (points.size() != rows.size()) return std::nullopt;
    return points;
}

void TrackPoints::sortByDate(std::vector<TrackPoint>& points) {
    // Stable: points of one time keep the track's order.
    std::stable_sort(points.begin(), points.end(), [](const TrackPoint& a, const TrackPoint& b) {
        return a.date < b.date;  // a point without a reading is the oldest
    });
}

std::optional<std::vector<TrackPoint>> TrackPoints::of(const Track& track) {
    auto points = inTrackOrder(track);
    if (points) sortByDate(*points);
    return points;
}

}  // namespace qx
