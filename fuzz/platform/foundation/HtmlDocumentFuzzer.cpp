// Reads arbitrary bytes as a web page, into its element tree and into its text. Neither may
// crash, and both must keep what they promise: elements nest no deeper than the limit, void and
// hidden elements hold nothing (outside drawings and formulas, where such names are other
// elements), a text node is never empty nor next to another, and a block of text is never empty
// and has its blanks collapsed.

#include <cstdint>
#include <cstdlib>
#include <set>
#include <string>

#include "platform/foundation/HtmlDocument.h"
#include "platform/foundation/HtmlText.h"

namespace {

void checkNode(const plat::HtmlNode& node, std::size_t depth, bool foreign) {
    static const std::set<std::string> hidden{"head", "title", "script", "style", "template", "iframe", "noembed",
                                              "noframes", "rp", "datalist"};
    static const std::set<std::string> empty{"br", "img", "hr", "input", "col", "area", "wbr", "embed", "source"};
    if (node.isText()) {
        if (node.text.empty() || !node.children.empty() || !node.attributes.empty()) std::abort();
        return;
    }
    if (depth > plat::HtmlDocument::kMaxDepth || (!foreign && hidden.contains(node.tag))) std::abort();
    if (depth == plat::HtmlDocument::kMaxDepth || (!foreign && empty.contains(node.tag))) {
        if (!node.children.empty()) std::abort();
    }
    // A name is in lower case and ends where a blank, '/' or '>' would end it.
    if (node.tag.empty()) std::abort();
    for (char c : node.tag) {
        if ((c >= 'A' && c <= 'Z') || c == ' ' || c == '\t' || c == '\n' || c == '\f' || c == '\r' || c == '/' ||
            c == '>' || c == '\0') {
            std::abort();
        }
    }
}

}  // namespace

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string html(reinterpret_cast<const char*>(data), size);
    const plat::HtmlNode document = plat::HtmlDocument::parse(html);
    std::size_t depth = 0, foreign = 0;
    const plat::HtmlNode* previous = nullptr;
    const auto isForeign = [](const plat::HtmlNode& node) { return node.tag == "svg" || node.tag == "math"; };
    plat::HtmlDocument::walk(
        document,
        [&](const plat::HtmlNode& node) {
            if (previous && previous->isText() && node.isText()) std::abort();
            previous = &node;
            checkNode(node, node.isText() ? depth : ++depth, foreign > 0);
            if (isForeign(node)) ++foreign;
        },
        [&](const plat::HtmlNode& node) {
            previous = &node;
            --depth;
            if (isForeign(node)) --foreign;
        });
    if (depth != 0) std::abort();
    for (const auto& block : plat::HtmlText::blocks(document)) {
        const std::string& t = block.text;
        if (t.empty() || t.front() == ' ' || t.back() == ' ' || t.find("  ") != std::string::npos) std::abort();
        if (t.find_first_of("\n\r\t\f") != std::string::npos) std::abort();
    }
    return 0;
}
