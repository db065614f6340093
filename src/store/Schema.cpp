#include "store/Schema.h"

#include <array>
#include <map>
#include <mutex>
#include <vector>

#include "store/Connection.h"
#include "store/DayFigures.h"

namespace qx {

namespace {

// Version 1: the four entities, their ordered relations as owner id and position, and the
// indexes of the screens' queries (a day's records in order, readings by date, points by
// position, the day of a set).
const char* const kVersion1 = R"SQL(
CREATE TABLE "Set" (
  id INTEGER PRIMARY KEY,
  date REAL NOT NULL DEFAULT 0,
  name TEXT,
  alarms INTEGER NOT NULL DEFAULT 0,
  uploaded INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX Set_date ON "Set"(date);

CREATE TABLE "Track" (
  id INTEGER PRIMARY KEY,
  name TEXT,
  dateFrom REAL NOT NULL DEFAULT 0,
  dateTo REAL NOT NULL DEFAULT 0,
  de REAL NOT NULL DEFAULT 0,
  distance REAL NOT NULL DEFAULT 0,
  avgSpeed REAL NOT NULL DEFAULT 0,
  maxSpeed REAL NOT NULL DEFAULT 0,
  minAltitude REAL NOT NULL DEFAULT 0,
  maxAltitude REAL NOT NULL DEFAULT 0,
  alarms INTEGER NOT NULL DEFAULT 0,
  uploaded INTEGER NOT NULL DEFAULT 0,
  set_id INTEGER REFERENCES "Set"(id) ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED,
  set_pos INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX Track_set ON "Track"(set_id, set_pos);
CREATE INDEX Track_dateFrom ON "Track"(dateFrom);

CREATE TABLE "Waypoint" (
  id INTEGER PRIMARY KEY,
  name TEXT,
  latitude REAL NOT NULL DEFAULT -1,
  longitude REAL NOT NULL DEFAULT -1,
  altitude REAL NOT NULL DEFAULT -1,
  photoUrl TEXT,
  autoSaved INTEGER NOT NULL DEFAULT 0,
  inRadius INTEGER NOT NULL DEFAULT 0,
  set_id INTEGER REFERENCES "Set"(id) ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED,
  set_pos INTEGER NOT NULL DEFAULT 0,
  track_id INTEGER REFERENCES "Track"(id) ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED,
  track_pos INTEGER NOT NULL DEFAULT 0
);
CREATE INDEX Waypoint_set ON "Waypoint"(set_id, set_pos);
CREATE INDEX Waypoint_track ON "Waypoint"(track_id, track_pos);
CREATE INDEX Waypoint_position ON "Waypoint"(latitude, longitude);

CREATE TABLE "Measurement" (
  id INTEGER PRIMARY KEY,
  date REAL NOT NULL DEFAULT 0,
  der REAL NOT NULL DEFAULT 0,
  de REAL NOT NULL DEFAULT 0,
  variation REAL NOT NULL DEFAULT 0,
  accumulation TEXT,
  deviceType INTEGER NOT NULL DEFAULT 0,
  deviceName TEXT,
  deviceSerial TEXT,
  alarmEvent INTEGER NOT NULL DEFAULT 0,
  uploaded INTEGER NOT NULL DEFAULT 0,
  set_id INTEGER REFERENCES "Set"(id) ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED,
  set_pos INTEGER NOT NULL DEFAULT 0,
  waypoint_id INTEGER REFERENCES "Waypoint"(id) ON DELETE CASCADE DEFERRABLE INITIALLY DEFERRED
);
CREATE UNIQUE INDEX Measurement_waypoint ON "Measurement"(waypoint_id);
-- A day's readings by instrument and dose rate, read without touching the rows: the history
-- list's instrument filters test a day with one short range of this index.
CREATE INDEX Measurement_set_reading ON "Measurement"(set_id, deviceType, deviceSerial, der, waypoint_id);
CREATE INDEX Measurement_set ON "Measurement"(set_id, set_pos);
CREATE INDEX Measurement_date ON "Measurement"(date);
)SQL";

// Version 2: the world map's distance filter reads and rewrites the marks of the points inside
// its radius on every reload; the marked ones are found without reading every point.
const char* const kVersion2 = R"SQL(
CREATE INDEX Waypoint_inRadius ON "Waypoint"(inRadius);
)SQL";

// Version 3: the index holds only the marked points. Marks change by the hundred as the user
// walks; an index over every point made each changed mark one more scattered page to write.
const char* const kVersion3 = R"SQL(
DROP INDEX Waypoint_inRadius;
CREATE INDEX Waypoint_inRadius ON "Waypoint"(inRadius) WHERE inRadius = 1;
)SQL";

// Version 4: the index of a track's points holds only points in a track. Points saved outside
// one (every imported point, every point taken while not recording) all had the same key in it,
// one more entry to write per point for a lookup that never asks for them.
const char* const kVersion4 = R"SQL(
DROP INDEX Waypoint_track;
CREATE INDEX Waypoint_track ON "Waypoint"(track_id, track_pos) WHERE track_id IS NOT NULL;
)SQL";

// Version 5: the world map's search finds names by their first letters in an index of the
// named points; unnamed points (most of them) take no room in it.
const char* const kVersion5 = R"SQL(
CREATE INDEX IF NOT EXISTS Waypoint_name ON "Waypoint"(name) WHERE name IS NOT NULL;
)SQL";

// Version 6: the history list's figures of each day, kept as readings are stored (DayFigures).

// Upgrade steps: entry i brings version i to version i + 1.
const std::vector<std::string>& upgrades() {
    static const std::vector<std::string> steps{kVersion1, kVersion2, kVersion3, kVersion4, kVersion5,
                                                DayFigures::schemaSql()};
    return steps;
}

struct EntitySql {
    std::string columns;
    std::map<std::string, std::string> aliased;
    int count = 0;
    std::string values;  // one row's placeholders
    std::string insert, remove;
};

const EntitySql& sqlFor(EntityKind entity) {
    static std::array<EntitySql, kEntityCount> cache;
    static std::once_flag once;
    std::call_once(once, [] {
        for (int e = 0; e < kEntityCount; ++e) {
            const auto& d = EntityDescription::of(static_cast<EntityKind>(e));
            std::vector<std::string> cols{"id"};
            for (const auto& a : d.attributes) cols.emplace_back(a.name);
            for (const auto& l : d.links) {
                cols.emplace_back(l.column);
                if (l.positionColumn) cols.emplace_back(l.positionColumn);
            }
            auto& s = cache[e];
            s.count = static_cast<int>(cols.size());
            std::string placeholders;
            for (std::size_t i = 0; i < cols.size(); ++i) {
                s.columns += (i ? ", " : "") + cols[i];
                placeholders += i ? ", ?" : "?";
            }
            const std::string table = Schema::quoted(d.table);
            s.values = "(" + placeholders + ")";
            // A row that breaks a constraint ends the whole transaction at once, as any failure
            // inside a save does (the save is then written not at all). So SQLite keeps no
            // journal of each statement's own changes to undo it alone, which for an insert of
            // many rows it would otherwise write for every page the statement touches.
            s.insert = "INSERT OR ROLLBACK INTO " + table + " (" + s.columns + ") VALUES " + s.values;
            s.remove = "DELETE FROM " + table + " WHERE id = ?";
        }
    });
    return cache[static_cast<int>(entity)];
}

}  // namespace

bool Schema::configure(Connection& c, StoreError* error) {
    // Pages are read through a mapping of the file: a fetch after another connection's save,
    // which empties a connection's page cache, does not copy every page it reads again.
    // A log that grew for a large save is cut back to 4 MB (a thousand pages, the length at
    // which it is copied back) when it starts over, instead of keeping the room of its longest run.
    return c.exec("PRAGMA journal_mode = WAL", error) && c.exec("PRAGMA foreign_keys = ON", error) &&
           c.exec("PRAGMA synchronous = NORMAL", error) && c.exec("PRAGMA mmap_size = 1073741824", error) &&
           c.exec("PRAGMA journal_size_limit = 4194304", error);
}

bool Schema::prepare(Connection& c, int targetVersion, StoreError* error) {
    if (!configure(c, error)) return false;
    if (!c.begin(error)) return false;
    int version = 0;
    {
        auto s = c.prepare("PRAGMA user_version", error);
        if (!s || s.step() != 1) {
            c.rollback();
            return false;
        }
        version = static_cast<int>(s.columnInt(0));
    }
    if (version > targetVersion) {
        c.rollback();
        reportError(error, StoreError::make(StoreError::Code::cannotOpen,
                                            "the database was written by a newer version (" + std::to_string(version) +
                                                ")"));
        return false;
    }
    for (int v = version; v < targetVersion && v < static_cast<int>(upgrades().size()); ++v) {
        if (!c.exec(upgrades()[v], error)) {
            c.rollback();
            return false;
        }
    }
    if (version != targetVersion && !c.exec("PRAGMA user_version = " + std::to_string(targetVersion), error)) {
        c.rollback();
        return false;
    }
    return c.commit(error);
}

const std::string& Schema::columnList(EntityKind entity, const std::string& alias) {
    const auto& s = sqlFor(entity);
    if (alias.empty()) return s.columns;
    // Built once per alias; only a handful of aliases exist.
    static std::mutex mutex;
    std::lock_guard lock(mutex);
    auto& cached = const_cast<EntitySql&>(s).aliased[alias];
    if (cached.empty()) {
        std::string out;
        std::size_t start = 0;
        while (start <= s.columns.size()) {
            auto end = s.columns.find(", ", start);
            if (end == std::string::npos) end = s.columns.size();
            out += (out.empty() ? "" : ", ") + alias + "." + s.columns.substr(start, end - start);
            start = end + 2;
        }
        cached = out;
    }
    return cached;
}

int Schema::columnCount(EntityKind entity) { return sqlFor(entity).count; }
const std::string& Schema::insertSql(EntityKind entity, int rows) {
    const auto& s = sqlFor(entity);
    if (rows <= 1) return s.insert;
    // Built once per entity and number of rows; saves use one such number.
    static std::mutex mutex;
    static std::map<std::pair<int, int>, std::string> cache;
    std::lock_guard lock(mutex);
    auto [it, added] = cache.try_emplace({static_cast<int>(entity), rows});
    if (added) {
        it->second = s.insert;
        for (int r = 1; r < rows; ++r) it->second += ", " + s.values;
    }
    return it->second;
}
const std::string& Schema::updateSql(EntityKind entity, std::uint32_t keys) {
    // Built once per entity and set of keys; saves change a handful of such sets.
    static std::mutex mutex;
    static std::map<std::pair<int, std::uint32_t>, std::string> cache;
    std::lock_guard lock(mutex);
    auto [it, added] = cache.try_emplace({static_cast<int>(entity), keys});
    if (!added) return it->second;
    const auto& d = EntityDescription::of(entity);
    std::string assignments;
    int at = 2;  // the row's first column after the id
    auto assign = [&](const char* column, bool changed) {
        if (changed) assignments += (assignments.empty() ? "" : ", ") + std::string(column) + " = ?" + std::to_string(at);
        ++at;
    };
    for (int a = 0; a < static_cast<int>(d.attributes.size()); ++a) assign(d.attributes[a].name, keys & (1u << a));
    for (int l = 0; l < static_cast<int>(d.links.size()); ++l) {
        const bool changed = keys & (1u << d.linkKey(l));
        assign(d.links[l].column, changed);
        if (d.links[l].positionColumn) assign(d.links[l].positionColumn, changed);
    }
    if (!assignments.empty()) it->second = "UPDATE " + quoted(d.table) + " SET " + assignments + " WHERE id = ?1";
    return it->second;
}
const std::string& Schema::deleteSql(EntityKind entity) { return sqlFor(entity).remove; }

}  // namespace qx
