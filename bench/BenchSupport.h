#pragma once
// What the benchmark programs share: a table of medians where each measure stands beside its
// peer (another program, the same work in plain SQL, or a budget) from the same run, and scratch
// folders under the temporary directory that go away when the program ends.
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
    // Samples in milliseconds; `peerName` says what the peer is.
    void ours(const std::string& measure, double ms) { row(measure).ours.push_back(ms); }
    void peer(const std::string& measure, double ms, const std::string& peerName) {
        auto& r = row(measure);
        r.peer.push_back(ms);
        r.peerName = peerName;
    }
    void budget(const std::string& measure, double ms) {
        auto& r = row(measure);
        r.budget = ms;
        r.peerName = "budget";
    }

    void print() const {
        if (order_.empty()) return;
        std::printf("\nmedians (ms) of every sample of every repetition; ratio = ours / peer\n");
        std::printf("%-52s %5s %11s %11s %8s  %s\n", "measure", "n", "ours", "peer", "ratio", "peer is");
        for (const auto& name : order_) {
            const auto& r = rows_.at(name);
            const double ours = median(r.ours);
            const double peer = r.peer.empty() ? r.budget : median(r.peer);
            std::printf("%-52s %5zu %11.3f %11.3f %8.3f  %s\n", name.c_str(), r.ours.size(), ours, peer,
                        peer > 0 ? ours / peer : 0.0, r.peerName.c_str());
        }
    }

private:
    struct Row {
        std::vector<double> ours, peer;
        double budget = 0;
        std::string peerName;
    };
    Row& row(const std::string& measure) {
        auto [it, added] = rows_.try_emplace(measure);
        if (added) order_.push_back(measure);
        return it->second;
    }
    std::map<std::string, Row> rows_;
    std::vector<std::string> order_;
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
template <class F>
int run(int argc, char** argv, F beforeExit) {
    benchmark::Initialize(&argc, argv);
    if (benchmark::ReportUnrecognizedArguments(argc, argv)) return 1;
    benchmark::RunSpecifiedBenchmarks();
    Table::shared().print();
    beforeExit();
    for (const auto& dir : scratchFolders()) {
        std::error_code ignored;
        std::filesystem::remove_all(dir, ignored);
    }
    benchmark::Shutdown();
    return 0;
}
inline int run(int argc, char** argv) {
    return run(argc, argv, [] {});
}

}  // namespace qxbench
