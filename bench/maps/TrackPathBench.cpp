// The recording track's path on the Track tab, on a track of 10,000 points:
//  - rebuilding the whole path (a saved track shown on a page), budget 20 ms;
//  - the track page shown a stored track: pins, path, region and badge (reported: it is a part
//    of opening a track's details);
//  - one more automatic point arriving while recording: the store's merge into the screen's
//    context, the screen's live lists and the path and map following it, budget 2 ms. The
//    store's own write is not part of it; the merge is timed by observers registered around the
//    screen's lists. A point above the first threshold also has the alarms badge count the
//    track's alarms again in the store (reported, not budgeted).
#include <benchmark/benchmark.h>

#include <chrono>
#include <filesystem>
#include <unistd.h>

#include "BenchSupport.h"
#include "maps/MapsLayer.h"
#include "maps/TrackPath.h"
#include "maps/VNTrackMapViewController.h"
#include "maps/VNTrackViewController.h"
#include "model/Settings.h"
#include "platform/foundation/Clock.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/RunLoop.h"
#include "store/Measurement.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Track.h"
#include "store/Waypoint.h"

using namespace qx;
using Clock = std::chrono::steady_clock;

namespace {

constexpr int kPoints = 10000;

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

void openFreshStore(const char* name) {
    auto dir = qxbench::scratchFolder("maps-bench") / name;
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    plat::DataFolder::setRoot(dir);
    plat::Clock::setShared(std::make_shared<plat::VirtualClock>(plat::Date(1.7e9)));
    plat::RunLoop::main().bindToCurrentThread();
    Store::closeDefaultStore();
}

// Adds points to the track in one save, one metre apart heading east, one second apart, at
// background dose rates below the first threshold, or all of them above it.
void addPoints(std::int64_t trackRow, int first, int count, bool alarming = false) {
    Store::defaultStore().saveWithBlockAndWait([&](Context& c) {
        auto track = c.objectWithRow<Track>(trackRow);
        auto day = Set::currentSetInContext(c);
        for (int i = first; i < first + count; ++i) {
            auto m = c.insertNew<Measurement>();
            m->setDate(plat::Date(1.7e9 + 10 + i));
            m->setDer(alarming ? 1.5 : 0.1 + (i % 10) * 0.01);
            auto w = c.insertNew<Waypoint>();
            w->setLatitude(47.3769);
            w->setLongitude(8.5417 + i * 0.0000132);
            w->setAutoSaved(true);
            m->setWaypoint(w);
            day->addMeasurementsObject(m);
            track->addWaypointsObject(w);
        }
    });
    plat::RunLoop::main().drain();
}

void BM_RebuildPathOf10000Points(benchmark::State& state) {
    openFreshStore("rebuild");
    auto track = Track::startTrack();
    addPoints(track->objectID().row, 0, kPoints);
    double ms = 0;
    for (auto _ : state) {
        const auto t = Clock::now();
        auto path = TrackPath::make(track);
        ms = msSince(t);
        if (!path->pathForTrack() || path->pathForTrack()->size() != kPoints - 1) state.SkipWithError("wrong path");
        state.SetIterationTime(ms / 1000);
    }
    state.counters["ms"] = ms;
    state.counters["budget_ms"] = 20;
    Track::setCurrentTrack(nullptr);
    Store::closeDefaultStore();
}
BENCHMARK(BM_RebuildPathOf10000Points)->UseManualTime()->Iterations(10)->Unit(benchmark::kMillisecond);

// The track page given a stored track of 10,000 points: pins, path, fitted region and badge.
void BM_TrackPageShowsTrackOf10000(benchmark::State& state) {
    openFreshStore("page");
    registerMapsLayer();
    auto track = Track::startTrack();
    addPoints(track->objectID().row, 0, kPoints);
    Track::setCurrentTrack(nullptr);
    double ms = 0;
    for (auto _ : state) {
        auto page = VNTrackMapViewController::make();
        page->view();
        const auto t = Clock::now();
        page->setTrack(track);
        ms = msSince(t);
        if (page->annotations().size() != kPoints) state.SkipWithError("pins missing");
        state.SetIterationTime(ms / 1000);
    }
    state.counters["ms"] = ms;
    Store::closeDefaultStore();
}
BENCHMARK(BM_TrackPageShowsTrackOf10000)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

class Stopwatch : public ContextObserver {
public:
    Clock::time_point at;
    void contextDidChange(Context&, const ChangeSet&) override { at = Clock::now(); }
};

void BM_OnePointMoreOnARecordingTrackOf10000(benchmark::State& state) {
    const bool alarming = state.range(0) != 0;
    openFreshStore("grow");
    registerMapsLayer();
    auto before = std::make_shared<Stopwatch>();
    Store::defaultStore().mainContext().addObserver(before);
    auto tab = VNTrackViewController::make();
    tab->view();
    tab->startRecord();
    const auto row = Track::getCurrentTrack()->objectID().row;
    addPoints(row, 0, kPoints);
    auto after = std::make_shared<Stopwatch>();
    Store::defaultStore().mainContext().addObserver(after);
    int next = kPoints;
    double ms = 0;
    for (auto _ : state) {
        addPoints(row, next++, 1, alarming);
        ms = std::chrono::duration<double, std::milli>(after->at - before->at).count();
        state.SetIterationTime(ms / 1000);
    }
    const auto& path = TrackPath::getCurrentTrackPath()->pathForTrack();
    if (!path || tab->mapView()->overlays().size() != path->size() || path->size() != static_cast<std::size_t>(next - 1))
        state.SkipWithError("the map lost track of the path");
    state.counters["ms"] = ms;
    if (!alarming) state.counters["budget_ms"] = 2;
    tab.reset();
    Track::setCurrentTrack(nullptr);
    TrackPath::setCurrentTrackPath(nullptr);
    Store::closeDefaultStore();
}
BENCHMARK(BM_OnePointMoreOnARecordingTrackOf10000)
    ->ArgName("alarming")
    ->Arg(0)
    ->Arg(1)
    ->UseManualTime()
    ->Iterations(30)
    ->Unit(benchmark::kMillisecond);

}  // namespace
int main(int argc, char** argv) { return qxbench::run(argc, argv); }
