// Decluttering the pins of a map after a region change, against the peer it runs beside: the
// map's own work for the same change (moving and placing every pin view). Goals: decluttering
// grows linearly with the pins (one pass, hashed cells, hashed view look-ups) and costs at most
// twice the map's own work, so it never dominates a pan or a zoom; 20,000 pins, a busy world
// map, declutter in under 20 ms.
#include <benchmark/benchmark.h>

#include <memory>
#include <random>
#include <vector>

#include "maps/VNMapViewController.h"
#include "platform/map/MapView.h"

namespace {

constexpr plat::Coordinate2D kCentre{52.52, 13.405};

std::shared_ptr<plat::MapView> crowdedMap(int pins) {
    auto map = std::make_shared<plat::MapView>(plat::Rect{0, 0, 320, 480});
    map->setRegion({kCentre, {0.02, 0.02}}, false);
    std::mt19937 random(7);
    std::uniform_real_distribution<double> offset(-0.01, 0.01);
    std::vector<plat::AnnotationPtr> annotations;
    for (int i = 0; i < pins; ++i) {
        annotations.push_back(std::make_shared<plat::PointAnnotation>(
            plat::Coordinate2D{kCentre.latitude + offset(random), kCentre.longitude + offset(random)}, "pin"));
    }
    map->addAnnotations(annotations);
    return map;
}

// Nudges the centre back and forth so every iteration is a real region change.
void nudge(plat::MapView& map, bool& east) {
    east = !east;
    map.setCenterCoordinate({kCentre.latitude, kCentre.longitude + (east ? 1e-5 : -1e-5)}, false);
}

void BM_RegionChange(benchmark::State& state) {
    auto map = crowdedMap(static_cast<int>(state.range(0)));
    bool east = false;
    for (auto _ : state) nudge(*map, east);
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

void BM_Declutter(benchmark::State& state) {
    auto map = crowdedMap(static_cast<int>(state.range(0)));
    bool east = false;
    for (auto _ : state) {
        state.PauseTiming();
        nudge(*map, east);
        state.ResumeTiming();
        qx::VNMapViewController::declutterPins(*map);
    }
    state.SetItemsProcessed(state.iterations() * state.range(0));
}

}  // namespace

BENCHMARK(BM_RegionChange)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK(BM_Declutter)->Arg(1000)->Arg(5000)->Arg(20000)->Unit(benchmark::kMicrosecond);
BENCHMARK_MAIN();
