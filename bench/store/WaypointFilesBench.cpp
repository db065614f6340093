// Export then import of many waypoints in both file formats, against an independent converter
// turning the same GPX file into CSV, all measured in one run; the ratios of the medians over
// every repetition are printed last. The file-only runs write and read the records; the store
// runs also take the waypoints out of one store and put them, in their day sets, into another in
// one save, as the export and import services do; the GPX store runs are also timed each way.

#include <benchmark/benchmark.h>

#include <fcntl.h>
#include <spawn.h>
#include <unistd.h>
#include <sys/wait.h>

#include <cstdio>
#include <filesystem>

#include "BenchSupport.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/RunLoop.h"
#include "store/Context.h"
#include "store/ExportManager.h"
#include "store/ImportManager.h"
#include "store/Measurement.h"
#include "store/Store.h"
#include "store/io/WaypointFile.h"
#include "store/io/CsvWaypointReader.h"
#include "store/io/CsvWaypointWriter.h"
#include "store/io/GpxWaypointReader.h"
#include "store/io/GpxWaypointWriter.h"

extern char** environ;

namespace {

constexpr std::size_t kWaypoints = 100000;

std::vector<qx::WaypointRecord> makeRecords() {
    std::vector<qx::WaypointRecord> out(kWaypoints);
    for (std::size_t i = 0; i < kWaypoints; ++i) {
        auto& r = out[i];
        const double k = static_cast<double>(i);
        r.date = plat::Date(1796637600 + k * 7.5);
        r.der = 0.08 + (i % 997) * 0.00131;
        r.variation = 5 + (i % 40);
        r.de = 0.001 * k;
        r.accumulation = "00:01:" + std::to_string(10 + i % 50);
        r.latitude = 48.0 + (i % 10000) * 0.000123;
        r.longitude = 11.0 + (i / 10000) * 0.0457 - (i % 7) * 0.001;
        r.altitude = 500 + (i % 300) * 0.5;
        r.name = i % 10 == 0 ? "Point \"" + std::to_string(i) + "\" <east> & more" : "P" + std::to_string(i);
        r.deviceType = 4;
        r.deviceName = "VN2340A";
        r.deviceSerial = "SN1234";
    }
    return out;
}

const std::vector<qx::WaypointRecord>& records() {
    static const auto all = makeRecords();
    return all;
}

std::filesystem::path workDir() {
    static const auto dir = qxbench::scratchFolder("waypoint-files-bench");
    return dir;
}

template <typename Writer, typename Reader>
void exportThenImport(benchmark::State& state, const char* fileName) {
    const auto path = workDir() / fileName;
    for (auto _ : state) {
        if (!plat::file::writeAtomically(path, Writer::write(records()))) state.SkipWithError("cannot write");
        const auto result = Reader::readFile(path);
        if (result.records.size() != kWaypoints) state.SkipWithError("waypoints lost");
        benchmark::DoNotOptimize(result.records.data());
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kWaypoints));
}

void BM_CsvExportImport(benchmark::State& state) {
    exportThenImport<qx::CsvWaypointWriter, qx::CsvWaypointReader>(state, "bench.csv");
}

void BM_GpxExportImport(benchmark::State& state) {
    exportThenImport<qx::GpxWaypointWriter, qx::GpxWaypointReader>(state, "bench.gpx");
}

// A store holding the benchmark's waypoints, the source of the store runs.
qx::Store& sourceStore() {
    static qx::Store* store = [] {
        auto* s = new qx::Store(workDir() / "source.sqlite");
        const bool saved = s->saveWithBlockAndWait([](qx::Context& c) { qx::ImportManager::storeRecords(records(), c); });
        if (!saved) std::fprintf(stderr, "cannot fill the source store\n");
        return s;
    }();
    return *store;
}

void storeExportThenImport(benchmark::State& state, qx::WaypointFormat format) {
    auto& source = sourceStore();
    qx::Store target(workDir() / "target.sqlite");
    for (auto _ : state) {
        auto all = source.mainContext().fetch<qx::Measurement>(qx::FetchRequest::of<qx::Measurement>());
        const auto out = qx::ExportManager::recordsOf({all.begin(), all.end()});
        const auto file = qx::WaypointFile::writeNew(out, format, workDir(), plat::Date::now());
        qx::ImportResult result;
        const bool saved = target.saveWithBlockAndWait(
            [&](qx::Context& c) { result = qx::ImportManager::storeFile(file.value_or(""), c); });
        if (!saved || result.imported != kWaypoints) state.SkipWithError("waypoints lost");
        state.PauseTiming();
        std::filesystem::remove(file.value_or(""));
        target.wipe();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kWaypoints));
}

void BM_StoreCsvExportImport(benchmark::State& state) { storeExportThenImport(state, qx::WaypointFormat::CSV); }
void BM_StoreGpxExportImport(benchmark::State& state) { storeExportThenImport(state, qx::WaypointFormat::GPX); }

// Export alone: the readings fetched from the store, their records, the file written.
void BM_StoreGpxExport(benchmark::State& state) {
    auto& source = sourceStore();
    for (auto _ : state) {
        auto all = source.mainContext().fetch<qx::Measurement>(qx::FetchRequest::of<qx::Measurement>());
        const auto out = qx::ExportManager::recordsOf({all.begin(), all.end()});
        const auto file = qx::WaypointFile::writeNew(out, qx::WaypointFormat::GPX, workDir(), plat::Date::now());
        if (!file || out.size() != kWaypoints) state.SkipWithError("waypoints lost");
        state.PauseTiming();
        std::filesystem::remove(file.value_or(""));
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kWaypoints));
}

// Import alone: the file read and its waypoints saved, in their day sets, into an empty store, the
// way the import service does it.
void BM_StoreGpxImport(benchmark::State& state) {
    const auto file = workDir() / "import.gpx";
    plat::file::writeAtomically(file, qx::GpxWaypointWriter::write(records()));
    qx::Store target(workDir() / "import.sqlite");
    for (auto _ : state) {
        qx::ImportResult result;
        const bool saved =
            target.saveWithBlockAndWait([&](qx::Context& c) { result = qx::ImportManager::storeFile(file, c); });
        if (!saved || result.imported != kWaypoints) state.SkipWithError("waypoints lost");
        state.PauseTiming();
        target.wipe();
        state.ResumeTiming();
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kWaypoints));
}

int runConverter(const std::filesystem::path& in, const std::filesystem::path& out) {
    const std::string inText = in.string(), outText = out.string();
    const char* argv[] = {"gpsbabel", "-i", "gpx", "-f", inText.c_str(), "-o", "unicsv", "-F", outText.c_str(), nullptr};
    posix_spawn_file_actions_t actions;
    posix_spawn_file_actions_init(&actions);
    posix_spawn_file_actions_addopen(&actions, 1, "/dev/null", O_WRONLY, 0);
    posix_spawn_file_actions_addopen(&actions, 2, "/dev/null", O_WRONLY, 0);
    pid_t pid = 0;
    const int spawned = posix_spawnp(&pid, "gpsbabel", &actions, nullptr, const_cast<char* const*>(argv), environ);
    posix_spawn_file_actions_destroy(&actions);
    if (spawned != 0) return -1;
    int status = 0;
    ::waitpid(pid, &status, 0);
    return WIFEXITED(status) ? WEXITSTATUS(status) : -1;
}

void BM_ConverterGpxToCsv(benchmark::State& state) {
    const auto in = workDir() / "converter-in.gpx";
    const auto out = workDir() / "converter-out.csv";
    plat::file::writeAtomically(in, qx::GpxWaypointWriter::write(records()));
    for (auto _ : state) {
        if (runConverter(in, out) != 0) {
            state.SkipWithError("gpsbabel is missing or failed");
            break;
        }
    }
    state.SetItemsProcessed(static_cast<std::int64_t>(state.iterations() * kWaypoints));
}

BENCHMARK(BM_CsvExportImport)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_GpxExportImport)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_StoreCsvExportImport)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_StoreGpxExportImport)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_StoreGpxExport)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_StoreGpxImport)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);
BENCHMARK(BM_ConverterGpxToCsv)->Unit(benchmark::kMillisecond)->UseRealTime()->MinTime(2);

}  // namespace

int main(int argc, char** argv) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    plat::RunLoop::main().bindToCurrentThread();
    plat::DataFolder::setRoot(workDir() / "data");
    auto& runs = qxbench::RunTimes::shared();
    benchmark::RunSpecifiedBenchmarks(&runs);
    // Each of ours beside the converter's GPX to CSV.
    for (const char* ours : {"BM_CsvExportImport", "BM_GpxExportImport", "BM_StoreCsvExportImport",
                             "BM_StoreGpxExportImport", "BM_StoreGpxExport", "BM_StoreGpxImport"})
        runs.compare(ours, ours, "BM_ConverterGpxToCsv", "gpsbabel GPX -> unicsv");
    qxbench::Table::shared().print();
    benchmark::Shutdown();
    std::filesystem::remove_all(workDir());
    return 0;
}
