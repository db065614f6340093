#pragma once

#include <cstddef>
#include <functional>
#include <map>
#include <string>
#include <vector>

namespace plat {

// One element of an HTML document, or a run of its text.
struct HtmlNode {
    std::string tag;  // lower case; empty for a text node
    std::map<std::string, std::string> attributes;  // names in lower case, references decoded
    std::string text;                               // a text node's characters, references decoded
    std::vector<HtmlNode> children;

    bool isText() const { return tag.empty(); }
    // The attribute's value, or empty when the element has none.
    std::string attribute(const std::string& name) const;
};

// The element tree of a document as a browser builds it from loose markup, read by HtmlTokenizer:
// the html and body elements always hold the page; the head, titles, scripts, styles, templates
// and other content browsers never draw are left out; cells, rows, paragraphs and list items left
// open are closed where the next one starts or their table ends; text and elements written
// among a table's rows stand before the table, as browsers draw them; end tags without an open
// element are ignored; void elements (br, img...) have no content; a document of frames shows
// nothing. Elements of drawings and formulas (svg, math) keep their names in lower case.
//
// Elements nest at most kMaxDepth deep, as in a browser: an element that starts at that depth is
// kept where it starts but holds nothing, and what it would have held (its text, its elements)
// follows it in the element around it. Whatever walks the tree may so recurse once per level.
class HtmlDocument {
public:
    static constexpr std::size_t kMaxDepth = 256;

    // The root (tag "#document") holds the document's elements.
    static HtmlNode parse(const std::string& html);

    // Visits the nodes under `root` (not the root itself) in document order: `enter` sees every
    // node, `leave` every element once what it holds has been visited.
    static void walk(const HtmlNode& root, const std::function<void(const HtmlNode&)>& enter,
                     const std::function<void(const HtmlNode&)>& leave);
};

}  // namespace plat
