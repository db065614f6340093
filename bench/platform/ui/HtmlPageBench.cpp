// Hostile pages of about 100 KB read, turned into text and laid out at a phone's width, each
// against an ordinary page of the same size (a report of many table rows) in the same run: a
// hostile page should cost about what its size says, not what its shape makes of it.

#include <benchmark/benchmark.h>

#include <chrono>
#include <string>

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

std::string ordinaryPage() {
    return "<h2>Waypoints:</h2><table border=1 width=\"100%\">" +
           repeated("<tr><td>Bridge</td><td>Dec 7, 2026</td><td>0.12 µSv/h</td></tr>", kPageSize) + "</table>";
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

}  // namespace

int main(int argc, char** argv) { return qxbench::run(argc, argv); }
