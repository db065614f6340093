// Opening a long track, against budgets measured in the same run:
//  - the track's details screen with its pages filled (summary, graph, map) for a track of
//    10,000 waypoints: at most 50 ms;
//  - drawing the track's dose-rate graph into the recording context: at most 20 ms.
// The ratio counter is the time over its budget; below 1 meets it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <cmath>
#include <filesystem>

#include "BenchSupport.h"
#include "history/HistoryLayer.h"
#include "history/VNTrackDetailsViewController.h"
#include "history/VNTrackGraphView.h"
#include "history/VNTrackGraphViewController.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/DrawingContext.h"
#include "store/Measurement.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Track.h"
#include "store/Waypoint.h"

using namespace qx;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPoints = 10'000;
constexpr double kOpenBudgetMs = 50;
constexpr double kDrawBudgetMs = 20;

double msSince(Clock::time_point t) {
    return std::chrono::duration<double, std::milli>(Clock::now() - t).count();
}

// A store in a fresh data folder holding one track of kPoints readings a second apart.
std::shared_ptr<Track> longTrack() {
    static std::shared_ptr<Track> track;
    if (track) return track;
    plat::DataFolder::setRoot(qxbench::scratchFolder("details-bench"));
    plat::RunLoop::main().bindToCurrentThread();
    registerHistoryLayer();
    const double start = 1.8e9;
    Store::defaultStore().saveWithBlockAndWait([start](Context& context) {
        auto day = context.insertNew<Set>();
        day->setDate(plat::Date(start));
        auto t = context.insertNew<Track>();
        day->addTracksObject(t);
        t->setDateFrom(plat::Date(start));
        t->setDateTo(plat::Date(start + kPoints));
        for (int i = 0; i < kPoints; ++i) {
            auto m = context.insertNew<Measurement>();
            m->setDate(plat::Date(start + i));
            m->setDer(0.1 + 0.5 * std::pow(std::sin(i / 300.0), 2));
            m->setDe(i * 0.001);
            m->setDeviceType(2);
            auto w = context.insertNew<Waypoint>();
            w->setLatitude(48 + i * 1e-5);
            w->setLongitude(11 + i * 1e-5);
            m->setWaypoint(w);
            day->addMeasurementsObject(m);
            t->addWaypointsObject(w);
        }
    });
    plat::RunLoop::main().drain();
    auto tracks = Store::defaultStore().mainContext().fetch<Track>(FetchRequest::of<Track>());
    track = tracks.empty() ? nullptr : tracks.front();
    return track;
}

void BM_OpenTrackDetails(benchmark::State& state) {
    auto track = longTrack();
    double total = 0;
    for (auto _ : state) {
        const auto t = Clock::now();
        auto screen = VNTrackDetailsViewController::make();
        screen->view();
        screen->setTrack(track);
        const double ms = msSince(t);
        total += ms;
        qxbench::Table::shared().ours("track details opened, 10k points", ms);
        qxbench::Table::shared().budget("track details opened, 10k points", kOpenBudgetMs);
        state.SetIterationTime(ms / 1000);
    }
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["ours_ms"] = mean;
    state.counters["budget_ms"] = kOpenBudgetMs;
    state.counters["ratio"] = mean / kOpenBudgetMs;
}
BENCHMARK(BM_OpenTrackDetails)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_DrawTrackGraph(benchmark::State& state) {
    auto track = longTrack();
    auto page = VNTrackGraphViewController::make();
    page->setTrack(track);
    auto graph = page->doseRateGraphView();
    double total = 0;
    for (auto _ : state) {
        plat::DrawingContext context;
        const auto t = Clock::now();
        graph->drawRect(context, graph->bounds());
        const double ms = msSince(t);
        total += ms;
        qxbench::Table::shared().ours("track dose-rate graph drawn, 10k points", ms);
        qxbench::Table::shared().budget("track dose-rate graph drawn, 10k points", kDrawBudgetMs);
        state.SetIterationTime(ms / 1000);
        benchmark::DoNotOptimize(context.commands().size());
    }
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["ours_ms"] = mean;
    state.counters["budget_ms"] = kDrawBudgetMs;
    state.counters["ratio"] = mean / kDrawBudgetMs;
}
BENCHMARK(BM_DrawTrackGraph)->UseManualTime()->Iterations(20)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return qxbench::run(argc, argv, [] { Store::closeDefaultStore(); });
}
