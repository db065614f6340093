#include "store/DayFigures.h"

#include <algorithm>
#include <vector>

#include "model/DeviceModels.h"
#include "store/Connection.h"
#include "store/ReadingStats.h"

namespace qx {

namespace {

// The days a reading row (NEW or OLD in a trigger) belongs to: its own, its waypoint's and its
// waypoint's track's.
std::vector<std::string> daysOfReading(const std::string& row) {
    return {row + ".set_id", "(SELECT set_id FROM \"Waypoint\" WHERE id = " + row + ".waypoint_id)",
            "(SELECT t.set_id FROM \"Waypoint\" w JOIN \"Track\" t ON t.id = w.track_id WHERE w.id = " + row +
                ".waypoint_id)"};
}

// The days a waypoint row belongs to: its own and its track's.
std::vector<std::string> daysOfWaypoint(const std::string& row) {
    return {row + ".set_id", "(SELECT set_id FROM \"Track\" WHERE id = " + row + ".track_id)"};
}

// One keyed delete per day, for the reason given at newReadingMeasuresDose().
std::string forget(const std::vector<std::string>& days) {
    std::string sql;
    for (const auto& day : days) sql += "DELETE FROM \"DayFigures\" WHERE set_id = " + day + "; ";
    return sql;
}

// Whether the NEW reading is of an instrument that measures dose. A chain of comparisons: a
// list after IN is made into a table of its own each time the trigger runs, which made storing
// many readings several times slower.
const std::string& newReadingMeasuresDose() {
    static const std::string test = [] {
        std::string sql;
        for (unsigned type = 1; type <= DeviceModels::kLast; ++type) {
            if (!DeviceModels::reportsDose(type)) continue;
            sql += std::string(sql.empty() ? "(" : " OR ") + "NEW.deviceName = '" + DeviceModels::name(type) + "'";
        }
        return sql + ")";
    }();
    return test;
}

// A stored reading joins the rows of its days, each once: its own day (whose alarms count
// only its own measurements, and stay unknown while they are), its point's, its track's. One
// statement per day, each finding its row by its key. A day without a row waits for its next read.
std::string addReading() {
    const std::string& dose = newReadingMeasuresDose();
    const std::string figures =
        "UPDATE \"DayFigures\" SET minDER = min(coalesce(minDER, NEW.der), NEW.der),"
        " maxDER = max(coalesce(maxDER, NEW.der), NEW.der),"
        " doseMinDE = CASE WHEN " + dose + " THEN min(coalesce(doseMinDE, NEW.de), NEW.de) ELSE doseMinDE END,"
        " doseMaxDE = CASE WHEN " + dose + " THEN max(coalesce(doseMaxDE, NEW.de), NEW.de) ELSE doseMaxDE END";
    const std::string pointDay = "(SELECT set_id FROM \"Waypoint\" WHERE id = NEW.waypoint_id)";
    const std::string trackDay =
        "(SELECT t.set_id FROM \"Waypoint\" w JOIN \"Track\" t ON t.id = w.track_id WHERE w.id = NEW.waypoint_id)";
    return figures + ", alarms = alarms + (NEW.der > alarmsAbove) WHERE set_id = NEW.set_id; " + figures +
           " WHERE set_id = " + pointDay + " AND set_id IS NOT NEW.set_id; " + figures + " WHERE set_id = " + trackDay +
           " AND set_id IS NOT NEW.set_id AND set_id IS NOT " + pointDay + ";";
}

// The day's readings, each once: three indexed lookups joined by UNION (which drops a reading
// reached twice), worked out for a day without a row.
const std::string& figuresSql() {
    static const std::string sql =
        "SELECT MIN(der), MAX(der), MIN(CASE WHEN deviceName IN " + ReadingStats::doseModelsSql() +
        " THEN de END), MAX(CASE WHEN deviceName IN " + ReadingStats::doseModelsSql() +
        " THEN de END) FROM (SELECT m.id, m.der, m.de, m.deviceName FROM \"Measurement\" m WHERE m.set_id = ?1"
        " UNION SELECT m.id, m.der, m.de, m.deviceName FROM \"Waypoint\" w JOIN \"Measurement\" m"
        " ON m.waypoint_id = w.id WHERE w.set_id = ?1"
        " UNION SELECT m.id, m.der, m.de, m.deviceName FROM \"Track\" t JOIN \"Waypoint\" w ON w.track_id = t.id"
        " JOIN \"Measurement\" m ON m.waypoint_id = w.id WHERE t.set_id = ?1)";
    return sql;
}

constexpr const char* kAlarmsSql = "SELECT COUNT(*) FROM \"Measurement\" WHERE set_id = ?1 AND der > ?2";

DayFigures fromColumns(Connection::Statement& s, int first) {
    DayFigures f;
    if (!s.columnIsNull(first)) {
        f.minDER = s.columnDouble(first);
        f.maxDER = s.columnDouble(first + 1);
    }
    if (!s.columnIsNull(first + 2)) f.readingsDose = std::max(0.0, s.columnDouble(first + 3) - s.columnDouble(first + 2));
    return f;
}

// Keeping a day's figures is worth no wait: read on the main thread, a write that waited for
// a long save (an import) would hold the screen still until it ends. They are worked out
// without being kept instead, and kept at a later read.
class WithoutWaiting {
public:
    explicit WithoutWaiting(Connection& c) : c_(c) { c_.waitForLocks(false); }
    ~WithoutWaiting() { c_.waitForLocks(true); }
    WithoutWaiting(const WithoutWaiting&) = delete;
    WithoutWaiting& operator=(const WithoutWaiting&) = delete;

private:
    Connection& c_;
};

// Works out the row of a day that has none. One statement, so that no save lands between
// reading the day and keeping what was read. False when the file cannot keep it.
bool ensureRow(Connection& c, std::int64_t row) {
    if (c.isReadOnly()) return false;
    static const std::string sql = "INSERT OR IGNORE INTO \"DayFigures\" (set_id, minDER, maxDER, doseMinDE, doseMaxDE) "
                                   "SELECT ?1, * FROM (" + figuresSql() + ") WHERE EXISTS (SELECT 1 FROM \"Set\" WHERE id = ?1)";
    auto s = c.prepare(sql);
    if (!s) return false;
    s.bindInteger(1, row);
    WithoutWaiting now(c);
    return s.run(nullptr);
}

}  // namespace

DayFigures DayFigures::of(Connection& c, std::int64_t row) {
    for (int attempt = 0; attempt < 2; ++attempt) {
        auto s = c.prepare("SELECT minDER, maxDER, doseMinDE, doseMaxDE FROM \"DayFigures\" WHERE set_id = ?1");
        if (!s) break;
        s.bindInteger(1, row);
        if (s.step() == 1) return fromColumns(s, 0);
        if (attempt == 0 && !ensureRow(c, row)) break;
    }
    auto s = c.prepare(figuresSql());
    if (!s) return {};
    s.bindInteger(1, row);
    return s.step() == 1 ? fromColumns(s, 0) : DayFigures{};
}

std::int64_t DayFigures::alarms(Connection& c, std::int64_t row, double threshold) {
    bool kept = false;
    {
        auto s = c.prepare("SELECT alarmsAbove = ?2 AND alarms IS NOT NULL, alarms FROM \"DayFigures\" WHERE set_id = ?1");
        if (s) {
            s.bindInteger(1, row);
            s.bind(2, Value(threshold));
            if (s.step() == 1) {
                if (s.columnInt(0)) return s.columnInt(1);
                kept = true;
            }
        }
    }
    if (kept || ensureRow(c, row)) {
        // Counted and kept in one statement, for the same reason as the figures.
        auto u = c.prepare(std::string("UPDATE \"DayFigures\" SET alarmsAbove = ?2, alarms = (") + kAlarmsSql +
                           ") WHERE set_id = ?1 RETURNING alarms");
        if (u) {
            u.bindInteger(1, row);
            u.bind(2, Value(threshold));
            WithoutWaiting now(c);
            if (u.step() == 1) return u.columnInt(0);
        }
    }
    auto s = c.prepare(kAlarmsSql);
    if (!s) return 0;
    s.bindInteger(1, row);
    s.bind(2, Value(threshold));
    return s.step() == 1 ? s.columnInt(0) : 0;
}

std::string DayFigures::schemaSql() {
    // Rows of days without readings (new ones) hold nulls; `alarms` is null until counted. A
    // file marked older than it is may hold them already.
    std::string sql =
        "CREATE TABLE IF NOT EXISTS \"DayFigures\" (set_id INTEGER PRIMARY KEY, minDER REAL, maxDER REAL, doseMinDE REAL,"
        " doseMaxDE REAL, alarmsAbove REAL, alarms INTEGER);\n";
    auto trigger = [&](const std::string& name, const std::string& when, const std::string& body) {
        sql += "CREATE TRIGGER IF NOT EXISTS \"DayFigures_" + name + "\" " + when + " BEGIN " + body + " END;\n";
    };
    trigger("day_added", "AFTER INSERT ON \"Set\"",
            "INSERT OR REPLACE INTO \"DayFigures\" (set_id) VALUES (NEW.id);");
    trigger("day_deleted", "AFTER DELETE ON \"Set\"", "DELETE FROM \"DayFigures\" WHERE set_id = OLD.id;");
    trigger("reading_added", "AFTER INSERT ON \"Measurement\"", addReading());
    trigger("reading_deleted", "AFTER DELETE ON \"Measurement\"", forget(daysOfReading("OLD")));
    // Marks, names and upload flags change nothing the rows show.
    trigger("reading_changed", "AFTER UPDATE OF der, de, deviceName, set_id, waypoint_id ON \"Measurement\"",
            forget(daysOfReading("OLD")) + " " + forget(daysOfReading("NEW")));
    // A point stored after its reading brings that reading to its days. Deleted, its reading
    // went with it before this runs (the cascade), so its days are forgotten whatever it held.
    trigger("point_added",
            "AFTER INSERT ON \"Waypoint\" WHEN EXISTS (SELECT 1 FROM \"Measurement\" WHERE waypoint_id = NEW.id)",
            forget(daysOfWaypoint("NEW")));
    trigger("point_deleted", "AFTER DELETE ON \"Waypoint\"", forget(daysOfWaypoint("OLD")));
    trigger("point_moved",
            "AFTER UPDATE OF set_id, track_id ON \"Waypoint\" WHEN EXISTS (SELECT 1 FROM \"Measurement\" WHERE "
            "waypoint_id = NEW.id)",
            forget(daysOfWaypoint("OLD")) + " " + forget(daysOfWaypoint("NEW")));
    trigger("track_added",
            "AFTER INSERT ON \"Track\" WHEN EXISTS (SELECT 1 FROM \"Waypoint\" WHERE track_id = NEW.id)",
            "DELETE FROM \"DayFigures\" WHERE set_id = NEW.set_id;");
    trigger("track_deleted", "AFTER DELETE ON \"Track\"", "DELETE FROM \"DayFigures\" WHERE set_id = OLD.set_id;");
    trigger("track_moved", "AFTER UPDATE OF set_id ON \"Track\" WHEN OLD.set_id IS NOT NEW.set_id",
            forget({"OLD.set_id", "NEW.set_id"}));
    return sql;
}

}  // namespace qx
