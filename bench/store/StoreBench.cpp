// Store benchmarks, each a ratio against a plain-SQLite peer measured in the same run, at
// several sizes so that growth shows (the table at the end holds the medians):
//  - saving waypoints with readings through save-with-block vs bare prepared inserts in one
//    transaction (10k, 100k, 1M);
//  - the history list's fetch with every filter on, over ten years of days (10k, 100k, 200k,
//    1M and 2M points), vs the same query written by hand;
//  - recomputing a live list after a one-point save vs fetching it afresh (10k, 100k, 1M).
#include <benchmark/benchmark.h>
#include <sqlite3.h>

#include <chrono>
#include <map>
#include <filesystem>
#include <random>

#include "BenchSupport.h"
#include "platform/foundation/RunLoop.h"
#include "store/FetchedResultsController.h"
#include "store/Measurement.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Waypoint.h"

using namespace qx;
using Clock = std::chrono::steady_clock;

namespace {

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

std::filesystem::path freshFolder(const std::string& name) {
    static const auto root = qxbench::scratchFolder("store-bench");  // made empty once
    auto dir = root / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    return dir;
}

// One row of the generated data.
struct Point {
    double lat, lon, der, de, date;
    int type;
    std::string serial;
};

std::vector<Point> makePoints(std::size_t n, double firstDay, double days) {
    std::mt19937 rng(42);
    std::uniform_real_distribution<double> unit(0, 1);
    std::vector<Point> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        const double date = firstDay + days * 86400.0 * static_cast<double>(i) / static_cast<double>(n);
        const int day = static_cast<int>((date - firstDay) / 86400);
        out[i] = {48 + unit(rng), 11 + unit(rng), 0.05 + unit(rng) * 0.4, unit(rng) * 100, date, 1 + day % 9,
                  "SN" + std::to_string(day % 10)};
    }
    return out;
}

void exec(sqlite3* db, const char* sql) { sqlite3_exec(db, sql, nullptr, nullptr, nullptr); }

// Writes points as a plain program would: two prepared statements, values bound one by one.
class PointWriter {
public:
    explicit PointWriter(sqlite3* db) {
        sqlite3_prepare_v2(db,
                           "INSERT INTO \"Waypoint\" (id, name, latitude, longitude, altitude, photoUrl, autoSaved,"
                           " inRadius, set_id, set_pos, track_id, track_pos)"
                           " VALUES (?, NULL, ?, ?, 500, NULL, 0, 0, ?, ?, NULL, 0)",
                           -1, &waypoint_, nullptr);
        sqlite3_prepare_v2(db,
                           "INSERT INTO \"Measurement\" (id, date, der, de, variation, accumulation, deviceType,"
                           " deviceName, deviceSerial, alarmEvent, uploaded, set_id, set_pos, waypoint_id)"
                           " VALUES (?, ?, ?, ?, 0, NULL, ?, 'VN2450', ?, 0, 0, ?, ?, ?)",
                           -1, &measurement_, nullptr);
    }
    ~PointWriter() {
        sqlite3_finalize(waypoint_);
        sqlite3_finalize(measurement_);
    }
    void write(const Point& p, std::int64_t row, std::int64_t setRow) {
        sqlite3_bind_int64(waypoint_, 1, row);
        sqlite3_bind_double(waypoint_, 2, p.lat);
        sqlite3_bind_double(waypoint_, 3, p.lon);
        sqlite3_bind_int64(waypoint_, 4, setRow);
        sqlite3_bind_int64(waypoint_, 5, row);
        sqlite3_step(waypoint_);
        sqlite3_reset(waypoint_);
        sqlite3_bind_int64(measurement_, 1, row);
        sqlite3_bind_double(measurement_, 2, p.date);
        sqlite3_bind_double(measurement_, 3, p.der);
        sqlite3_bind_double(measurement_, 4, p.de);
        sqlite3_bind_int(measurement_, 5, p.type);
        sqlite3_bind_text(measurement_, 6, p.serial.c_str(), -1, SQLITE_TRANSIENT);
        sqlite3_bind_int64(measurement_, 7, setRow);
        sqlite3_bind_int64(measurement_, 8, row);
        sqlite3_bind_int64(measurement_, 9, row);
        sqlite3_step(measurement_);
        sqlite3_reset(measurement_);
    }

private:
    sqlite3_stmt* waypoint_ = nullptr;
    sqlite3_stmt* measurement_ = nullptr;
};

void insertSet(sqlite3* db, std::int64_t row, double date, int alarms, bool uploaded) {
    sqlite3_stmt* s = nullptr;
    sqlite3_prepare_v2(db, "INSERT INTO \"Set\" (id, date, name, alarms, uploaded) VALUES (?, ?, NULL, ?, ?)", -1, &s,
                       nullptr);
    sqlite3_bind_int64(s, 1, row);
    sqlite3_bind_double(s, 2, date);
    sqlite3_bind_int(s, 3, alarms);
    sqlite3_bind_int(s, 4, uploaded);
    sqlite3_step(s);
    sqlite3_finalize(s);
}

// The peer of a save: one transaction of prepared inserts.
void rawInsert(sqlite3* db, const std::vector<Point>& points, double day0, std::int64_t setRow) {
    exec(db, "BEGIN IMMEDIATE");
    insertSet(db, setRow, day0, 0, false);
    {
        PointWriter writer(db);
        std::int64_t row = 0;
        for (const auto& p : points) writer.write(p, ++row, setRow);
    }
    exec(db, "COMMIT");
}

void saveInBlock(Store& store, const std::vector<Point>& points, double day0) {
    store.saveWithBlockAndWait([&](Context& c) {
        auto set = c.insertNew<Set>();
        set->setDate(plat::Date(day0));
        for (const auto& p : points) {
            auto m = c.insertNew<Measurement>();
            m->setDate(plat::Date(p.date));
            m->setDer(p.der);
            m->setDe(p.de);
            m->setDeviceType(p.type);
            m->setDeviceName(std::string("VN2450"));
            m->setDeviceSerial(p.serial);
            auto w = c.insertNew<Waypoint>();
            w->setLatitude(p.lat);
            w->setLongitude(p.lon);
            w->setAltitude(500);
            m->setWaypoint(w);
            set->addMeasurementsObject(m);
            set->addWaypointsObject(w);
        }
    });
}

void BM_SaveWithBlockVsPreparedInserts(benchmark::State& state) {
    plat::RunLoop::main().bindToCurrentThread();
    const auto points = makePoints(static_cast<std::size_t>(state.range(0)), 1.7e9, 1);
    const auto measure = qxbench::atScale("save with block", state.range(0));
    double ours = 0, peer = 0;
    for (auto _ : state) {
        {
            auto dir = freshFolder("save-peer");
            { Store schema(dir / Store::kFileName); }  // the same tables and indexes
            sqlite3* db = nullptr;
            sqlite3_open((dir / Store::kFileName).c_str(), &db);
            // The settings of the store's save connection.
            exec(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL; PRAGMA foreign_keys = ON");
            exec(db, Store::kSaveCachePragma);
            const auto t = Clock::now();
            rawInsert(db, points, 1.7e9, 1);
            peer = msSince(t);
            sqlite3_close(db);
        }
        {
            Store store(freshFolder("save-ours") / Store::kFileName);
            const auto t = Clock::now();
            saveInBlock(store, points, 1.7e9);
            ours = msSince(t);
        }
        qxbench::Table::shared().ours(measure, ours);
        qxbench::Table::shared().peer(measure, peer, "prepared inserts, one transaction");
        state.SetIterationTime(ours / 1000);
    }
    state.counters["ours_ms"] = ours;
    state.counters["peer_ms"] = peer;
    state.counters["ratio"] = ours / peer;
}
BENCHMARK(BM_SaveWithBlockVsPreparedInserts)
    ->UseManualTime()
    ->Iterations(3)
    ->Unit(benchmark::kMillisecond)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000);

// Ten years of days and `count` points; every day has some alarms, half of them come from the
// chosen instruments.
std::filesystem::path historyFile(std::size_t count) {
    static std::map<std::size_t, std::filesystem::path> files;
    auto& file = files[count];
    if (!file.empty()) return file;
    auto dir = freshFolder("history-" + std::to_string(count));
    file = dir / Store::kFileName;
    { Store schema(file); }
    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    exec(db, "PRAGMA journal_mode = WAL; PRAGMA synchronous = NORMAL");
    const double day0 = 1.5e9;
    const int days = 3650;
    auto points = makePoints(count, day0, days);
    exec(db, "BEGIN");
    for (int d = 0; d < days; ++d) insertSet(db, d + 1, day0 + 86400.0 * d, 1 + d % 5, d % 7 == 0);
    exec(db, "COMMIT");
    // The points go into their days, one day per transaction, as days of use would.
    std::size_t i = 0;
    std::int64_t row = 0;
    for (int d = 0; d < days; ++d) {
        exec(db, "BEGIN");
        {
            PointWriter writer(db);
            for (; i < points.size() && points[i].date < day0 + 86400.0 * (d + 1); ++i) writer.write(points[i], ++row, d + 1);
        }
        exec(db, "COMMIT");
    }
    exec(db, "PRAGMA wal_checkpoint(TRUNCATE); ANALYZE");
    sqlite3_close(db);
    return file;
}

struct SetRow {
    std::int64_t id;
    double date;
    std::string name;
    std::int64_t alarms;
    bool uploaded;
};

void BM_HistoryListFetchAllFilters(benchmark::State& state) {
    plat::RunLoop::main().bindToCurrentThread();
    const auto file = historyFile(static_cast<std::size_t>(state.range(0)));
    const auto measure = qxbench::atScale("history fetch, all filters, 3650 days", state.range(0));
    Store store(file);
    const double from = 1.5e9 + 86400.0 * 30, to = 1.5e9 + 86400.0 * 3640;
    const std::vector<std::string> serials{"SN1", "SN3", "SN5", "SN7", "SN9"};
    const unsigned deviceType = 2;
    auto request = FetchRequest::of<Set>()
                       .where(Predicate::andPredicates({
                           Key("alarms") > 0.0,
                           Key("uploaded") == false,
                           Key("date") >= plat::Date(from),
                           Key("date") < plat::Date(to),
                           Predicate::subqueryCount("waypoints", Key("measurement.deviceSerial").inRange(serials),
                                                    Comparison::notEqual, 0),
                           Predicate::subqueryCount("waypoints", Key("measurement.deviceType") == deviceType,
                                                    Comparison::notEqual, 0),
                       }))
                       .sortedBy("date", false);

    sqlite3* db = nullptr;
    sqlite3_open(file.c_str(), &db);
    sqlite3_stmt* hand = nullptr;
    sqlite3_prepare_v2(db,
                       "SELECT s.id, s.date, s.name, s.alarms, s.uploaded FROM \"Set\" s"
                       " WHERE s.alarms > 0 AND s.uploaded = 0 AND s.date >= ?1 AND s.date < ?2"
                       " AND EXISTS (SELECT 1 FROM \"Waypoint\" w JOIN \"Measurement\" m ON m.waypoint_id = w.id"
                       "   WHERE w.set_id = s.id AND m.deviceSerial IN (?3, ?4, ?5, ?6, ?7))"
                       " AND EXISTS (SELECT 1 FROM \"Waypoint\" w JOIN \"Measurement\" m ON m.waypoint_id = w.id"
                       "   WHERE w.set_id = s.id AND m.deviceType = ?8)"
                       " ORDER BY s.date DESC",
                       -1, &hand, nullptr);
    double ours = 0, peer = 0;
    std::size_t count = 0, peerCount = 0;
    for (auto _ : state) {
        auto t = Clock::now();
        {
            std::vector<SetRow> rows;
            sqlite3_bind_double(hand, 1, from);
            sqlite3_bind_double(hand, 2, to);
            for (int k = 0; k < 5; ++k) sqlite3_bind_text(hand, 3 + k, serials[k].c_str(), -1, SQLITE_TRANSIENT);
            sqlite3_bind_int(hand, 8, static_cast<int>(deviceType));
            while (sqlite3_step(hand) == SQLITE_ROW) {
                const auto* name = sqlite3_column_text(hand, 2);
                rows.push_back({sqlite3_column_int64(hand, 0), sqlite3_column_double(hand, 1),
                                name ? reinterpret_cast<const char*>(name) : "", sqlite3_column_int64(hand, 3),
                                sqlite3_column_int(hand, 4) != 0});
            }
            sqlite3_reset(hand);
            peerCount = rows.size();
        }
        peer = msSince(t);
        t = Clock::now();
        StoreError error;
        auto sets = store.mainContext().fetch<Set>(request, &error);
        ours = msSince(t);
        count = sets.size();
        if (error || count != peerCount) state.SkipWithError("the fetch and its peer disagree");
        qxbench::Table::shared().ours(measure, ours);
        qxbench::Table::shared().peer(measure, peer, "the query by hand");
        state.SetIterationTime(ours / 1000);
    }
    sqlite3_finalize(hand);
    sqlite3_close(db);
    state.counters["sets"] = static_cast<double>(count);
    state.counters["ours_ms"] = ours;
    state.counters["peer_ms"] = peer;
    state.counters["ratio"] = ours / peer;
}
BENCHMARK(BM_HistoryListFetchAllFilters)
    ->UseManualTime()
    ->Iterations(10)
    ->Unit(benchmark::kMillisecond)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(200000)
    ->Arg(1000000)
    ->Arg(2000000);

// Times the live list's share of a merge: observers registered around it note the clock.
class Stopwatch : public ContextObserver {
public:
    Clock::time_point at;
    void contextDidChange(Context&, const ChangeSet&) override { at = Clock::now(); }
};

void BM_LiveListRecomputeAfterOneSave(benchmark::State& state) {
    plat::RunLoop::main().bindToCurrentThread();
    auto dir = freshFolder("live");
    Store store(dir / Store::kFileName);
    const auto points = makePoints(static_cast<std::size_t>(state.range(0)), 1.7e9, 1);
    const auto measure = qxbench::atScale("live list after one save", state.range(0));
    saveInBlock(store, points, 1.7e9);
    auto request =
        FetchRequest::of<Waypoint>().where(Key("measurement.der") > 0.0).sortedBy("measurement.date", false);
    auto before = std::make_shared<Stopwatch>();
    auto after = std::make_shared<Stopwatch>();
    store.mainContext().addObserver(before);
    auto list = FetchedResultsController::create(request, store.mainContext());
    list->performFetch();
    store.mainContext().addObserver(after);
    auto setRow = store.mainContext().fetchFirst<Set>(FetchRequest::of<Set>())->objectID().row;

    double ours = 0, peer = 0;
    int k = 0;
    for (auto _ : state) {
        store.saveWithBlockAndWait([&](Context& c) {
            auto m = c.insertNew<Measurement>();
            m->setDate(plat::Date(1.7e9 + 1000 + k++));
            m->setDer(0.2);
            auto w = c.insertNew<Waypoint>();
            m->setWaypoint(w);
            auto set = c.objectWithRow<Set>(setRow);
            set->addMeasurementsObject(m);
            set->addWaypointsObject(w);
        });
        ours = std::chrono::duration<double, std::milli>(after->at - before->at).count();
        qxbench::Table::shared().ours(measure, ours);
        state.SetIterationTime(ours / 1000);
    }
    // The peer runs after the saves: tearing down a fresh list of this size leaves the allocator
    // with many small pieces to sort out, a cost that would otherwise land on the next save.
    for (int round = 0; round < 3; ++round) {
        auto fresh = FetchedResultsController::create(request, store.mainContext());
        const auto t = Clock::now();
        fresh->performFetch();
        peer = msSince(t);
        if (fresh->numberOfObjects() != list->numberOfObjects()) state.SkipWithError("the live list went wrong");
        qxbench::Table::shared().peer(measure, peer, "fetching the list afresh");
    }
    state.counters["objects"] = static_cast<double>(list->numberOfObjects());
    state.counters["ours_ms"] = ours;
    state.counters["refetch_ms"] = peer;
    state.counters["ratio"] = ours / peer;
}
BENCHMARK(BM_LiveListRecomputeAfterOneSave)
    ->UseManualTime()
    ->Iterations(20)
    ->Unit(benchmark::kMillisecond)
    ->Arg(10000)
    ->Arg(100000)
    ->Arg(1000000);

}  // namespace

int main(int argc, char** argv) { return qxbench::run(argc, argv); }
