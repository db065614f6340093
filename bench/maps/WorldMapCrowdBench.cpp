// The World Map against the History tab on the same store, in one run, on stores of 100,000,
// 1,000,000 and 3,700,000 waypoints of both kinds (WorldMapStores.h: spread evenly over the
// world, and crowded as a person's readings are). For each store, copied afresh from the one an
// earlier version wrote:
//  - the History tab opened, its first screen of rows: the peer of every World Map figure;
//  - the first World Map (the world view), which makes the map grid in the background: the
//    time to its note that the map is being prepared (the goal is half a second) and the time
//    to its pins, against History's, and the memory it took at its peak (the process's peak
//    resident size above its size before; the budget is 200 MB);
//  - the first World Map after an import of a history of 100,000 and 1,000,000 crowded
//    readings into a store whose map was open before: against History opened + 1.5 s;
//  - 40 moves over home, the densest city of the crowded store, at the zoom of a region
//    (300 km across), a city (20 km), streets (2 km) and a block (200 m): the median move
//    against History, the slowest printed beside it (the goal is under 16 ms).
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>
#include <iostream>

#include "BenchSupport.h"
#include "HistoryOpening.h"
#include "WorldMapStores.h"
#include "history/HistoryController.h"
#include "maps/MapsLayer.h"
#include "maps/WorldMapController.h"
#include "model/Settings.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/RunLoop.h"
#include "platform/map/MapView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "store/ImportManager.h"
#include "store/Store.h"
#include "store/io/WaypointFile.h"

using namespace qx;
using Clock = std::chrono::steady_clock;
namespace fs = std::filesystem;
using worldmapstores::Kind;

namespace {

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

std::string measureName(const std::string& what, Kind kind, std::int64_t count) {
    return qxbench::atScale(what + ", " + worldmapstores::name(kind), count);
}

// A fresh copy of the older store, opened as the default store.
void openCopy(Kind kind, std::int64_t count) {
    plat::RunLoop::main().bindToCurrentThread();
    Store::closeDefaultStore();
    static bool registered = false;
    if (!registered) registerMapsLayer();
    registered = true;
    const fs::path from = worldmapstores::storeFolder(kind, count);
    const fs::path dir = qxbench::scratchFolder("worldmap-crowd");
    fs::copy_file(from / Store::kFileName, dir / Store::kFileName, fs::copy_options::overwrite_existing);
    plat::DataFolder::setRoot(dir);
    Store::defaultStore();
}

double reloadMs(WorldMapController& screen) {
    const auto t = Clock::now();
    screen.initData();
    plat::RunLoop::main().drain();
    return msSince(t);
}

// The map rectangle `km` wide and as high around a place.
plat::MapRect around(const plat::Coordinate2D& at, double km) {
    const double dLat = km / 2 / 111.0, dLon = km / 2 / (111.0 * std::cos(at.latitude * M_PI / 180));
    const plat::MapPoint nw = plat::mapPointForCoordinate({at.latitude + dLat, at.longitude - dLon});
    const plat::MapPoint se = plat::mapPointForCoordinate({at.latitude - dLat, at.longitude + dLon});
    return plat::MapRect::make(nw.x, nw.y, se.x - nw.x, se.y - nw.y);
}

void BM_WorldMapAgainstHistory(benchmark::State& state) {
    const Kind kind = static_cast<Kind>(state.range(0));
    const std::int64_t count = state.range(1);
    auto& table = qxbench::Table::shared();
    for (auto _ : state) {
        openCopy(kind, count);
        double historyMB = 0, history = 0;
        {
            const qxbench::PeakMemory peak;
            history = qxbench::openHistoryTab().ms;
            historyMB = peak.grownMB();
        }
        const qxbench::PeakMemory peak;
        auto screen = worldmapstores::worldScreen();
        const auto opened = Clock::now();
        screen->initData();
        const double note = msSince(opened);
        const bool noted = !screen->preparingLabel()->isHidden();
        plat::RunLoop::main().drain();
        const double first = msSince(opened);
        const double firstMB = peak.grownMB();
        table.ours(measureName("first world map, its note shown", kind, count), note);
        table.budget(measureName("first world map, its note shown", kind, count), 500, "goal");
        std::cout << measureName("first world map", kind, count) << ": note " << (noted ? "shown" : "NOT shown")
                  << " in " << note << " ms, pins in " << first << " ms, peak " << firstMB
                  << " MB; History opened in " << history << " ms\n";
        table.ours(measureName("first world map (grid built)", kind, count), first);
        table.peer(measureName("first world map (grid built)", kind, count), history, "history opened");
        table.ours(measureName("first world map peak MB", kind, count), firstMB);
        table.budget(measureName("first world map peak MB", kind, count), 200);
        state.counters["history_ms"] = history;
        state.counters["history_MB"] = historyMB;
        state.counters["note_ms"] = note;
        state.counters["first_map_ms"] = first;
        state.counters["first_map_MB"] = firstMB;

        auto map = screen->mapView();
        for (const auto& [zoom, km] : {std::pair{"region", 300.0}, {"city", 20.0}, {"streets", 2.0}, {"block", 0.2}}) {
            map->setVisibleMapRect(around(worldmapstores::kHome, km), false);
            reloadMs(*screen);
            std::vector<double> moves;
            for (int k = 0; k < 40; ++k) {
                // Around home, a third of the screen out, in a star so that each move crosses it.
                const double angle = k * 2 * M_PI * 7 / 40, reach = km / 3 / 111.0;
                map->setCenterCoordinate({worldmapstores::kHome.latitude + reach * std::sin(angle),
                                          worldmapstores::kHome.longitude + reach * 1.5 * std::cos(angle)},
                                         false);
                moves.push_back(reloadMs(*screen));
            }
            const std::string measure = measureName(std::string("world map move over home, ") + zoom, kind, count);
            for (const double ms : moves) table.ours(measure, ms);
            table.peer(measure, history, "history opened");
            const double worst = *std::max_element(moves.begin(), moves.end());
            state.counters[std::string(zoom) + "_median_ms"] = qxbench::median(moves);
            state.counters[std::string(zoom) + "_worst_ms"] = worst;
            std::cout << measure << ": median " << qxbench::median(moves) << " ms, slowest " << worst
                      << " ms (goal under 16 ms), History opened in " << history << " ms\n";
        }
        state.SetIterationTime(first / 1000);
        Store::closeDefaultStore();
    }
}
BENCHMARK(BM_WorldMapAgainstHistory)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->ArgNames({"crowded", "points"})
    ->ArgsProduct({{0, 1}, {100000, 1000000, 3700000}});

// A history of `count` crowded readings imported into a store whose World Map was open before
// (so that the store keeps the map grid), then the first World Map after it, against History.
void BM_FirstWorldMapAfterImport(benchmark::State& state) {
    const std::int64_t count = state.range(0);
    auto& table = qxbench::Table::shared();
    for (auto _ : state) {
        plat::RunLoop::main().bindToCurrentThread();
        Store::closeDefaultStore();
        const fs::path dir = qxbench::scratchFolder("worldmap-import");
        plat::DataFolder::setRoot(dir);
        Store::defaultStore();
        reloadMs(*worldmapstores::worldScreen());
        std::optional<fs::path> file;
        {
            std::vector<WaypointRecord> records(static_cast<std::size_t>(count));
            const auto place = worldmapstores::crowdedPlaces(count);
            for (std::int64_t i = 0; i < count; ++i) {
                auto& r = records[static_cast<std::size_t>(i)];
                double lat = 0, lon = 0;
                place(i, lat, lon, r.der);
                r.latitude = lat;
                r.longitude = lon;
                r.date = plat::Date(1.6e9 + 10.0 * static_cast<double>(i));
            }
            file = WaypointFile::writeNew(records, WaypointFormat::CSV, dir, plat::Date(1.7e9));
        }
        const auto t = Clock::now();
        Store::defaultStore().saveWithBlockAndWait([&](Context& c) { ImportManager::storeFile(*file, c); });
        plat::RunLoop::main().drain();
        const double import = msSince(t);
        const double history = qxbench::openHistoryTab().ms;
        const qxbench::PeakMemory peak;
        const double first = reloadMs(*worldmapstores::worldScreen());
        const double firstMB = peak.grownMB();
        const std::string measure = qxbench::atScale("first world map after an import, crowded", count);
        table.ours(measure, first);
        table.peer(measure, history + 1500, "history opened + 1.5 s");
        table.ours(measure + " peak MB", firstMB);
        table.budget(measure + " peak MB", 200);
        std::cout << measure << ": " << first << " ms, " << firstMB << " MB; History opened in " << history
                  << " ms; the import took " << import << " ms\n";
        state.counters["import_ms"] = import;
        state.counters["first_map_ms"] = first;
        state.counters["first_map_MB"] = firstMB;
        state.SetIterationTime(first / 1000);
        Store::closeDefaultStore();
    }
}
BENCHMARK(BM_FirstWorldMapAfterImport)
    ->UseManualTime()
    ->Iterations(1)
    ->Unit(benchmark::kMillisecond)
    ->Arg(100000)
    ->Arg(1000000);

}  // namespace

int main(int argc, char** argv) {
    return qxbench::run(argc, argv, [] { Store::closeDefaultStore(); });
}
