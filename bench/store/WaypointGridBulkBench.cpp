// Saves of many points into a store whose map grid exists: a CSV import of 100k and 1M
// waypoints, then the deletion of one day of 50k of them, each followed by the map's next read
// of the world view (which makes the grid anew where the save set it aside). Each figure is one
// pass, reported as counters in seconds: import, map read after it, day deleted, map read after.
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>

#include "BenchSupport.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/RunLoop.h"
#include "store/Context.h"
#include "store/ImportManager.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/WaypointGrid.h"
#include "store/io/WaypointFile.h"

namespace {

using Clock = std::chrono::steady_clock;

double secondsSince(Clock::time_point t) { return std::chrono::duration<double>(Clock::now() - t).count(); }

constexpr double kFirstDay = 1796601600;   // a midnight, UTC
constexpr double kSpacing = 86400.0 / 50000;  // 50k points a day

// Points over the world's land-ish latitudes, in time order.
std::vector<qx::WaypointRecord> makeRecords(std::size_t n, double firstDate) {
    std::vector<qx::WaypointRecord> out(n);
    for (std::size_t i = 0; i < n; ++i) {
        auto& r = out[i];
        r.date = plat::Date(firstDate + static_cast<double>(i) * kSpacing);
        r.der = 0.05 + static_cast<double>((i * 7919) % 2003) * 0.001;
        r.de = 0.001 * static_cast<double>(i);
        r.latitude = -60.0 + static_cast<double>((i * 104729) % 130000) * 0.001;
        r.longitude = -180.0 + static_cast<double>((i * 15485863) % 359999) * 0.001;
        r.deviceType = 4;
        r.deviceSerial = "SN1234";
    }
    return out;
}

std::filesystem::path workDir() {
    static const auto dir = qxbench::scratchFolder("waypoint-grid-bulk-bench");
    return dir;
}

double mapRead(qx::Store& store) {
    const auto t = Clock::now();
    qx::WaypointGrid::ensure(store.mainContext().connection());
    const auto grid = qx::WaypointGrid::CellGrid::forScale(plat::kMapWorldWidth / 320);
    const auto pins = qx::WaypointGrid::pinsIn(store.mainContext().connection(), plat::MapRect::world(), grid, {});
    benchmark::DoNotOptimize(pins.data());
    return secondsSince(t);
}

void BM_ImportAndDeleteDayWithGrid(benchmark::State& state) {
    const auto n = static_cast<std::size_t>(state.range(0));
    const auto dir = workDir();
    const auto file = qx::WaypointFile::writeNew(makeRecords(n, kFirstDay), qx::WaypointFormat::CSV, dir,
                                                 plat::Date(kFirstDay));
    for (auto _ : state) {
        std::filesystem::remove(dir / "store.sqlite");
        qx::Store store(dir / "store.sqlite");
        // The person's own history, already on a map: 20k points, grid made.
        store.saveWithBlockAndWait(
            [](qx::Context& c) { qx::ImportManager::storeRecords(makeRecords(20000, kFirstDay - 400 * 86400.0), c); });
        mapRead(store);

        auto t = Clock::now();
        qx::ImportResult result;
        const bool saved =
            store.saveWithBlockAndWait([&](qx::Context& c) { result = qx::ImportManager::storeFile(*file, c); });
        state.counters["import_s"] = secondsSince(t);
        if (!saved || result.imported != n) state.SkipWithError("waypoints lost");
        state.counters["map_after_import_s"] = mapRead(store);

        t = Clock::now();
        store.saveWithBlockAndWait([](qx::Context& c) {
            c.deleteObject(qx::Set::setForDay(plat::Date(kFirstDay + 1.5 * 86400.0), c));
        });
        state.counters["delete_day_s"] = secondsSince(t);
        state.counters["map_after_delete_s"] = mapRead(store);
    }
}

}  // namespace

BENCHMARK(BM_ImportAndDeleteDayWithGrid)->Arg(100000)->Arg(1000000)->Iterations(1)->Unit(benchmark::kSecond)->UseRealTime();

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    plat::RunLoop::main().bindToCurrentThread();
    plat::DataFolder::setRoot(workDir() / "data");
    benchmark::RunSpecifiedBenchmarks();
    benchmark::Shutdown();
    std::filesystem::remove_all(workDir());
    return 0;
}
