#include "store/ReadingStats.h"

#include "store/Connection.h"
#include "store/Context.h"
#include "store/Store.h"

namespace qx {

namespace {

ReadingStats run(Context& context, const std::string& sql, std::int64_t row) {
    ReadingStats stats;
    auto s = context.connection().prepare(sql);
    if (!s) return stats;
    s.bind(1, Value(static_cast<long long>(row)));
    if (s.step() != 1) return stats;
    stats.count = s.columnInt(0);
    if (stats.count == 0) return stats;
    stats.minDER = s.columnDouble(1);
    stats.maxDER = s.columnDouble(2);
    stats.avgDER = s.columnDouble(3);
    stats.minDE = s.columnDouble(4);
    stats.maxDE = s.columnDouble(5);
    stats.minDate = plat::Date(s.columnDouble(6));
    stats.maxDate = plat::Date(s.columnDouble(7));
    return stats;
}

constexpr const char* kAggregates =
    "SELECT COUNT(*), MIN(der), MAX(der), AVG(der), MIN(de), MAX(de), MIN(date), MAX(date) FROM ";

std::int64_t countRows(Context& context, const char* sql, std::int64_t row, double threshold) {
    auto s = context.connection().prepare(sql);
    if (!s) return 0;
    s.bind(1, Value(static_cast<long long>(row)));
    s.bind(2, Value(threshold));
    return s.step() == 1 ? s.columnInt(0) : 0;
}

}  // namespace

namespace {

ReadingStats ofSet(Context& context, std::int64_t row) {
    // Three indexed lookups joined by UNION (which also drops a reading reached twice) rather
    // than one OR that would scan every measurement.
    static const std::string sql =
        std::string(kAggregates) +
        "(SELECT m.id, m.der, m.de, m.date FROM \"Measurement\" m WHERE m.set_id = ?1"
        " UNION SELECT m.id, m.der, m.de, m.date FROM \"Waypoint\" w JOIN \"Measurement\" m ON m.waypoint_id = w.id"
        " WHERE w.set_id = ?1"
        " UNION SELECT m.id, m.der, m.de, m.date FROM \"Track\" t JOIN \"Waypoint\" w ON w.track_id = t.id"
        " JOIN \"Measurement\" m ON m.waypoint_id = w.id WHERE t.set_id = ?1)";
    return run(context, sql, row);
}

ReadingStats ofTrack(Context& context, std::int64_t row) {
    static const std::string sql =
        std::string(kAggregates) +
        "(SELECT m.der, m.de, m.date FROM \"Waypoint\" w JOIN \"Measurement\" m ON m.waypoint_id = w.id"
        " WHERE w.track_id = ?1)";
    return run(context, sql, row);
}

}  // namespace

ReadingStats ReadingStats::of(const ManagedObject& o) {
    Context* context = o.managedObjectContext();
    if (!context || o.isInserted()) return {};
    return o.entity() == EntityKind::set ? ofSet(*context, o.objectID().row) : ofTrack(*context, o.objectID().row);
}

double ReadingStats::largestTrackDose(const ManagedObject& day) {
    Context* context = day.managedObjectContext();
    if (!context || day.isInserted() || day.entity() != EntityKind::set) return 0;
    auto s = context->connection().prepare("SELECT MAX(de) FROM \"Track\" WHERE set_id = ?1");
    if (!s) return 0;
    s.bind(1, Value(static_cast<long long>(day.objectID().row)));
    return s.step() == 1 ? s.columnDouble(0) : 0;
}

std::vector<ReadingStats::TrackReading> ReadingStats::readingsOfTrack(const ManagedObject& track) {
    std::vector<TrackReading> out;
    Context* context = track.managedObjectContext();
    if (!context || track.isInserted() || track.entity() != EntityKind::track) return out;
    auto s = context->connection().prepare(
        "SELECT m.date, m.der, m.de, m.deviceType FROM \"Waypoint\" w JOIN \"Measurement\" m ON m.waypoint_id = w.id"
        " WHERE w.track_id = ?1 ORDER BY w.track_pos, w.id");
    if (!s) return out;
    s.bind(1, Value(static_cast<long long>(track.objectID().row)));
    while (s.step() == 1) {
        out.push_back({plat::Date(s.columnDouble(0)), s.columnDouble(1), s.columnDouble(2), s.columnInt(3)});
    }
    return out;
}

std::int64_t ReadingStats::refreshAlarms(ManagedObject& o, int alarmsAttribute, std::int64_t stored) {
    Context* context = o.managedObjectContext();
    if (!context || o.isInserted()) return stored;
    // The preferences on the main thread; elsewhere the store's last copy of them.
    if (context->isMain()) context->store().refreshAlarmThreshold();
    const double threshold = context->store().alarmThreshold();
    const auto counted =
        o.entity() == EntityKind::set
            ? countRows(*context, "SELECT COUNT(*) FROM \"Measurement\" WHERE set_id = ?1 AND der > ?2",
                        o.objectID().row, threshold)
            : countRows(*context,
                        "SELECT COUNT(*) FROM \"Waypoint\" w JOIN \"Measurement\" m ON m.waypoint_id = w.id"
                        " WHERE w.track_id = ?1 AND m.der > ?2",
                        o.objectID().row, threshold);
    if (counted != stored) context->writeDerivedValue(o, alarmsAttribute, Value(static_cast<long long>(counted)));
    return counted;
}

}  // namespace qx
