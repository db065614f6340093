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

ReadingStats ReadingStats::ofSet(Context& context, std::int64_t row) {
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

ReadingStats ReadingStats::ofTrack(Context& context, std::int64_t row) {
    static const std::string sql =
        std::string(kAggregates) +
        "(SELECT m.der, m.de, m.date FROM \"Waypoint\" w JOIN \"Measurement\" m ON m.waypoint_id = w.id"
        " WHERE w.track_id = ?1)";
    return run(context, sql, row);
}

std::int64_t ReadingStats::setAlarms(Context& context, std::int64_t row, double threshold) {
    return countRows(context, "SELECT COUNT(*) FROM \"Measurement\" WHERE set_id = ?1 AND der > ?2", row, threshold);
}

std::int64_t ReadingStats::trackAlarms(Context& context, std::int64_t row, double threshold) {
    return countRows(context,
                 "SELECT COUNT(*) FROM \"Waypoint\" w JOIN \"Measurement\" m ON m.waypoint_id = w.id"
                 " WHERE w.track_id = ?1 AND m.der > ?2",
                 row, threshold);
}

double ReadingStats::alarmThreshold(Context& context) {
    if (context.isMain()) context.store().refreshAlarmThreshold();
    return context.store().alarmThreshold();
}

}  // namespace qx
