#include <gtest/gtest.h>

#include <fstream>
#include <nlohmann/json.hpp>

#include "platform/foundation/HtmlDocument.h"
#include "platform/ui/HtmlLayout.h"

namespace {

using namespace plat;

// The text with its blanks and list bullets taken out: what is compared is which characters
// are drawn, and in which order, not how they are set apart.
std::string inkOf(const std::string& text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        const unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == ' ' || c == '\n' || c == '\t' || c == '\r' || c == '\f') continue;
        if (text.compare(i, 3, "\u2022") == 0) {
            i += 2;
            continue;
        }
        if (text.compare(i, 2, "\u00A0") == 0) {
            ++i;
            continue;
        }
        out += text[i];
    }
    return out;
}

// The text with nul characters spelt out, so that a failure prints whole.
std::string printable(std::string text) {
    for (std::size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', at)) text.replace(at, 1, "\\0");
    return text;
}

std::string drawnText(const std::string& html) {
    const HtmlLayout page(HtmlDocument::parse(html), 320);
    std::string out;
    for (const auto& t : page.texts()) out += t.text;
    return out;
}

TEST(HtmlConformance, PublicTreeConstructionDocumentsShowTheirWholeTextInOrder) {
    // Whole documents of the public conformance suite of HTML parsers, each with the text of the
    // tree it must give, in document order, as a browser shows it (README.md beside the data).
    std::ifstream in(QX_SOURCE_DIR "/tests/platform/ui/html5lib/documents.jsonl");
    ASSERT_TRUE(in) << "no test documents";
    std::size_t total = 0, shown = 0;
    std::string failures;
    for (std::string line; std::getline(in, line);) {
        const auto test = nlohmann::json::parse(line);
        const std::string html = test["data"], expected = test["text"];
        ++total;
        const std::string drawn = drawnText(html);
        if (inkOf(drawn) == inkOf(expected)) {
            ++shown;
        } else if (failures.size() < 20000) {
            failures += test["file"].get<std::string>() + " #" + std::to_string(test["test"].get<int>()) + ": " + printable(html) +
                        "\n  expected: " + printable(inkOf(expected)) + "\n  drawn:    " + printable(inkOf(drawn)) + "\n";
        }
    }
    ASSERT_GT(total, 1500u);
    std::printf("%zu of %zu documents show their whole text in order\n", shown, total);
    EXPECT_GE(shown * 100, total * 98) << failures;
    if (std::getenv("QX_HTML_FAILURES")) std::printf("%s", failures.c_str());
}

}  // namespace
