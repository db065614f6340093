#include "store/ReadingStats.h"

#include <algorithm>

#include "model/DeviceModels.h"

#include "store/Connection.h"
#include "store/Context.h"
#include "store/DayFigures.h"
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

const std::string& ReadingStats::doseModelsSql() {
    static const std::string list = [] {
        std::string sql;
        for (unsigned type = 1; type <= DeviceModels::kLast; ++type) {
            if (!DeviceModels::reportsDose(type)) continue;
            sql += std::string(sql.empty() ? "('" : ", '") + DeviceModels::name(type) + "'";
        }
        return sql + ")";
    }();
    return list;
}

double ReadingStats::doseOfDay(const ManagedObject& day) {
    Context* context = day.managedObjectContext();
    if (!context || day.isInserted() || day.entity() != EntityKind::set) return 0;
    const auto row = day.objectID().row;
    // A track's instrument is that of its last point.
    static const std::string tracksSql =
        "SELECT MAX(t.de) FROM \"Track\" t WHERE t.set_id = ?1 AND (SELECT m.deviceName FROM \"Waypoint\" w"
        " JOIN \"Measurement\" m ON m.waypoint_id = w.id WHERE w.track_id = t.id"
        " ORDER BY w.track_pos DESC, w.id DESC LIMIT 1) IN " +
        doseModelsSql();
    double dose = DayFigures::of(context->connection(), row).readingsDose;
    auto s = context->connection().prepare(tracksSql);
    if (!s) return dose;
    s.bindInteger(1, row);
    if (s.step() == 1 && !s.columnIsNull(0)) dose = std::max(dose, s.columnDouble(0));
    return dose;
}

std::optional<std::string> ReadingStats::lastDeviceName(const ManagedObject& track) {
    Context* context = track.managedObjectContext();
    if (!context || track.isInserted() || track.entity() != EntityKind::track) return std::nullopt;
    auto s = context->connection().prepare(
        "SELECT m.deviceName FROM \"Waypoint\" w LEFT JOIN \"Measurement\" m ON m.waypoint_id = w.id"
        " WHERE w.track_id = ?1 ORDER BY w.track_pos DESC, w.id DESC LIMIT 1");
    if (!s) return std::nullopt;
    s.bind(1, Value(static_cast<long long>(track.objectID().row)));
    if (s.step() != 1) return std::nullopt;
    return s.columnIsNull(0) ? std::string() : s.column(0).text();
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
            ? DayFigures::alarms(context->connection(), o.objectID().row, threshold)
            : countRows(*context,
                        "SELECT COUNT(*) FROM \"Waypoint\" w JOIN \"Measurement\" m ON m.waypoint_id = w.id"
                        " WHERE w.track_id = ?1 AND m.der > ?2",
                        o.objectID().row, threshold);
    if (counted != stored) context->writeDerivedValue(o, alarmsAttribute, Value(static_cast<long long>(counted)));
    return counted;
}

}  // namespace qx
