// Long texts on the draw path, against a budget: a day's details screen holding a waypoint
// named with a megabyte of text (as a GPX file can give it) laid out and drawn to pixels, the
// waypoint's own details screen the same way, and a label of a megabyte drawn on one line and
// wrapped on several. Budget: 200 ms each. The ratio counter is the time over its budget;
// below 1 meets it.
#include <benchmark/benchmark.h>

#include <chrono>
#include <functional>
#include <string>

#include "BenchSupport.h"
#include "history/HistoryLayer.h"
#include "history/SetDetailsController.h"
#include "history/VNWaypointDetailsViewController.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/RunLoop.h"
#include "platform/graphics/DrawingContext.h"
#include "platform/ui/Label.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"
#include "store/Measurement.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Waypoint.h"

using namespace qx;
using Clock = std::chrono::steady_clock;

namespace {

constexpr double kBudgetMs = 200;

// A megabyte of words, so that both cutting and wrapping have work to do.
const std::string& longName() {
    static const std::string name = [] {
        std::string text;
        while (text.size() < (std::size_t{1} << 20)) text += "Sievert ";
        return text;
    }();
    return name;
}

// A store in a fresh data folder holding one day with one waypoint of the long name.
std::shared_ptr<Set> longNamedDay() {
    static std::shared_ptr<Set> day;
    if (day) return day;
    plat::DataFolder::setRoot(qxbench::scratchFolder("long-name-bench"));
    plat::RunLoop::main().bindToCurrentThread();
    registerHistoryLayer();
    Store::defaultStore().saveWithBlockAndWait([](Context& context) {
        auto set = context.insertNew<Set>();
        set->setDate(plat::Date(1.8e9));
        auto m = context.insertNew<Measurement>();
        m->setDate(plat::Date(1.8e9 + 3600));
        m->setDer(0.45);
        auto w = context.insertNew<Waypoint>();
        w->setLatitude(50);
        w->setLongitude(8);
        w->setName(longName());
        m->setWaypoint(w);
        set->addMeasurementsObject(m);
        set->addWaypointsObject(w);
    });
    plat::RunLoop::main().drain();
    auto sets = Store::defaultStore().mainContext().fetch<Set>(FetchRequest::of<Set>());
    day = sets.empty() ? nullptr : sets.front();
    return day;
}

// Times `once` over the iterations and reports it against the budget as `measure`.
void timed(benchmark::State& state, const std::string& measure, const std::function<void()>& once) {
    double total = 0;
    for (auto _ : state) {
        const auto t = Clock::now();
        once();
        const double ms = std::chrono::duration<double, std::milli>(Clock::now() - t).count();
        total += ms;
        qxbench::Table::shared().ours(measure, ms);
        qxbench::Table::shared().budget(measure, kBudgetMs);
        state.SetIterationTime(ms / 1000);
    }
    const double mean = total / static_cast<double>(state.iterations());
    state.counters["ours_ms"] = mean;
    state.counters["budget_ms"] = kBudgetMs;
    state.counters["ratio"] = mean / kBudgetMs;
}

// Presents the screen in a window and draws the whole window to pixels.
void showAndDraw(const std::shared_ptr<plat::ViewController>& screen, const std::function<void()>& fill) {
    plat::Window window;
    auto root = std::make_shared<plat::ViewController>();
    window.setRootViewController(root);
    window.makeKeyAndVisible();
    root->presentViewController(screen, false);
    fill();
    benchmark::DoNotOptimize(window.renderImage(1).isEmpty());
    root->dismissViewController(false);
}

void BM_DrawDayDetailsWithLongName(benchmark::State& state) {
    auto day = longNamedDay();
    timed(state, "day details drawn, 1 MB waypoint name", [&] {
        auto screen = SetDetailsController::make();
        showAndDraw(screen, [&] { screen->setSet(day); });
    });
}
BENCHMARK(BM_DrawDayDetailsWithLongName)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

void BM_DrawWaypointDetailsWithLongName(benchmark::State& state) {
    auto day = longNamedDay();
    auto waypoint = day->waypoints().front();
    timed(state, "waypoint details drawn, 1 MB name", [&] {
        auto screen = VNWaypointDetailsViewController::make();
        showAndDraw(screen, [&] { screen->setWaypoint(waypoint); });
    });
}
BENCHMARK(BM_DrawWaypointDetailsWithLongName)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

// A label as a language value of a megabyte would fill it: `lines` 1 cuts, 0 wraps it all.
void BM_DrawLongLabel(benchmark::State& state) {
    plat::Label label(plat::Rect{0, 0, 300, 44}, longName());
    label.setNumberOfLines(static_cast<int>(state.range(0)));
    timed(state, "label of 1 MB drawn, lines " + std::to_string(state.range(0)), [&] {
        plat::DrawingContext context;
        label.drawHierarchy(context);
        benchmark::DoNotOptimize(context.render({300, 44}, 1).isEmpty());
    });
}
BENCHMARK(BM_DrawLongLabel)->Arg(1)->Arg(2)->Arg(0)->UseManualTime()->Iterations(5)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return qxbench::run(argc, argv, [] { Store::closeDefaultStore(); });
}
