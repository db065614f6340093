// The screens and the export that read the whole store, over a store of 1,000,000 waypoints (a
// thousand a day for a thousand days; the first 100,000 form one track), each with its time and
// the memory it took at its peak (the process's peak resident size above its size before):
//  - the world map's search opened (every waypoint, newest first), a prefix typed letter by
//    letter, and a review of a found waypoint;
//  - the track's map page (path and pins) and its waypoint list, opened and scrolled to its end;
//  - every day marked in the History tab and exported to CSV and to GPX, the mail with the file
//    sent.
// What is shown stays a screenful; what each step costs should grow with that, not with the store.
// The export holds a few batches of records and maps the file it mails: its peak stays within
// 64 MB above what the process held once the days were marked, whatever the store's size.
#include <benchmark/benchmark.h>
#include <malloc.h>

#include <chrono>
#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <filesystem>
#include <fstream>
#include <iostream>
#include <random>
#include <string>

#include "BenchSupport.h"
#include "HistoryOpening.h"
#include "StoreWriter.h"
#include "history/HistoryController.h"
#include "history/VNWaypointTableViewController.h"
#include "history/WorldMapReviewController.h"
#include "history/WorldMapSearchController.h"
#include "history/HistoryLayer.h"
#include "history/HistoryScreenHooks.h"
#include "history/HistoryTableCell.h"
#include "history/TrackReadings.h"
#include "maps/MapsLayer.h"
#include "maps/VNTrackMapViewController.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/RunLoop.h"
#include "platform/ui/MailComposer.h"
#include "platform/ui/TableView.h"
#include "platform/ui/Window.h"
#include "store/ExportManager.h"
#include "store/Set.h"
#include "store/Store.h"
#include "store/Track.h"
#include "store/Waypoint.h"

using namespace qx;
using Clock = std::chrono::steady_clock;

namespace {

// QX_BENCH_POINTS sets another size of store (a smaller one to compare with a slow old build);
// the track then has a tenth of them, at most 100,000.
const std::int64_t kPoints = [] {
    const char* n = std::getenv("QX_BENCH_POINTS");
    return n ? std::max<std::int64_t>(std::atoll(n), 10000) : 1000000;
}();
const std::int64_t kTrackPoints = std::min<std::int64_t>(100000, kPoints / 10);

double msSince(Clock::time_point t) { return std::chrono::duration<double, std::milli>(Clock::now() - t).count(); }

using qxbench::PeakMemory;

void report(benchmark::State& state, const std::string& measure, double ms, const PeakMemory& peak) {
    qxbench::Table::shared().ours(measure, ms);
    state.counters["ms"] = ms;
    state.counters["peak_MB"] = peak.grownMB();
    state.SetIterationTime(ms / 1000);
}

// A peak in the table, beside the most it may be.
void reportPeak(const std::string& measure, double mb, double budgetMB, const std::string& budgetIs) {
    auto& table = qxbench::Table::shared();
    table.ours(measure, mb);
    table.unit(measure, "MB");
    table.budget(measure, budgetMB, budgetIs);
}

// --- the store --------------------------------------------------------------------------------

// Bare prepared inserts in one transaction: a day per thousand points, each point named and with
// its reading; the first points walk as one track of the first day, the others lie over Europe.
void fillStore(const std::filesystem::path& file) {
    const double day0 = 1.7e9;
    qxbench::StoreWriter writer(file, day0);
    writer.exec("INSERT INTO \"Track\" (id, name, dateFrom, dateTo, set_id, set_pos) VALUES (1, 'Long walk', 0, 0, 1, 0)");
    std::mt19937 rng(11);
    std::uniform_real_distribution<double> lat(36, 60), lon(-10, 30), der(0.05, 1.5), step(-0.00002, 0.00002);
    double walkLat = 47.3769, walkLon = 8.5417;
    for (std::int64_t i = 0; i < kPoints; ++i) {
        const bool inTrack = i < kTrackPoints;
        walkLat += step(rng);
        walkLon += std::abs(step(rng));
        qxbench::StoreWriter::Point point{.name = "Point " + std::to_string(i + 1), .variation = 12.5};
        // One draw after another, in the order the store has always been made with.
        point.latitude = inTrack ? walkLat : lat(rng);
        point.longitude = inTrack ? walkLon : lon(rng);
        point.date = day0 + (inTrack ? 86400.0 + static_cast<double>(i) : 86.4 * static_cast<double>(i));
        point.der = der(rng);
        if (inTrack) {
            point.track = 1;
            point.trackPos = i;
        }
        writer.add(point);
    }
    const std::string last = std::to_string(kTrackPoints);
    writer.exec(("UPDATE \"Track\" SET dateFrom = (SELECT MIN(date) FROM \"Measurement\" WHERE waypoint_id <= " + last +
                 "), dateTo = (SELECT MAX(date) FROM \"Measurement\" WHERE waypoint_id <= " + last + ")")
                    .c_str());
}

void openStore() {
    static bool open = false;
    if (open) return;
    open = true;
    plat::RunLoop::main().bindToCurrentThread();
    const auto dir = qxbench::scratchFolder("store-scale-bench");
    const auto t = Clock::now();
    fillStore(dir / Store::kFileName);
    std::cout << "filled a store of " << kPoints << " waypoints in " << msSince(t) << " ms\n";
    plat::DataFolder::setRoot(dir);
    Store::defaultStore();
    registerMapsLayer();
    registerHistoryLayer();
}

std::shared_ptr<Track> longTrack() { return Store::defaultStore().mainContext().objectWithRow<Track>(1); }

// Makes a screen the window's root and shows it; the caller gives it its data and lays it out.
template <class Screen>
std::shared_ptr<Screen> putOn(plat::Window& window) {
    auto screen = Screen::make();
    window.setRootViewController(screen);
    window.makeKeyAndVisible();
    return screen;
}

// Puts a new search screen on the window and lays it out, as the World Map's button does.
std::shared_ptr<WorldMapSearchController> showSearch(plat::Window& window) {
    auto search = putOn<WorldMapSearchController>(window);
    window.layoutIfNeeded();
    return search;
}

// --- the world map's search ---------------------------------------------------------------

void BM_SearchOpen(benchmark::State& state) {
    openStore();
    for (auto _ : state) {
        plat::Window window;
        const PeakMemory peak;
        const auto t = Clock::now();
        auto search = showSearch(window);
        const auto rows = search->searchTable()->visibleCells().size();
        report(state, qxbench::atScale("search opened", kPoints), msSince(t), peak);
        if (rows == 0) state.SkipWithError("no rows shown");
    }
}
BENCHMARK(BM_SearchOpen)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SearchTyping(benchmark::State& state) {
    openStore();
    plat::Window window;
    auto search = showSearch(window);
    auto bar = search->searchBar();
    for (auto _ : state) {
        const PeakMemory peak;
        const auto t = Clock::now();
        std::string typed;
        for (char c : std::string("Point 12")) {
            typed += c;
            bar->setText(typed);
            search->searchBarTextDidChange(*bar, typed);
            window.layoutIfNeeded();
        }
        const auto rows = search->searchTable()->visibleCells().size();
        report(state, qxbench::atScale("search, \"Point 12\" typed letter by letter", kPoints), msSince(t), peak);
        if (rows == 0) state.SkipWithError("no rows shown");
    }
}
BENCHMARK(BM_SearchTyping)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_SearchReview(benchmark::State& state) {
    openStore();
    plat::Window window;
    auto search = showSearch(window);
    for (auto _ : state) {
        const PeakMemory peak;
        const auto t = Clock::now();
        search->didSelectRow(*search->searchTable(), {0, 0});
        window.layoutIfNeeded();
        report(state, qxbench::atScale("search, review of the first row", kPoints), msSince(t), peak);
        if (!search->presentedViewController()) state.SkipWithError("no review");
        search->dismissViewController(false);
    }
}
BENCHMARK(BM_SearchReview)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// --- the long track -------------------------------------------------------------------------

void BM_TrackMapPage(benchmark::State& state) {
    openStore();
    for (auto _ : state) {
        auto track = longTrack();
        plat::Window window;
        const PeakMemory peak;
        const auto t = Clock::now();
        auto page = putOn<VNTrackMapViewController>(window);
        page->setTrack(track);
        window.layoutIfNeeded();
        report(state, qxbench::atScale("track map page, track of", kTrackPoints), msSince(t), peak);
        state.counters["pins"] = static_cast<double>(page->mapView()->annotations().size());
        state.counters["overlays"] = static_cast<double>(page->mapView()->overlays().size());
    }
}
BENCHMARK(BM_TrackMapPage)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

void BM_TrackWaypointList(benchmark::State& state) {
    openStore();
    for (auto _ : state) {
        auto track = longTrack();
        plat::Window window;
        const PeakMemory peak;
        const auto t = Clock::now();
        auto list = putOn<VNWaypointTableViewController>(window);
        list->setWaypoints(TrackReadings::waypointsByDate(*track, true));
        window.layoutIfNeeded();
        const double openMs = msSince(t);
        list->tableView()->scrollToRow({0, kTrackPoints - 1}, plat::ScrollPosition::Bottom, false);
        window.layoutIfNeeded();
        report(state, qxbench::atScale("track waypoint list, open and scrolled to its end", kTrackPoints), msSince(t), peak);
        state.counters["open_ms"] = openMs;
        state.counters["rows"] = static_cast<double>(list->tableView()->numberOfRows(0));
    }
}
BENCHMARK(BM_TrackWaypointList)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

// --- export of every day ------------------------------------------------------------------

// Marks every day of the History tab by its check box, as a person would, row after row.
void markEveryDay(HistoryController& history) {
    auto table = history.tableView();
    const long days = table->numberOfRows(0);
    for (long r = 0; r < days; ++r) {
        table->scrollToRow({0, r}, plat::ScrollPosition::Top, false);
        if (auto cell = std::dynamic_pointer_cast<HistoryTableCell>(table->cellForRow({0, r})))
            history.cellDidChecked(*cell, true);
    }
}

// The export's peak may be this much above what the process held once the days were marked.
constexpr double kExportOverMarkingMB = 64;

// Sends the offered mail to someone, as a person would, and removes what it wrote.
bool sendAndRemove(plat::MailComposer& mail) {
    mail.setToRecipients({"archive@example.org"});
    const bool sent = mail.send() && std::filesystem::is_regular_file(mail.writtenFile());
    std::filesystem::remove(mail.writtenFile());
    return sent;
}

void BM_ExportEveryDay(benchmark::State& state) {
    openStore();
    const unsigned format = static_cast<unsigned>(state.range(0));
    // The export channel of the share service, without its sheet and question.
    HistoryScreenHooks::setDayShareHandler(
        [format](const HistoryScreenHooks::Records& days, unsigned, HistoryScreenHooks::Completion completion) {
            ExportManager::sharedInstance().exportWaypointsOfDays(days, format, std::move(completion));
        });
    const std::string measure =
        qxbench::atScale(format == 1 ? "export of every day to CSV" : "export of every day to GPX", kPoints);
    for (auto _ : state) {
        plat::Window window;
        auto history = qxbench::showHistory(window);
        const PeakMemory marking;
        markEveryDay(*history);
        const double markingMB = marking.grownMB();
        const auto marked = history->selectedSets().size();
        const PeakMemory peak;
        const auto t = Clock::now();
        history->share();
        plat::RunLoop::main().drain();
        auto mail = std::dynamic_pointer_cast<plat::MailComposer>(history->presentedViewController());
        const double ms = msSince(t);
        const auto sendStart = Clock::now();
        const bool sent = mail && sendAndRemove(*mail);
        state.counters["send_ms"] = msSince(sendStart);
        report(state, measure, ms, peak);
        reportPeak(measure + ", peak with the mail sent", peak.grownMB(), kExportOverMarkingMB,
                   "64 MB over the days marked");
        state.counters["marking_MB"] = markingMB;
        state.counters["days"] = static_cast<double>(marked);
        if (!sent) state.SkipWithError(mail ? "the mail was not sent" : "no mail offered");
        for (const auto& e : std::filesystem::directory_iterator(plat::DataFolder::documents())) {
            state.counters["file_MB"] = static_cast<double>(std::filesystem::file_size(e.path())) / (1024.0 * 1024.0);
            std::filesystem::remove(e.path());
        }
    }
}
BENCHMARK(BM_ExportEveryDay)->ArgName("format")->Arg(1)->Arg(2)->UseManualTime()->Iterations(1)->Unit(benchmark::kMillisecond);

}  // namespace

int main(int argc, char** argv) {
    return qxbench::run(argc, argv, [] { Store::closeDefaultStore(); });
}
