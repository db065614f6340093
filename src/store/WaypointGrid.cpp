#include "store/WaypointGrid.h"

#include <algorithm>
#include <bit>
#include <chrono>
#include <functional>
#include <cmath>
#include <cstdio>
#include <map>
#include <numbers>
#include <optional>
#include <set>
#include <string>
#include <tuple>
#include <unordered_map>

#include "platform/foundation/Log.h"
#include "store/Connection.h"
#include "store/Schema.h"

namespace qx {

namespace {

constexpr std::int64_t kWorld = 268435456;  // map points across, 2^28
constexpr double kLastPoint = 268435455.99;  // the farthest a point is kept from the world's corner

std::string number(double v) {
    char text[40];
    std::snprintf(text, sizeof text, "%.17g", v);
    return text;
}

// The map point of a latitude and longitude, as plat::mapPointForCoordinate works it out,
// kept inside the world so that its squares are too.
std::string mapX(const std::string& lon) {
    return "max(0.0, min(" + number(kLastPoint) + ", ((" + lon + ") + 180.0) / 360.0 * 268435456.0))";
}
std::string mapY(const std::string& lat) {
    const double limit = std::atan(std::sinh(std::numbers::pi)) * 180.0 / std::numbers::pi;
    const std::string s = "sin(max(min(" + lat + ", " + number(limit) + "), " + number(-limit) + ") * pi() / 180.0)";
    return "max(0.0, min(" + number(kLastPoint) + ", (0.5 - ln((1 + " + s + ") / (1 - " + s + ")) / (4 * pi())) * 268435456.0))";
}
constexpr int kFinest = WaypointGrid::kFinestTileShift;
constexpr int kCoarsest = WaypointGrid::kCoarsestTileShift;
constexpr int kAlways = WaypointGrid::kAlwaysKeptShift;
constexpr std::int64_t kSplit = WaypointGrid::kSplitAbove;

// The bits of `v` (an SQL integer below 2^20) spread to every other place, so that the key of a
// square interleaves its column and row: the squares inside any larger square then have keys
// of one unbroken range, and its points are read as one range of the index.
std::string spreadBits(std::string v) {
    const std::pair<int, const char*> steps[] = {{16, "281470681808895"}, {8, "71777214294589695"},
                                                 {4, "1085102592571150095"}, {2, "3689348814741910323"},
                                                 {1, "6148914691236517205"}};
    for (const auto& [shift, mask] : steps) v = "((" + v + " | (" + v + " << " + std::to_string(shift) + ")) & " + mask + ")";
    return v;
}
std::int64_t spreadBits(std::int64_t v) {
    const std::pair<int, std::uint64_t> steps[] = {{16, 0x0000FFFF0000FFFFull}, {8, 0x00FF00FF00FF00FFull},
                                                   {4, 0x0F0F0F0F0F0F0F0Full}, {2, 0x3333333333333333ull},
                                                   {1, 0x5555555555555555ull}};
    auto x = static_cast<std::uint64_t>(v);
    for (const auto& [shift, mask] : steps) x = (x | (x << shift)) & mask;
    return static_cast<std::int64_t>(x);
}

// The key of a point stored but not yet given its own: as long as any, so that the point's row
// keeps its size when it gets its key.
const std::string kUnplaced = "4611686018427387904";

// The key of a finest square.
std::int64_t keyOf(std::int64_t tx, std::int64_t ty) { return spreadBits(tx) | (spreadBits(ty) << 1); }

// A point's key: that of its finest square.
std::string pointKey(const std::string& mx, const std::string& my) {
    const std::string f = std::to_string(kFinest);
    return "(" + spreadBits("(CAST(" + mx + " AS INTEGER) >> " + f + ")") + " | (" +
           spreadBits("(CAST(" + my + " AS INTEGER) >> " + f + ")") + " << 1))";
}
// The keys of the points of a square of `level` holding key `k` (SQL), low and high.
std::string keysFrom(const std::string& k, int level) {
    const std::string bits = std::to_string(2 * (level - kFinest));
    return "((" + k + " >> " + bits + ") << " + bits + ")";
}
std::string keysTo(const std::string& k, int level) {
    return "(" + keysFrom(k, level) + " + " + std::to_string((std::int64_t{1} << (2 * (level - kFinest))) - 1) + ")";
}

// The square of `level` holding waypoint `w`'s point, as a condition on WaypointMapSquare.
std::string squareOf(const std::string& w, int level, const char* table = "") {
    const std::string l = std::to_string(level);
    return std::string(table) + "level = " + l + " AND " + table + "ty = (SELECT CAST(my AS INTEGER) >> " + l +
           " FROM WaypointMapPoint WHERE id = " + w + ") AND " + table + "tx = (SELECT CAST(mx AS INTEGER) >> " + l +
           " FROM WaypointMapPoint WHERE id = " + w + ")";
}
std::string pointKeyOf(const std::string& w) { return "(SELECT key FROM WaypointMapPoint WHERE id = " + w + ")"; }
std::string countOf(const std::string& w, int level) {
    return "(SELECT n FROM WaypointMapSquare WHERE " + squareOf(w, level) + ")";
}

// Counts waypoint `w`'s point into its square of `level` (made if need be).
std::string countIn(const std::string& w, int level) {
    return "INSERT INTO WaypointMapSquare (level, ty, tx, n, der, wid, mid, dateMin, dateMax)"
           " SELECT " + std::to_string(level) + ", CAST(s.my AS INTEGER) >> " + std::to_string(level) +
           ", CAST(s.mx AS INTEGER) >> " + std::to_string(level) + ", 1, s.der, s.id, s.mid, s.date, s.date"
           " FROM WaypointMapPoint s WHERE s.id = " + w +
           " ON CONFLICT (level, ty, tx) DO UPDATE SET n = n + 1,"
           " dateMin = min(dateMin, excluded.dateMin), dateMax = max(dateMax, excluded.dateMax),"
           " wid = CASE WHEN excluded.der > der OR (excluded.der = der AND excluded.wid < wid) THEN excluded.wid ELSE wid END,"
           " mid = CASE WHEN excluded.der > der OR (excluded.der = der AND excluded.wid < wid) THEN excluded.mid ELSE mid END,"
           " der = max(der, excluded.der);\n";
}

// The squares of `level` inside the square of `level + 1` whose points have keys `from` to
// `to` (SQL), from those points: each with its count, dates and highest point.
std::string squaresFromPoints(int level, const std::string& from, const std::string& to, const std::string& when) {
    const std::string l = std::to_string(level);
    return "INSERT INTO WaypointMapSquare (level, ty, tx, n, der, wid, mid, dateMin, dateMax)"
           " SELECT " + l + ", ty, tx, n, der, id, mid, dateMin, dateMax FROM (SELECT ty, tx, der, id, mid,"
           " count(*) OVER q AS n, min(date) OVER q AS dateMin, max(date) OVER q AS dateMax,"
           " row_number() OVER (q ORDER BY der DESC, id) AS r FROM (SELECT CAST(my AS INTEGER) >> " + l +
           " AS ty, CAST(mx AS INTEGER) >> " + l + " AS tx, der, id, mid, date FROM WaypointMapPoint"
           " WHERE key BETWEEN " + from + " AND " + to + " AND " + when + ") WINDOW q AS (PARTITION BY ty, tx))"
           " WHERE r = 1;\n";
}

// Puts waypoint `w` (an SQL expression) on the grid when it has a position and a reading.
// Squares from the coarsest down: those always kept count it; a finer one is kept while the
// square above holds more than kSplitAbove points, and the square above that passes the mark
// with it gets its four quarters, made from its points.
std::string addSpot(const std::string& w, bool squares = true) {
    // The key is worked out from the point once stored: from its map point it would be
    // worked out again for every bit.
    std::string sql =
        "INSERT INTO WaypointMapPoint (id, mid, key, der, date, mx, my)"
        " SELECT s.id, s.mid, " + kUnplaced + ", s.der, s.date, s.mx, s.my FROM"
        " (SELECT w.id AS id, m.id AS mid, m.der AS der, m.date AS date, " + mapX("w.longitude") + " AS mx, " +
        mapY("w.latitude") + " AS my FROM \"Waypoint\" w JOIN \"Measurement\" m ON m.waypoint_id = w.id"
        " WHERE w.id = " + w + " AND NOT (w.latitude = -1 AND w.longitude = -1)) s"
        " WHERE NOT EXISTS (SELECT 1 FROM WaypointMapPoint WHERE id = " + w + ");\n"
        "UPDATE WaypointMapPoint SET key = " + pointKey("mx", "my") + " WHERE id = " + w + " AND key = " + kUnplaced + ";\n";
    if (!squares) return sql;
    for (int level = kCoarsest; level >= kAlways; --level) sql += countIn(w, level);
    for (int level = kAlways - 1; level >= kFinest; --level) {
        const std::string above = countOf(w, level + 1);
        const std::string k = pointKeyOf(w);
        sql += squaresFromPoints(level, keysFrom(k, level + 1), keysTo(k, level + 1),
                                 above + " = " + std::to_string(kSplit + 1));
        std::string count = countIn(w, level);
        count.insert(count.find(" ON CONFLICT"), " AND " + above + " > " + std::to_string(kSplit + 1));
        sql += count;
    }
    return sql;
}

// Takes waypoint `w` off the grid: each square it lies in counts one fewer (and goes when
// empty); one that falls to kSplitAbove points gives up its quarters; one whose highest point
// it was finds its next one, from its quarters where it keeps them, else from its points.
std::string removeSpot(const std::string& w, bool squares = true) {
    if (!squares) return "DELETE FROM WaypointMapPoint WHERE id = " + w + ";\n";
    std::string sql;
    for (int level = kFinest; level <= kCoarsest; ++level) {
        sql += "UPDATE WaypointMapSquare SET n = n - 1 WHERE " + squareOf(w, level) + ";\n";
        sql += "DELETE FROM WaypointMapSquare WHERE n <= 0 AND " + squareOf(w, level) + ";\n";
    }
    for (int level = kFinest + 1; level <= kAlways; ++level) {
        const std::string l = std::to_string(level), below = std::to_string(level - 1);
        for (const char* half : {"0", "1"})
            sql += "DELETE FROM WaypointMapSquare WHERE level = " + below + " AND ty = (SELECT CAST(my AS INTEGER) >> " +
                   l + " FROM WaypointMapPoint WHERE id = " + w + ") * 2 + " + half +
                   " AND tx BETWEEN (SELECT CAST(mx AS INTEGER) >> " + l + " FROM WaypointMapPoint WHERE id = " + w +
                   ") * 2 AND (SELECT CAST(mx AS INTEGER) >> " + l + " FROM WaypointMapPoint WHERE id = " + w +
                   ") * 2 + 1 AND " + countOf(w, level) + " <= " + std::to_string(kSplit) + ";\n";
    }
    const std::string k = pointKeyOf(w);
    for (int level = kFinest; level <= kCoarsest; ++level) {
        const std::string fromPoints =
            level == kFinest ? "s.key = " + k : "s.key BETWEEN " + keysFrom(k, level) + " AND " + keysTo(k, level);
        const std::string fromQuarters =
            "(SELECT c.der, c.wid, c.mid FROM WaypointMapSquare c WHERE c.level = " + std::to_string(level - 1) +
            " AND c.ty BETWEEN WaypointMapSquare.ty * 2 AND WaypointMapSquare.ty * 2 + 1"
            " AND c.tx BETWEEN WaypointMapSquare.tx * 2 AND WaypointMapSquare.tx * 2 + 1 ORDER BY c.der DESC, c.wid ASC LIMIT 1)";
        const std::string points = "(SELECT s.der, s.id, s.mid FROM WaypointMapPoint s WHERE " + fromPoints +
                                   " AND s.id <> " + w + " ORDER BY s.der DESC, s.id ASC LIMIT 1)";
        if (level == kFinest) {
            sql += "UPDATE WaypointMapSquare SET (der, wid, mid) = " + points + " WHERE " + squareOf(w, level) +
                   " AND wid = " + w + ";\n";
        } else if (level > kAlways) {
            sql += "UPDATE WaypointMapSquare SET (der, wid, mid) = " + fromQuarters + " WHERE " + squareOf(w, level) +
                   " AND wid = " + w + ";\n";
        } else {
            const std::string split = std::to_string(kSplit);
            sql += "UPDATE WaypointMapSquare SET (der, wid, mid) = " + fromQuarters + " WHERE " + squareOf(w, level) +
                   " AND wid = " + w + " AND n > " + split + ";\n";
            sql += "UPDATE WaypointMapSquare SET (der, wid, mid) = " + points + " WHERE " + squareOf(w, level) +
                   " AND wid = " + w + " AND n <= " + split + ";\n";
        }
    }
    sql += "DELETE FROM WaypointMapPoint WHERE id = " + w + ";\n";
    return sql;
}

std::string pointsTableSql(const std::string& prefix) {
    return "CREATE TABLE " + prefix + "WaypointMapPoint (id INTEGER PRIMARY KEY, mid INTEGER, key INTEGER NOT NULL,"
           " der REAL NOT NULL, date REAL NOT NULL, mx REAL NOT NULL, my REAL NOT NULL);\n";
}
std::string squaresTableSql(const std::string& prefix) {
    return "CREATE TABLE " + prefix + "WaypointMapSquare (level INTEGER NOT NULL, ty INTEGER NOT NULL, tx INTEGER NOT NULL,"
           " n INTEGER NOT NULL, der REAL NOT NULL, wid INTEGER NOT NULL, mid INTEGER, dateMin REAL NOT NULL,"
           " dateMax REAL NOT NULL, PRIMARY KEY (level, ty, tx)) WITHOUT ROWID;\n";
}

// Made once the points are in: sorting them once is far cheaper than placing each in turn. A
// square's points come highest first (of equal ones the oldest): a reader after one point per
// cell stops as soon as each of its cells has one.
std::string indexSql(const std::string& prefix) {
    return "CREATE INDEX " + prefix + "WaypointMapPoint_key ON WaypointMapPoint(key, der DESC, id, date, mx, my, mid);\n";
}

// With `squares` false they keep the points alone (see setAsideForImport()).
std::string triggersSql(bool squares = true) {
    // Each runs only where there is something to do: a point's reading stored after the point
    // (or before it) puts it on the grid once, and a delete that cascades from the point to its
    // reading takes it off once.
    const std::string onGrid = "EXISTS (SELECT 1 FROM WaypointMapPoint WHERE id = ";
    return "CREATE TRIGGER WaypointMap_waypoint_insert AFTER INSERT ON \"Waypoint\""
           " WHEN EXISTS (SELECT 1 FROM \"Measurement\" WHERE waypoint_id = NEW.id) BEGIN\n" + addSpot("NEW.id", squares) +
           "END;\n"
           "CREATE TRIGGER WaypointMap_measurement_insert AFTER INSERT ON \"Measurement\""
           " WHEN NEW.waypoint_id IS NOT NULL BEGIN\n" + addSpot("NEW.waypoint_id", squares) + "END;\n"
           "CREATE TRIGGER WaypointMap_waypoint_move AFTER UPDATE OF latitude, longitude ON \"Waypoint\" BEGIN\n" +
           removeSpot("OLD.id", squares) + addSpot("NEW.id", squares) + "END;\n"
           "CREATE TRIGGER WaypointMap_measurement_change AFTER UPDATE OF der, date, waypoint_id ON \"Measurement\""
           " BEGIN\n" + removeSpot("OLD.waypoint_id", squares) + addSpot("NEW.waypoint_id", squares) + "END;\n"
           "CREATE TRIGGER WaypointMap_waypoint_delete AFTER DELETE ON \"Waypoint\" WHEN " + onGrid + "OLD.id) BEGIN\n" +
           removeSpot("OLD.id", squares) + "END;\n"
           "CREATE TRIGGER WaypointMap_measurement_delete AFTER DELETE ON \"Measurement\" WHEN " + onGrid +
           "OLD.waypoint_id) BEGIN\n" + removeSpot("OLD.waypoint_id", squares) + "END;\n";
}

// Drops the triggers of the grid, and those of the grid an earlier version kept.
std::string dropTriggersSql() {
    std::string sql;
    for (const char* trigger : {"waypoint_insert", "measurement_insert", "waypoint_move", "measurement_change",
                                "waypoint_delete", "measurement_delete"}) {
        sql += std::string("DROP TRIGGER IF EXISTS main.WaypointMap_") + trigger + ";\n";
        sql += std::string("DROP TRIGGER IF EXISTS main.WaypointGrid_") + trigger + ";\n";
    }
    return sql;
}

// Drops the grid and its triggers, and those of the grid an earlier version kept.
std::string dropSql() {
    std::string sql = dropTriggersSql();
    for (const char* table : {"WaypointMapPoint", "WaypointMapSquare", "WaypointSpot", "WaypointTile",
                              "WaypointTileLevel", "WaypointTileRow"})
        sql += std::string("DROP TABLE IF EXISTS main.") + table + ";\n";
    return sql;
}

// Puts every stored point with a position and a reading on the grid, in the order of its rows.
bool hasTable(Connection& c, const std::string& schema, const char* name) {
    auto s = c.prepare("SELECT 1 FROM " + schema + ".sqlite_master WHERE type = 'table' AND name = ?");
    if (!s) return false;
    s.bind(1, Value(std::string(name)));
    return s.step() == 1;
}

bool hasTrigger(Connection& c, const char* name) {
    auto s = c.prepare("SELECT 1 FROM main.sqlite_master WHERE type = 'trigger' AND name = ?");
    if (!s) return false;
    s.bind(1, Value(std::string(name)));
    return s.step() == 1;
}

bool holdsGrid(Connection& c, const std::string& schema) { return hasTable(c, schema, "WaypointMapSquare"); }

// Whether the file keeps the points alone, their squares set aside by an import.
bool holdsPointsOnly(Connection& c) { return hasTable(c, "main", "WaypointMapPoint") && !holdsGrid(c, "main"); }

// Puts the stored points with a position and a reading on the grid, those of waypoints of
// rows after `after`. Their keys are worked out here: in SQL each of their bits would cost a
// step of its own.
bool placePoints(Connection& c, std::int64_t after, StoreError* error) {
    auto points = c.prepare("SELECT w.id, m.id, m.der, m.date, " + mapX("w.longitude") + ", " + mapY("w.latitude") +
                                " FROM " +
                                (after == 0 ? "\"Measurement\" m CROSS JOIN \"Waypoint\" w ON w.id = m.waypoint_id"
                                            : "\"Waypoint\" w CROSS JOIN \"Measurement\" m ON m.waypoint_id = w.id") +
                                " WHERE w.id > ?1 AND NOT (w.latitude = -1 AND w.longitude = -1)",
                            error);
    auto insert = c.prepare("INSERT INTO WaypointMapPoint (id, mid, key, der, date, mx, my) VALUES (?, ?, ?, ?, ?, ?, ?)",
                            error);
    if (!points || !insert) return false;
    points.bindInteger(1, after);
    while (points.step() == 1) {
        const double mx = points.columnDouble(4), my = points.columnDouble(5);
        insert.bindInteger(1, points.columnInt(0));
        insert.bindInteger(2, points.columnInt(1));
        insert.bindInteger(3, keyOf(static_cast<std::int64_t>(mx) >> kFinest, static_cast<std::int64_t>(my) >> kFinest));
        insert.bind(4, Value(points.columnDouble(2)));
        insert.bind(5, Value(points.columnDouble(3)));
        insert.bind(6, Value(mx));
        insert.bind(7, Value(my));
        const bool ok = insert.step() >= 0;
        insert.reset();
        if (!ok) {
            reportError(error, c.lastError("placing points on the map grid"));
            return false;
        }
    }
    return true;
}

// Runs `build` in a transaction of its own with what a build of millions of points needs: a
// large page cache, for the points are sorted a few times over and would spill to disk again
// and again with the connection's small one; and the file not mapped, for each page read would
// stay in the program's memory.
bool buildInTransaction(Connection& c, StoreError* error, const std::function<bool()>& build) {
    std::int64_t cachePages = -2000, mapped = 0;
    if (auto s = c.prepare("PRAGMA cache_size"); s && s.step() == 1) cachePages = s.columnInt(0);
    if (auto s = c.prepare("PRAGMA mmap_size"); s && s.step() == 1) mapped = s.columnInt(0);
    c.exec("PRAGMA mmap_size = 0");
    bool done = c.begin(error);
    if (done) {
        c.exec("PRAGMA cache_size = -32768");
        const bool ok = build();
        c.exec("PRAGMA cache_size = " + std::to_string(cachePages));
        done = ok ? c.commit(error) : (c.rollback(), false);
    }
    c.exec("PRAGMA mmap_size = " + std::to_string(mapped));
    return done;
}

// --- reading -------------------------------------------------------------------------------------

struct Best {
    double der = 0;
    std::int64_t waypoint = 0, measurement = 0;
};

bool better(double der, std::int64_t waypoint, const Best& than) {
    return der > than.der || (der == than.der && waypoint < than.waypoint);
}

struct CellKeyHash {
    std::size_t operator()(const std::pair<std::int64_t, std::int64_t>& k) const {
        return std::hash<std::int64_t>()(k.first * 1000003 ^ k.second);
    }
};

using Cells = std::unordered_map<std::pair<std::int64_t, std::int64_t>, Best, CellKeyHash>;

void offer(Cells& cells, std::int64_t cx, std::int64_t cy, double der, std::int64_t waypoint, std::int64_t measurement) {
    auto [it, added] = cells.try_emplace({cx, cy}, Best{der, waypoint, measurement});
    if (!added && better(der, waypoint, it->second)) it->second = Best{der, waypoint, measurement};
}

// What a square of the grid holds.
struct Square {
    std::int64_t n = 0;
    Best best;
    double dateMin = INFINITY, dateMax = -INFINITY;

    void take(std::int64_t count, const Best& b, double from, double to) {
        if (n == 0 || better(b.der, b.waypoint, best)) best = b;
        n += count;
        dateMin = std::min(dateMin, from);
        dateMax = std::max(dateMax, to);
    }
};

class SquareWriter {
public:
    SquareWriter(Connection& c, StoreError* error)
        : c_(c), error_(error),
          insert_(c.prepare("INSERT INTO WaypointMapSquare (level, ty, tx, n, der, wid, mid, dateMin, dateMax)"
                            " VALUES (?, ?, ?, ?, ?, ?, ?, ?, ?)",
                            error)) {}
    explicit operator bool() const { return static_cast<bool>(insert_); }

    bool write(int level, std::int64_t ty, std::int64_t tx, const Square& q) {
        insert_.bindInteger(1, level);
        insert_.bindInteger(2, ty);
        insert_.bindInteger(3, tx);
        insert_.bindInteger(4, q.n);
        insert_.bind(5, Value(q.best.der));
        insert_.bindInteger(6, q.best.waypoint);
        insert_.bindInteger(7, q.best.measurement);
        insert_.bind(8, Value(q.dateMin));
        insert_.bind(9, Value(q.dateMax));
        const bool ok = insert_.step() >= 0;
        insert_.reset();
        if (!ok) reportError(error_, c_.lastError("filling the map grid"));
        return ok;
    }

private:
    Connection& c_;
    StoreError* error_;
    Connection::Statement insert_;
};

// The squares of every level in one pass over the points in the order of their keys, in which
// the points of any square come together. Each level holds the square being summed up and the
// finished quarters of the square above, which are written once that square is done and known
// to keep them: nothing grows with the store.
class SquareFiller {
public:
    explicit SquareFiller(SquareWriter& out) : out_(out) {}

    bool add(std::int64_t key, std::int64_t ty, std::int64_t tx, double der, std::int64_t id, std::int64_t mid, double date) {
        for (int level = kFinest; level <= kCoarsest; ++level) {
            Open& o = open_[level - kFinest];
            const std::int64_t prefix = key >> (2 * (level - kFinest));
            if (o.square.n > 0 && o.prefix != prefix && !close(level)) return false;
            if (o.square.n == 0) {
                o.prefix = prefix;
                o.ty = ty >> (level - kFinest);
                o.tx = tx >> (level - kFinest);
            }
            o.square.take(1, Best{der, id, mid}, date, date);
        }
        return true;
    }

    bool finish() {
        for (int level = kFinest; level <= kCoarsest; ++level)
            if (open_[level - kFinest].square.n > 0 && !close(level)) return false;
        return true;
    }

private:
    struct Open {
        std::int64_t prefix = -1, ty = 0, tx = 0;
        Square square;
        std::vector<std::tuple<std::int64_t, std::int64_t, Square>> quarters;
    };

    // The square of `level` is done; so are its quarters, kept if it keeps them.
    bool close(int level) {
        Open& o = open_[level - kFinest];
        if (level > kFinest) {
            auto& quarters = open_[level - kFinest - 1].quarters;
            if (level > kAlways || o.square.n > kSplit)
                for (const auto& [ty, tx, q] : quarters)
                    if (!out_.write(level - 1, ty, tx, q)) return false;
            quarters.clear();
        }
        if (level == kCoarsest) {
            if (!out_.write(level, o.ty, o.tx, o.square)) return false;
        } else {
            o.quarters.emplace_back(o.ty, o.tx, o.square);
        }
        o.square = Square{};
        return true;
    }

    SquareWriter& out_;
    Open open_[kCoarsest - kFinest + 1];
};

bool fillTiles(Connection& c, StoreError* error) {
    SquareWriter out(c, error);
    if (!out) return false;
    auto s = c.prepare("SELECT key, my, mx, der, id, mid, date FROM WaypointMapPoint ORDER BY key, der DESC, id", error);
    if (!s) return false;
    SquareFiller filler(out);
    while (s.step() == 1) {
        if (!filler.add(s.columnInt(0), static_cast<std::int64_t>(s.columnDouble(1)) >> kFinest,
                        static_cast<std::int64_t>(s.columnDouble(2)) >> kFinest, s.columnDouble(3), s.columnInt(4),
                        s.columnInt(5), s.columnDouble(6)))
            return false;
    }
    return filler.finish();
}

// The latitudes and longitudes a circle can reach, widened a little against rounding.
struct CapBox {
    double south = -90, north = 90, west = -180, east = 180;
    bool allLongitudes = true;
};
CapBox capAround(const plat::Coordinate2D& centre, double radius) {
    constexpr double kDegree = std::numbers::pi / 180.0;
    const double angle = radius / plat::Location::kEarthMeanRadius;
    const double span = angle / kDegree * 1.001 + 1e-9;
    CapBox box;
    box.south = centre.latitude - span;
    box.north = centre.latitude + span;
    const double reach = std::sin(angle) / std::cos(centre.latitude * kDegree);
    if (std::abs(centre.latitude) + span < 90.0 && angle < std::numbers::pi / 2 && reach < 1.0) {
        const double lonSpan = std::asin(reach) / kDegree * 1.001 + 1e-9;
        box.west = centre.longitude - lonSpan;
        box.east = centre.longitude + lonSpan;
        box.allLongitudes = false;
    }
    return box;
}

bool longitudeInCap(double lon, const CapBox& cap) {
    if (cap.allLongitudes) return true;
    const double d = std::remainder(lon - (cap.west + cap.east) / 2, 360.0);
    return std::abs(d) <= (cap.east - cap.west) / 2;
}

// Whether every, none or some of the points of a square pass the filter's time and distance.
enum class Reach { all, none, some };

class Query {
public:
    Query(Connection& c, const WaypointGrid::CellGrid& grid, const WaypointGrid::Filter& filter)
        : c_(c), grid_(grid), filter_(filter), size_(grid.size()) {
        if (filter.within) cap_ = capAround(filter.within->centre, filter.within->radius);
    }

    void area(double x0, double x1, double y0, double y1) {
        // Whole cells, so that each cell's answer is over all of it; none past the world.
        const double cx0 = std::floor(x0 / size_), cx1 = std::floor(std::nextafter(x1, x0) / size_);
        const double cy0 = std::floor(y0 / size_), cy1 = std::floor(std::nextafter(y1, y0) / size_);
        clip_ = {std::max(0.0, cx0 * size_), std::min<double>(kWorld, (cx1 + 1) * size_), std::max(0.0, cy0 * size_),
                 std::min<double>(kWorld, (cy1 + 1) * size_)};
        if (clip_.x1 <= clip_.x0 || clip_.y1 <= clip_.y0) return;
        // The squares a cell is made of, as large as its size and place allow: a cell of 5 * 2^s
        // points takes 25 squares of 2^s, one of 4 * 2^s a single square of 2^(s + 2).
        int level = WaypointGrid::kFinestTileShift;
        if (grid_.shift >= WaypointGrid::kFinestTileShift) {
            level = grid_.shift + std::countr_zero(static_cast<std::uint64_t>(grid_.factor));
            level = std::min(level, WaypointGrid::kCoarsestTileShift);
        }
        readLevel(level, false);
        // Where the squares of that level are not kept, a larger square holds few points: those
        // squares are read with their points.
        for (int above = level + 1; above <= kAlways; ++above) readLevel(above, true);
        readSpotsWhereTheyMayBetter();
    }

    std::vector<WaypointGrid::CellPin> pins() const {
        std::vector<WaypointGrid::CellPin> out;
        out.reserve(cells_.size());
        for (const auto& [key, best] : cells_) {
            if (!(best.der > filter_.doseRateAbove)) continue;
            out.push_back({key.first, key.second, best.waypoint, best.measurement, best.der});
        }
        std::sort(out.begin(), out.end(), [](const auto& a, const auto& b) {
            return a.cellY != b.cellY ? a.cellY < b.cellY : a.cellX < b.cellX;
        });
        return out;
    }

private:
    struct Tile {
        int level = 0;
        std::int64_t tx = 0, ty = 0, n = 0;
        double der = 0, dateMin = 0, dateMax = 0;
        std::int64_t waypoint = 0, measurement = 0;
    };

    // The squares of `level` in the area (only those without their quarters: `fewPoints`).
    void readLevel(int level, bool fewPoints) {
        const double side = std::ldexp(1.0, level);
        const std::int64_t last = (kWorld >> level) - 1;
        const auto tx0 = static_cast<std::int64_t>(clip_.x0 / side);
        const auto tx1 = std::min(last, static_cast<std::int64_t>(std::ceil(clip_.x1 / side)) - 1);
        const auto ty0 = static_cast<std::int64_t>(clip_.y0 / side);
        const auto ty1 = std::min(last, static_cast<std::int64_t>(std::ceil(clip_.y1 / side)) - 1);
        for (std::int64_t ty = ty0; ty <= ty1; ++ty)
            for (const Tile& t : tilesOfRow(level, ty, tx0, tx1))
                if (!fewPoints || t.n <= kSplit) visit(t);
    }
    struct Rect {
        double x0 = 0, x1 = 0, y0 = 0, y1 = 0;
    };

    // The stored squares of one row of a level, read whole before any is looked into, since
    // looking into one reads the level below with the same statement.
    std::vector<Tile> tilesOfRow(int level, std::int64_t ty, std::int64_t tx0, std::int64_t tx1) {
        std::vector<Tile> tiles;
        if (!row_)
            row_.emplace(c_.prepare("SELECT tx, der, wid, mid, dateMin, dateMax, n FROM WaypointMapSquare"
                                    " WHERE level = ?1 AND ty = ?2 AND tx BETWEEN ?3 AND ?4"));
        auto& s = *row_;
        if (!s) return tiles;
        s.bindInteger(1, level);
        s.bindInteger(2, ty);
        s.bindInteger(3, tx0);
        s.bindInteger(4, tx1);
        while (s.step() == 1) {
            const double der = s.columnDouble(1);
            // The highest reading of the square fails the floor: so does every other.
            if (!(der > filter_.doseRateAbove)) continue;
            tiles.push_back({level, s.columnInt(0), ty, s.columnInt(6), der, s.columnDouble(4), s.columnDouble(5),
                             s.columnInt(2), s.columnInt(3)});
        }
        s.reset();
        return tiles;
    }

    void visit(const Tile& t) {
        const Reach r = reach(t.level, t.tx, t.ty, t.dateMin, t.dateMax);
        if (r == Reach::none) return;
        const double side = std::ldexp(1.0, t.level);
        const double cx = std::floor(t.tx * side / size_), cy = std::floor(t.ty * side / size_);
        const bool oneCell = std::ceil((t.tx + 1) * side / size_) - 1 == cx && std::ceil((t.ty + 1) * side / size_) - 1 == cy;
        if (r == Reach::all && oneCell) {
            offer(cells_, static_cast<std::int64_t>(cx), static_cast<std::int64_t>(cy), t.der, t.waypoint, t.measurement);
        } else if (t.level > kFinest && (t.level > kAlways || t.n > kSplit)) {
            for (std::int64_t ty = t.ty * 2; ty <= t.ty * 2 + 1; ++ty)
                for (const Tile& child : tilesOfRow(t.level - 1, ty, t.tx * 2, t.tx * 2 + 1)) visit(child);
        } else {
            spotsToRead_.push_back(t);
        }
    }

    // The squares whose points are to be read, once every square that fills a cell alone has
    // given it its best, highest first: one whose highest reading betters the pin of none of
    // the cells it meets holds nothing for them and is passed over. Where readings are crowded
    // a cell's own squares nearly always outdo the few points of a square astride its border.
    void readSpotsWhereTheyMayBetter() {
        std::sort(spotsToRead_.begin(), spotsToRead_.end(),
                  [](const Tile& a, const Tile& b) { return better(a.der, a.waypoint, Best{b.der, b.waypoint, 0}); });
        for (const Tile& t : spotsToRead_)
            if (mayBetter(t)) readSpots(t);
        spotsToRead_.clear();
    }

    // The part of a square inside the area, and the cells it meets.
    struct Span {
        Rect r;
        std::int64_t cx0 = 0, cx1 = -1, cy0 = 0, cy1 = -1;
        double cells() const { return static_cast<double>(cx1 - cx0 + 1) * static_cast<double>(cy1 - cy0 + 1); }
    };
    Span spanOf(const Tile& t) const {
        const double side = std::ldexp(1.0, t.level);
        Span span;
        span.r = {std::max(clip_.x0, t.tx * side), std::min(clip_.x1, (t.tx + 1) * side), std::max(clip_.y0, t.ty * side),
                  std::min(clip_.y1, (t.ty + 1) * side)};
        if (span.r.x1 <= span.r.x0 || span.r.y1 <= span.r.y0) return span;
        span.cx0 = static_cast<std::int64_t>(std::floor(span.r.x0 / size_));
        span.cx1 = static_cast<std::int64_t>(std::floor(std::nextafter(span.r.x1, span.r.x0) / size_));
        span.cy0 = static_cast<std::int64_t>(std::floor(span.r.y0 / size_));
        span.cy1 = static_cast<std::int64_t>(std::floor(std::nextafter(span.r.y1, span.r.y0) / size_));
        return span;
    }

    // Whether a point of the square could take a cell it meets: one without a pin yet, or whose
    // pin is below the square's highest reading. A square over very many cells is simply read.
    bool mayBetter(const Tile& t) const {
        static constexpr double kCellsLookedUp = 64;
        const Span span = spanOf(t);
        if (span.cells() <= 0) return false;
        if (span.cells() > kCellsLookedUp) return true;
        for (std::int64_t cy = span.cy0; cy <= span.cy1; ++cy)
            for (std::int64_t cx = span.cx0; cx <= span.cx1; ++cx) {
                const auto it = cells_.find({cx, cy});
                if (it == cells_.end() || better(t.der, t.waypoint, it->second)) return true;
            }
        return false;
    }

    // The points of a square without quarters, highest first: each cell of the area it meets
    // takes the first that passes the filter, and the reading ends once every such cell has one.
    // A finest square crowded with points costs what its cells need, not what it holds.
    void readSpots(const Tile& t) {
        const Span span = spanOf(t);
        const Rect& r = span.r;
        const double cells = span.cells();
        if (cells <= 0) return;
        // A finest square's points come highest first in the index's order, and the reading
        // ends once each cell has one; a larger square holds few, all read in the order of
        // their keys (sorting them would cost more).
        const bool finest = t.level == kFinest;
        auto& statement = finest ? pointsOfKey_ : pointsOfKeys_;
        if (!statement)
            statement.emplace(c_.prepare(std::string("SELECT der, date, mx, my, id, mid FROM WaypointMapPoint WHERE ") +
                                         (finest ? "key = ?1 ORDER BY der DESC, id" : "key BETWEEN ?1 AND ?2")));
        auto& s = *statement;
        if (!s) return;
        const int below = t.level - kFinest;
        const std::int64_t first = keyOf(t.tx << below, t.ty << below);
        s.bindInteger(1, first);
        if (!finest) s.bindInteger(2, first + (std::int64_t{1} << (2 * below)) - 1);
        std::set<std::pair<std::int64_t, std::int64_t>> done;
        while (static_cast<double>(done.size()) < cells && s.step() == 1) {
            const double der = s.columnDouble(0);
            if (!(der > filter_.doseRateAbove)) {
                if (finest) break;
                continue;
            }
            const double mx = s.columnDouble(2), my = s.columnDouble(3);
            if (mx < r.x0 || mx >= r.x1 || my < r.y0 || my >= r.y1) continue;
            const std::pair cell{static_cast<std::int64_t>(std::floor(mx / size_)),
                                 static_cast<std::int64_t>(std::floor(my / size_))};
            if (done.count(cell) || !passes(s.columnDouble(1), mx, my)) continue;
            offer(cells_, cell.first, cell.second, der, s.columnInt(4), s.columnInt(5));
            if (finest) done.insert(cell);
        }
        s.reset();
    }

    bool passes(double date, double mx, double my) const {
        if (filter_.from && date < *filter_.from) return false;
        if (filter_.before && date >= *filter_.before) return false;
        if (filter_.within) {
            const plat::Coordinate2D at = plat::coordinateForMapPoint({mx, my});
            if (plat::Location::distanceBetween(at, filter_.within->centre) > filter_.within->radius) return false;
        }
        return true;
    }

    Reach reach(int level, std::int64_t tx, std::int64_t ty, double dateMin, double dateMax) const {
        bool some = false;
        if (filter_.from || filter_.before) {
            const double from = filter_.from.value_or(-INFINITY), before = filter_.before.value_or(INFINITY);
            if (dateMax < from || dateMin >= before) return Reach::none;
            some = dateMin < from || dateMax >= before;
        }
        if (filter_.within) {
            const double side = std::ldexp(1.0, level);
            const plat::Coordinate2D nw = plat::coordinateForMapPoint({tx * side, ty * side});
            const plat::Coordinate2D se = plat::coordinateForMapPoint({(tx + 1) * side, (ty + 1) * side});
            if (se.latitude > cap_.north || nw.latitude < cap_.south) return Reach::none;
            const bool lonOverlap = cap_.allLongitudes || longitudeInCap(nw.longitude, cap_) ||
                                    longitudeInCap(se.longitude, cap_) ||
                                    (nw.longitude <= filter_.within->centre.longitude &&
                                     filter_.within->centre.longitude <= se.longitude);
            if (!lonOverlap) return Reach::none;
            // The farthest point of a box of latitudes and longitudes from a centre is a corner.
            const plat::Coordinate2D corners[] = {nw, se, {nw.latitude, se.longitude}, {se.latitude, nw.longitude}};
            for (const auto& corner : corners)
                if (plat::Location::distanceBetween(corner, filter_.within->centre) > filter_.within->radius) some = true;
        }
        return some ? Reach::some : Reach::all;
    }

    Connection& c_;
    WaypointGrid::CellGrid grid_;
    const WaypointGrid::Filter& filter_;
    double size_;
    CapBox cap_;
    Rect clip_;
    Cells cells_;
    std::vector<Tile> spotsToRead_;
    std::optional<Connection::Statement> row_, pointsOfKey_, pointsOfKeys_;  // prepared at their first use
};

}  // namespace

double WaypointGrid::CellGrid::size() const { return static_cast<double>(factor) * std::ldexp(1.0, shift); }

WaypointGrid::CellGrid WaypointGrid::CellGrid::forScale(double mapPointsPerPoint, double points) {
    const double target = std::max(points * mapPointsPerPoint, 1e-6);
    CellGrid grid;
    grid.shift = static_cast<int>(std::floor(std::log2(target / 4)));
    grid.factor = static_cast<std::int64_t>(std::ceil(target / std::ldexp(1.0, grid.shift) - 1e-9));
    return grid;
}

plat::MapPoint WaypointGrid::placeOf(const plat::Coordinate2D& at) {
    const plat::MapPoint p = plat::mapPointForCoordinate(at);
    return {std::clamp(p.x, 0.0, kLastPoint), std::clamp(p.y, 0.0, kLastPoint)};
}

std::pair<std::int64_t, std::int64_t> WaypointGrid::cellOf(const plat::MapPoint& p, const CellGrid& grid) {
    const double s = grid.size();
    return {static_cast<std::int64_t>(std::floor(p.x / s)), static_cast<std::int64_t>(std::floor(p.y / s))};
}

plat::MapRect WaypointGrid::cellRect(std::int64_t cellX, std::int64_t cellY, const CellGrid& grid) {
    const double s = grid.size();
    return plat::MapRect::make(static_cast<double>(cellX) * s, static_cast<double>(cellY) * s, s, s);
}

bool WaypointGrid::install(Connection& c, bool temporary, StoreError* error) {
    const std::string schema = temporary ? "temp" : "main";
    if (holdsGrid(c, schema)) return true;
    const auto start = std::chrono::steady_clock::now();
    const std::string prefix = temporary ? "temp." : "";
    // Points kept by an import need only their squares.
    const bool pointsKept = !temporary && holdsPointsOnly(c);
    const bool done = buildInTransaction(c, error, [&] {
        if (pointsKept)
            return c.exec(dropTriggersSql() + squaresTableSql(prefix), error) && c.exec(triggersSql(), error) &&
                   fillTiles(c, error);
        return c.exec(pointsTableSql(prefix) + squaresTableSql(prefix), error) && (temporary || c.exec(triggersSql(), error)) &&
               placePoints(c, 0, error) && c.exec(indexSql(prefix), error) && fillTiles(c, error);
    });
    if (!done) return false;
    const double ms = std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
    // Counted from the coarsest squares: counting the points would read (and map) every one.
    auto count = c.prepare("SELECT total(n) FROM WaypointMapSquare WHERE level = " + std::to_string(kCoarsestTileShift));
    const auto n = static_cast<std::int64_t>((count && count.step() == 1) ? count.columnDouble(0) : 0);
    if (n > 0)
        plat::Log::line("WaypointGrid: placed " + std::to_string(n) + " stored waypoints on the map grid in " +
                        std::to_string(static_cast<long long>(ms)) + " ms");
    return true;
}

namespace {

// An earlier version's grid goes with its triggers; this run's is made in its place.
void dropEarlierGrid(Connection& c) {
    StoreError error;
    if (hasTable(c, "main", "WaypointTile") && !c.exec(dropSql(), &error))
        plat::Log::line("WaypointGrid: an earlier map grid could not be removed (" + error.message + ")");
}

}  // namespace

bool WaypointGrid::mustMake(Connection& c) {
    return !holdsGrid(c, "main") && !holdsGrid(c, "temp") && !c.isReadOnly();
}

bool WaypointGrid::makeInFile(const std::filesystem::path& file, StoreError* error) {
    auto c = Connection::open(file, error);
    if (!c || !Schema::configure(*c, error)) return false;
    if (holdsGrid(*c, "main")) return true;
    dropEarlierGrid(*c);
    return install(*c, false, error);
}

bool WaypointGrid::ensure(Connection& c) {
    if (holdsGrid(c, "main")) return true;
    if (holdsGrid(c, "temp")) return false;
    StoreError error;
    const bool temporary = c.isReadOnly();
    if (!temporary) dropEarlierGrid(c);
    if (install(c, temporary, &error)) return !temporary;
    plat::Log::line("WaypointGrid: the map grid could not be kept in the file (" + error.message +
                    "); it is made for this run");
    install(c, true, nullptr);
    return false;
}

bool WaypointGrid::inFile(Connection& c) { return holdsGrid(c, "main"); }

bool WaypointGrid::refresh(Connection& c, const std::vector<std::int64_t>& waypoints,
                           const std::vector<std::int64_t>& measurements) {
    if (inFile(c) || !holdsGrid(c, "temp")) return true;
    std::set<std::int64_t> rows(waypoints.begin(), waypoints.end());
    // A reading may have moved to another waypoint or gone: both the waypoint the grid has it
    // under and the one the file now has it under are put on again.
    auto owners = c.prepare("SELECT id FROM WaypointMapPoint WHERE mid = ?1 UNION SELECT waypoint_id FROM \"Measurement\""
                            " WHERE id = ?1 AND waypoint_id IS NOT NULL");
    if (!owners) return false;
    for (const std::int64_t m : measurements) {
        owners.bindInteger(1, m);
        while (owners.step() == 1) rows.insert(owners.columnInt(0));
        owners.reset();
    }
    if (rows.empty()) return true;
    // As for the grid in the file, a save of many points makes it anew rather than row by row.
    if (static_cast<std::int64_t>(rows.size()) >= kBulkRows) return renew(c) || holdsGrid(c, "temp");
    std::string sql;
    for (const std::int64_t w : rows) sql += removeSpot(std::to_string(w)) + addSpot(std::to_string(w));
    // Only the connection's own tables are written: the file is only read, and not locked
    // against the save thread's writes.
    StoreError error;
    if (c.exec("BEGIN", &error)) {
        if (c.exec(sql, &error) && c.exec("COMMIT", &error)) return true;
        c.exec("ROLLBACK");
    }
    plat::Log::line("WaypointGrid: the map grid of this run could not take a change (" + error.message + ")");
    return false;
}

bool WaypointGrid::renew(Connection& c) {
    if (holdsGrid(c, "temp")) {
        std::string sql;
        for (const char* table : {"WaypointMapPoint", "WaypointMapSquare"})
            sql += std::string("DROP TABLE IF EXISTS temp.") + table + ";\n";
        c.exec(sql);
    }
    return ensure(c);
}

bool WaypointGrid::setAsideForImport(Connection& c, std::int64_t rows) {
    if (holdsPointsOnly(c)) return true;
    if (inFile(c)) return setAsideForBulk(c, rows, false);
    if (rows < kBulkRows || !c.inTransaction() || c.isReadOnly()) return false;
    // A file without the grid (or with an earlier version's) gets its points now, on the save's
    // thread, so that the first map after the import makes only their squares.
    StoreError error;
    if (c.exec(dropSql() + pointsTableSql(""), &error) && placePoints(c, 0, &error) && c.exec(indexSql(""), &error))
        return true;
    plat::Log::line("WaypointGrid: the points of the map grid could not be kept (" + error.message + ")");
    return false;
}

bool WaypointGrid::keepPointsOfImport(Connection& c, StoreError* error) {
    if (!c.inTransaction() || !holdsPointsOnly(c)) return true;
    // The waypoints of an import take rows after every stored one.
    std::int64_t after = 0;
    if (auto last = c.prepare("SELECT coalesce(max(id), 0) FROM main.WaypointMapPoint", error); last && last.step() == 1)
        after = last.columnInt(0);
    else
        return false;
    return placePoints(c, after, error);
}

bool WaypointGrid::endImport(Connection& c, StoreError* error) {
    if (!c.inTransaction() || !holdsPointsOnly(c) || hasTrigger(c, "WaypointMap_waypoint_insert")) return true;
    return c.exec(triggersSql(false), error);
}

bool WaypointGrid::setAsideForBulk(Connection& c, std::int64_t rows) { return setAsideForBulk(c, rows, true); }

bool WaypointGrid::setAsideForBulk(Connection& c, std::int64_t rows, bool withPoints) {
    if (rows < kBulkRows || !c.inTransaction() || !inFile(c)) return false;
    // The coarsest squares are few and count every point on the grid.
    auto count = c.prepare("SELECT total(n) FROM WaypointMapSquare WHERE level = ?1");
    if (!count) return false;
    count.bindInteger(1, kCoarsestTileShift);
    const double onGrid = count.step() == 1 ? count.columnDouble(0) : 0;
    count.reset();
    if (static_cast<double>(rows) * kBulkShare < onGrid) return false;
    StoreError error;
    if (!c.exec(withPoints ? dropSql() : dropTriggersSql() + "DROP TABLE main.WaypointMapSquare;\n", &error)) {
        plat::Log::line("WaypointGrid: the map grid could not be set aside (" + error.message + ")");
        return false;
    }
    plat::Log::line("WaypointGrid: set the map grid aside for a save of " + std::to_string(rows) + " of " +
                    std::to_string(static_cast<long long>(onGrid)) + " points; the next map read makes it anew");
    return true;
}

std::vector<WaypointGrid::CellPin> WaypointGrid::pinsIn(Connection& c, const plat::MapRect& area, const CellGrid& grid,
                                                        const Filter& filter) {
    if (filter.nothing || area.isEmpty() || !(grid.size() > 0)) return {};
    Query query(c, grid, filter);
    const double y0 = std::max(0.0, area.minY()), y1 = std::min<double>(kWorld, area.maxY());
    if (y1 <= y0) return {};
    if (area.size.width >= kWorld) {
        query.area(0, kWorld, y0, y1);
    } else {
        // The area may reach past either end of the world: the part beyond is read on the other side.
        double x0 = std::fmod(area.minX(), static_cast<double>(kWorld));
        if (x0 < 0) x0 += kWorld;
        const double x1 = x0 + area.size.width;
        query.area(x0, std::min<double>(x1, kWorld), y0, y1);
        if (x1 > kWorld) query.area(0, x1 - kWorld, y0, y1);
    }
    return query.pins();
}

}  // namespace qx
