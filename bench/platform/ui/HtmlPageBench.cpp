// Hostile pages of about 100 KB read, turned into text and laid out at a phone's width, each
// against an ordinary page of the same size (a report of many table rows) in the same run: a
// hostile page should cost about what its size says, not what its shape makes of it.
//
// Then pages made of each input of the public tokenizer tests of HTML parsers (the input repeated
// to 32 KB; tests/platform/ui/html5lib), each against the ordinary page of that size: the table
// shows the inputs that cost the most. And a page of 1.6 MB of '&' without ';' against an ordinary
// page of that size.

#include <benchmark/benchmark.h>

#include <algorithm>
#include <chrono>
#include <fstream>
#include <nlohmann/json.hpp>
#include <string>
#include <vector>

#include "BenchSupport.h"
#include "platform/foundation/HtmlDocument.h"
#include "platform/foundation/HtmlText.h"
#include "platform/ui/HtmlLayout.h"

namespace {

constexpr std::size_t kPageSize = 100000;

std::string repeated(const std::string& piece, std::size_t size) {
    std::string out;
    while (out.size() < size) out += piece;
    return out;
}

std::string ordinaryPage(std::size_t size = kPageSize) {
    return "<h2>Waypoints:</h2><table border=1 width=\"100%\">" +
           repeated("<tr><td>Bridge</td><td>Dec 7, 2026</td><td>0.12 µSv/h</td></tr>", size) + "</table>";
}

std::string pageOf(int kind) {
    switch (kind) {
        case 0: return repeated("<div>", kPageSize / 2) + "deep" + repeated("</div>", kPageSize / 2);
        case 1: return repeated("<table><tr><td>", kPageSize) + "deep";
        case 2: return repeated("<", kPageSize);
        default: return repeated("<script>x</script>", kPageSize) + "<p>end</p>";
    }
}

const char* const kNames[] = {"nested div", "nested tables", "lone <", "scripts"};

double pageMilliseconds(const std::string& html) {
    const auto start = std::chrono::steady_clock::now();
    const plat::HtmlNode document = plat::HtmlDocument::parse(html);
    benchmark::DoNotOptimize(plat::HtmlText::plainText(document));
    const plat::HtmlLayout layout(document, 320);
    benchmark::DoNotOptimize(layout.size());
    return std::chrono::duration<double, std::milli>(std::chrono::steady_clock::now() - start).count();
}

void hostilePage(benchmark::State& state) {
    const int kind = static_cast<int>(state.range(0));
    const std::string hostile = pageOf(kind), ordinary = ordinaryPage();
    const std::string measure = std::string("read, text and layout, ") + kNames[kind];
    for (auto _ : state) {
        qxbench::Table::shared().ours(measure, pageMilliseconds(hostile));
        qxbench::Table::shared().peer(measure, pageMilliseconds(ordinary), "an ordinary page of the same size");
    }
}
BENCHMARK(hostilePage)->DenseRange(0, 3)->Unit(benchmark::kMillisecond)->Iterations(3);

constexpr std::size_t kInputPageSize = 32000;
// How many of the costliest tokenizer inputs the table lists.
constexpr std::size_t kListed = 5;

std::vector<std::string> tokenizerInputs() {
    std::ifstream in(QX_SOURCE_DIR "/tests/platform/ui/html5lib/tokenizer-inputs.json");
    return nlohmann::json::parse(in).get<std::vector<std::string>>();
}

std::string shown(std::string input) {
    for (auto& c : input)
        if (static_cast<unsigned char>(c) < 0x20) c = ' ';
    return input.size() > 24 ? input.substr(0, 24) + "..." : input;
}

void tokenizerInputPages(benchmark::State& state) {
    const std::vector<std::string> inputs = tokenizerInputs();
    const std::string ordinary = ordinaryPage(kInputPageSize);
    for (auto _ : state) {
        const double peer = pageMilliseconds(ordinary);
        std::vector<std::pair<double, std::size_t>> costs;
        for (std::size_t i = 0; i < inputs.size(); ++i) costs.emplace_back(pageMilliseconds(repeated(inputs[i], kInputPageSize)), i);
        std::sort(costs.rbegin(), costs.rend());
        for (std::size_t k = 0; k < std::min(kListed, costs.size()); ++k) {
            const std::string measure = "tokenizer input " + std::to_string(k + 1) + " of " +
                                        std::to_string(inputs.size()) + ": " + shown(inputs[costs[k].second]);
            qxbench::Table::shared().ours(measure, costs[k].first);
            qxbench::Table::shared().peer(measure, peer, "an ordinary page of the same size");
        }
    }
}
BENCHMARK(tokenizerInputPages)->Unit(benchmark::kMillisecond)->Iterations(1);

void ampersands(benchmark::State& state) {
    constexpr std::size_t kSize = 1600000;
    const std::string hostile = repeated("a&b ", kSize), ordinary = ordinaryPage(kSize);
    for (auto _ : state) {
        qxbench::Table::shared().ours("read, text and layout, '&' without ';', 1.6 MB", pageMilliseconds(hostile));
        qxbench::Table::shared().peer("read, text and layout, '&' without ';', 1.6 MB", pageMilliseconds(ordinary),
                                      "an ordinary page of the same size");
    }
}
BENCHMARK(ampersands)->Unit(benchmark::kMillisecond)->Iterations(1);

}  // namespace

int main(int argc, char** argv) { return qxbench::run(argc, argv); }
