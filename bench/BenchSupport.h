#pragma once
// What the benchmark programs share: a table of medians where each measure stands beside its
// peer (another program, the same work in plain SQL, or a budget) from the same run, with the
// ratio it should stay under where one is set, and scratch folders under the temporary directory
// that go away when the program ends.
//
// Every repetition (--benchmark_repetitions=N) adds its samples, so the table's medians and
// ratios are over all of them, never over one run's figures or the library's aggregates.
#include <benchmark/benchmark.h>
#include <malloc.h>
#include <unistd.h>

#include <algorithm>
#include <cstdio>
#include <filesystem>
#include <fstream>
#include <map>
#include <string>
#include <vector>

namespace qxbench {

inline double median(std::vector<double> v) {
    if (v.empty()) return 0;
    std::sort(v.begin(), v.end());
    const std::size_t n = v.size();
    return n % 2 ? v[n / 2] : (v[n / 2 - 1] + v[n / 2]) / 2;
}

// "save, 10k": a measure at one scale, so that the table shows how it grows.
inline std::string atScale(const std::string& what, long n) {
    const std::string size = n >= 1000000 && n % 1000000 == 0 ? std::to_string(n / 1000000) + "M"
                             : n >= 1000 && n % 1000 == 0    ? std::to_string(n / 1000) + "k"
                                                             : std::to_string(n);
    return what + ", " + size;
}

class Table {
public:
    static Table& shared() {
        static Table table;
        return table;
    }
    // Samples in milliseconds, or in the row's unit; `peerName` says what the peer is.
    void ours(const std::string& measure, double ms) { row(measure).ours.push_back(ms); }
    void peer(const std::string& measure, double ms, const std::string& peerName) {
        auto& r = row(measure);
        r.peer.push_back(ms);
        r.peerName = peerName;
    }
    // The most the measure may take; `what` says where the figure comes from.
    void budget(const std::string& measure, double ms, const std::string& what = "budget") {
        auto& r = row(measure);
        r.budget = ms;
        r.peerName = what;
    }
    // What the row's figures are in when not milliseconds ("us", "MB").
    void unit(const std::string& measure, const std::string& unit) { row(measure).unit = unit; }
    // The ratio the measure should stay at or under (a peer 1.25 times as fast: 0.8).
    void goal(const std::string& measure, double ratio) { row(measure).goal = ratio; }

    void print() const {
        if (order_.empty()) return;
        std::printf("\nmedians of every sample of every repetition; ratio = ours / peer (or budget), "
                    "to stay at or under the goal\n");
        std::printf("%-56s %5s %11s %11s %-4s %8s %6s  %s\n", "measure", "n", "ours", "peer", "unit", "ratio", "goal",
                    "peer is");
        for (const auto& name : order_) {
            const auto& r = rows_.at(name);
            const double ours = median(r.ours);
            const double peer = r.peer.empty() ? r.budget : median(r.peer);
            const std::string goal = r.goal > 0 ? fixed(r.goal, 2) : "";
            // A measure without a peer is shown for its figure alone, never as a ratio of 0.
            const bool ratio = peer > 0 && !r.ours.empty();
            const std::string peerText = ratio ? fixed(peer, 3) : "-", ratioText = ratio ? fixed(ours / peer, 3) : "-";
            std::printf("%-56s %5zu %11.3f %11s %-4s %8s %6s  %s\n", name.c_str(), r.ours.size(), ours,
                        peerText.c_str(), r.unit.c_str(), ratioText.c_str(), goal.c_str(),
                        ratio ? r.peerName.c_str() : "no peer: the figure alone");
        }
    }

private:
    struct Row {
        std::vector<double> ours, peer;
        double budget = 0, goal = 0;
        std::string peerName, unit = "ms";
    };
    static std::string fixed(double v, int digits) {
        char text[32];
        std::snprintf(text, sizeof text, "%.*f", digits, v);
        return text;
    }
    Row& row(const std::string& measure) {
        auto [it, added] = rows_.try_emplace(measure);
        if (added) order_.push_back(measure);
        return it->second;
    }
    std::map<std::string, Row> rows_;
    std::vector<std::string> order_;
};

// The library's own runs, shown by the display the flags chose (--benchmark_format), with the
// time per iteration of every repetition kept by the run's name as the console shows it, less
// the time kind ("BM_Pack_Ours/0", "BM_Export/format:1"), in milliseconds: real time for runs
// timed on the wall clock or by hand, else CPU time.
class RunTimes : public benchmark::BenchmarkReporter {
public:
    static RunTimes& shared() {
        static RunTimes times;
        return times;
    }
    bool ReportContext(const Context& context) override { return display().ReportContext(context); }
    void ReportRuns(const std::vector<Run>& runs) override {
        for (const auto& run : runs) {
            if (run.run_type != Run::RT_Iteration || run.error_occurred || run.iterations == 0) continue;
            const double t = run.run_name.time_type.empty() ? run.GetAdjustedCPUTime() : run.GetAdjustedRealTime();
            std::string name = run.run_name.function_name;
            if (!run.run_name.args.empty()) name += "/" + run.run_name.args;
            times_[name].push_back(t * 1000 / benchmark::GetTimeUnitMultiplier(run.time_unit));
        }
        display().ReportRuns(runs);
    }
    void Finalize() override { display().Finalize(); }

    // Puts the runs named `ours` and `peer` side by side in the table as `measure`, in `unit`
    // ("ms" or "us"), with the ratio the measure should stay under (0: none); nothing for a run
    // that was not measured (left out by --benchmark_filter).
    void compare(const std::string& measure, const std::string& ours, const std::string& peer,
                 const std::string& peerName, const std::string& unit = "ms", double goal = 0) const {
        const auto o = times_.find(ours), p = times_.find(peer);
        if (o == times_.end() || p == times_.end()) return;
        const double scale = unit == "us" ? 1000 : 1;
        auto& table = Table::shared();
        for (double t : o->second) table.ours(measure, t * scale);
        for (double t : p->second) table.peer(measure, t * scale, peerName);
        if (unit != "ms") table.unit(measure, unit);
        if (goal > 0) table.goal(measure, goal);
    }

private:
    static benchmark::BenchmarkReporter& display() { return *benchmark::CreateDefaultDisplayReporter(); }
    std::map<std::string, std::vector<double>> times_;
};

// --- memory: the kernel keeps the process's peak resident size and lets it be reset ---------

inline double statusMB(const char* key) {
    std::ifstream in("/proc/self/status");
    std::string line;
    const std::string k = std::string(key) + ":";
    while (std::getline(in, line))
        if (line.rfind(k, 0) == 0) return std::stod(line.substr(k.size())) / 1024.0;
    return 0;
}

// Measures the peak above what the process holds when it starts.
class PeakMemory {
public:
    PeakMemory() {
        ::malloc_trim(0);  // what earlier steps freed goes back, so that reuse does not hide a peak
        std::ofstream("/proc/self/clear_refs") << "5";
        before_ = statusMB("VmRSS");
    }
    double grownMB() const { return statusMB("VmHWM") - before_; }

private:
    double before_ = 0;
};

// A folder of this run, /tmp/qx-NAME-PID, made empty; removed by run() at the end.
inline std::vector<std::filesystem::path>& scratchFolders() {
    static std::vector<std::filesystem::path> all;
    return all;
}
inline std::filesystem::path scratchFolder(const std::string& name) {
    auto dir = std::filesystem::temp_directory_path() / ("qx-" + name + "-" + std::to_string(::getpid()));
    std::filesystem::remove_all(dir);
    std::filesystem::create_directories(dir);
    if (std::find(scratchFolders().begin(), scratchFolders().end(), dir) == scratchFolders().end())
        scratchFolders().push_back(dir);
    return dir;
}

// The main of a benchmark program: runs the benchmarks, prints the table, removes the scratch
// folders. `beforeExit` runs first (closing stores that live in those folders).
// `compare` runs after the benchmarks and before the table is printed: it puts the runs' own
// times into the table (RunTimes::compare).
template <class F, class C>
int run(int argc, char** argv, F beforeExit, C compare) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks(&RunTimes::shared());
    compare(RunTimes::shared());
    Table::shared().print();
    beforeExit();
    for (const auto& dir : scratchFolders()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    benchmark::Shutdown();
    return 0;
}
template <class F>
int run(int argc, char** argv, F beforeExit) {
    return run(argc, argv, beforeExit, [](const RunTimes&) {});
}
inline int run(int argc, char** argv) {
    return run(argc, argv, [] {});
}

}  // namespace qxbench
