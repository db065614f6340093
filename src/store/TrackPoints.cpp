#include "store/TrackPoints.h"

#include "store/Connection.h"
#include "store/Context.h"
#include "store/Track.h"

namespace qx {

std::optional<std::vector<TrackPoint>> TrackPoints::of(const Track& track) {
    Context* context = track.managedObjectContext();
    if (!context || track.isInserted() || track.isDeleted()) return std::nullopt;
    static const std::string sql =
        "SELECT w.id, w.latitude, w.longitude, m.date, m.der FROM \"Waypoint\" w"
        " LEFT JOIN \"Measurement\" m ON m.waypoint_id = w.id WHERE w.track_id = ?1 ORDER BY m.date, w.track_pos";
    auto s = context->connection().prepare(sql);
    if (!s) return std::nullopt;
    s.bind(1, Value(static_cast<long long>(track.objectID().row)));
    std::vector<TrackPoint> points;
    points.reserve(track.waypointRows().size());
    while (s.step() == 1) {
        TrackPoint p;
        p.row = s.columnInt(0);
        p.latitude = s.columnDouble(1);
        p.longitude = s.columnDouble(2);
        if (!s.columnIsNull(3)) p.date = plat::Date(s.columnDouble(3));
        p.der = s.columnDouble(4);
        points.push_back(p);
    }
    if (points.size() != track.waypointRows().size()) return std::nullopt;
    return points;
}

}  // namespace qx
