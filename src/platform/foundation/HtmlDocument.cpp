#include "platform/foundation/HtmlDocument.h"

#include <algorithm>
#include <array>
#include <cctype>
#include <set>
#include <string_view>

#include "platform/foundation/HtmlTokenizer.h"

namespace plat {

namespace {

using Kind = HtmlToken::Kind;
using Names = std::set<std::string, std::less<>>;

enum class Space { Html, Svg, MathML };

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool isBlank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f'; }
bool isBlankText(std::string_view text) { return std::all_of(text.begin(), text.end(), isBlank); }
std::string lowered(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool isHeading(std::string_view tag) { return tag.size() == 2 && tag[0] == 'h' && tag[1] >= '1' && tag[1] <= '6'; }

// Elements with no content.
const Names kVoid{"area", "base", "basefont", "bgsound", "br", "col", "embed", "frame", "hr", "img", "input",
                  "keygen", "link", "meta", "param", "source", "track", "wbr"};
// Elements of the head, which show nothing wherever they stand.
const Names kHeadOnly{"base", "basefont", "bgsound", "link", "meta"};
// Elements whose content is text up to their end tag, and whether that content is shown.
const std::array<std::pair<std::string_view, bool>, 9> kTextElements{{{"title", false},
                                                                      {"textarea", true},
                                                                      {"style", false},
                                                                      {"script", false},
                                                                      {"xmp", true},
                                                                      {"iframe", false},
                                                                      {"noembed", false},
                                                                      {"noframes", false},
                                                                      {"plaintext", true}}};
// Elements that end an open paragraph where they start.
const Names kClosesParagraph{"address", "article", "aside",  "blockquote", "center", "details", "dialog", "dir",
                             "div",     "dl",      "fieldset", "figcaption", "figure", "footer", "form",   "header",
                             "hgroup",  "hr",      "main",   "menu",       "nav",    "ol",      "p",      "pre",
                             "listing", "search",  "section", "summary",   "table",  "ul",      "xmp",    "plaintext",
                             "h1",      "h2",      "h3",     "h4",         "h5",     "h6",      "li",     "dd",
                             "dt"};
// Elements a stray end tag of another element does not reach past.
const Names kSpecial{"address", "applet",   "area",     "article",  "aside",   "base",    "basefont", "bgsound",
                     "blockquote", "body",  "br",       "button",   "caption", "center",  "col",      "colgroup",
                     "dd",      "details",  "dir",      "div",      "dl",      "dt",      "embed",    "fieldset",
                     "figcaption", "figure", "footer",  "form",     "frame",   "frameset", "h1",      "h2",
                     "h3",      "h4",       "h5",       "h6",       "head",    "header",  "hgroup",   "hr",
                     "html",    "iframe",   "img",      "input",    "keygen",  "li",      "link",     "listing",
                     "main",    "marquee",  "menu",     "meta",     "nav",     "noembed", "noframes", "noscript",
                     "object",  "ol",       "p",        "param",    "plaintext", "pre",   "script",   "search",
                     "section", "select",   "source",   "style",    "summary", "table",   "tbody",    "td",
                     "template", "textarea", "tfoot",   "th",       "thead",   "title",   "tr",       "track",
                     "ul",      "wbr",      "xmp"};
// Elements an element in scope is looked for inside of, not beyond.
const Names kScope{"applet", "caption", "html", "table", "td", "th", "marquee", "object", "template"};
const Names kTableParts{"table", "tbody", "thead", "tfoot", "tr"};
const Names kTableContent{"caption", "col",   "colgroup", "tbody",  "td",    "tfoot",   "th",
                          "thead",   "tr",    "table",    "form",   "input", "script",  "style", "template"};
const Names kTableStarts{"caption", "col", "colgroup", "tbody", "td", "tfoot", "th", "thead", "tr"};
// Elements that end a drawing or formula they stand in.
const Names kLeavesForeign{"b",  "big", "blockquote", "body", "br",   "center",  "code", "dd",     "div",
                           "dl", "dt",  "em",         "embed", "h1",  "h2",      "h3",   "h4",     "h5",
                           "h6", "head", "hr",        "i",    "img",  "li",      "listing", "menu", "meta",
                           "nobr", "ol", "p",         "pre",  "ruby", "s",       "small", "span",  "strong",
                           "strike", "sub", "sup",    "table", "tt",  "u",       "ul",   "var"};
// Elements that end a list item, definition or option where they start, and what they end.
const std::array<std::pair<std::string_view, Names>, 3> kClosesSibling{
    {{"li", {"li"}}, {"dd", {"dd", "dt"}}, {"dt", {"dd", "dt"}}}};
// Elements whose content is not drawn: ruby's fallback parentheses, a list of suggestions.
const Names kHidden{"rp", "datalist", "template"};
// Elements of drawings whose text is not drawn.
const Names kHiddenInSvg{"title", "desc", "script", "style"};
// Elements after which a document is no longer one of frames.
const Names kNotFrames{"pre", "listing", "li", "dd", "dt", "button", "applet", "marquee", "object", "table", "area",
                       "br",  "embed",   "img", "keygen", "wbr", "input", "hr", "textarea", "xmp", "iframe", "select"};

// What an open element is when the elements around it are looked for: a boundary of which
// scopes, and whether it ends only by its own end tag. Worked out once, as the stack is
// searched for every tag.
constexpr unsigned kScopeBoundary = 1, kButtonBoundary = 2, kListBoundary = 4, kTableBoundary = 8, kSpecialElement = 16;
constexpr unsigned kButtonScope = kScopeBoundary | kButtonBoundary;
constexpr unsigned kListScope = kScopeBoundary | kListBoundary;

// The tree while it is built: nodes in one array, linked to parent and siblings by index, so
// that a node can be put before a table already in the tree (foster parenting) without moving
// what the stack of open elements points at.
struct Node {
    std::string tag;  // empty for text
    std::map<std::string, std::string> attributes;
    std::string text;
    Space space = Space::Html;
    unsigned kinds = 0;  // what the element is to the stack of open elements
    bool hidden = false;
    std::size_t depth = 0;
    int parent = -1, first = -1, last = -1, next = -1, previous = -1;
};

class TreeBuilder {
public:
    explicit TreeBuilder(const std::string& html) : tokens_(html) { nodes_.emplace_back().tag = "#document"; }

    HtmlNode build() {
        html_ = element(0, "html", {}, -1);
        open_.push_back(html_);
        for (HtmlToken token = tokens_.next(); token.kind != Kind::End; token = tokens_.next()) {
            take(token);
            tokens_.setForeign(inForeign());
        }
        return converted();
    }

private:
    // --- the tree ---

    const Node& node(int i) const { return nodes_[static_cast<std::size_t>(i)]; }
    Node& node(int i) { return nodes_[static_cast<std::size_t>(i)]; }
    int current() const { return open_.back(); }
    const std::string& currentTag() const { return node(current()).tag; }
    bool isHtml(int i, std::string_view tag) const { return node(i).space == Space::Html && node(i).tag == tag; }

    // Puts `child` into `parent`, before `before` (or last when -1).
    void link(int parent, int child, int before) {
        Node& c = node(child);
        c.parent = parent;
        c.depth = node(parent).depth + 1;
        c.next = before;
        c.previous = before < 0 ? node(parent).last : node(before).previous;
        if (c.previous >= 0) node(c.previous).next = child;
        else node(parent).first = child;
        if (before >= 0) node(before).previous = child;
        else node(parent).last = child;
    }

    int element(int parent, std::string tag, std::map<std::string, std::string> attributes, int before,
                Space space = Space::Html) {
        const int i = static_cast<int>(nodes_.size());
        Node& n = nodes_.emplace_back();
        n.tag = std::move(tag);
        n.attributes = std::move(attributes);
        n.space = space;
        n.kinds = kindsOf(n);
        link(parent, i, before);
        return i;
    }

    // Where what is inserted now goes: into the current node, or, in a table where only table
    // parts may stand, before the table ("<table>text<tr>" shows the text above the table).
    std::pair<int, int> place(bool fostered) const {
        if (!fostered) return {current(), -1};
        for (auto it = open_.rbegin(); it != open_.rend(); ++it) {
            if (isHtml(*it, "table") && node(*it).parent >= 0) return {node(*it).parent, *it};
        }
        return {current(), -1};
    }

    bool inTableParts() const { return node(current()).space == Space::Html && kTableParts.contains(currentTag()); }

    void insertText(std::string_view text, bool fostered = false) {
        if (text.empty()) return;
        const auto [parent, before] = place(fostered);
        const int previous = before < 0 ? node(parent).last : node(before).previous;
        if (previous >= 0 && node(previous).tag.empty()) {
            node(previous).text += text;
            return;
        }
        const int i = element(parent, {}, {}, before);
        node(i).text = text;
    }

    // Inserts an element for the start tag and opens it unless it is void; elements that start
    // as deep as the limit stay empty, and what they would hold follows them. Among a table's
    // rows, an element other than a table part is put before the table.
    int insert(HtmlToken& token, Space space = Space::Html) {
        // Only table parts (and what shows nothing) stand among table parts.
        const bool fostered = inTableParts() && (space != Space::Html || !kTableContent.contains(token.text));
        std::map<std::string, std::string> attributes;
        for (auto& [name, value] : token.attributes) attributes.emplace(std::move(name), std::move(value));
        const auto [parent, before] = place(fostered);
        const int i = element(parent, token.text, std::move(attributes), before, space);
        const bool empty = space == Space::Html ? kVoid.contains(token.text) : token.selfClosing;
        if (space == Space::Html && kHidden.contains(token.text)) node(i).hidden = true;
        if (!empty && node(i).depth < HtmlDocument::kMaxDepth) open_.push_back(i);
        return i;
    }

    // --- the stack of open elements ---

    static unsigned kindsOf(const Node& n) {
        if (n.space != Space::Html) {
            static const Names boundaries{"mi", "mo", "mn", "ms", "mtext", "annotation-xml", "foreignobject", "desc", "title"};
            return boundaries.contains(n.tag) ? kScopeBoundary | kSpecialElement : 0;
        }
        unsigned kinds = kScope.contains(n.tag) ? kScopeBoundary : 0;
        if (n.tag == "button") kinds |= kButtonBoundary;
        if (n.tag == "ol" || n.tag == "ul") kinds |= kListBoundary;
        if (n.tag == "html" || n.tag == "table" || n.tag == "template") kinds |= kTableBoundary;
        if (kSpecial.contains(n.tag)) kinds |= kSpecialElement;
        return kinds;
    }

    // The index in open_ of the nearest open element named `tag` before a boundary of the
    // scope; -1 when there is none.
    int inScope(std::string_view tag, unsigned scope = kScopeBoundary) const {
        for (std::size_t k = open_.size(); k-- > 0;) {
            const Node& n = node(open_[k]);
            if (n.space == Space::Html && n.tag == tag) return static_cast<int>(k);
            if (n.kinds & scope) return -1;
        }
        return -1;
    }
    int inTableScope(std::string_view tag) const { return inScope(tag, kTableBoundary); }

    // Closes the open element at `index` and all opened after it.
    void popTo(int index) {
        if (index > 0) open_.resize(static_cast<std::size_t>(index));
    }
    void closeInScope(std::string_view tag, unsigned scope = kScopeBoundary) { popTo(inScope(tag, scope)); }
    void closeParagraph() { closeInScope("p", kButtonScope); }

    // --- drawings and formulas ---

    bool isIntegrationPoint(int i) const {
        const Node& n = node(i);
        if (n.space == Space::Svg) return n.tag == "foreignobject" || n.tag == "desc" || n.tag == "title";
        if (n.space == Space::MathML) {
            static const Names text{"mi", "mo", "mn", "ms", "mtext"};
            if (text.contains(n.tag)) return true;
            const auto encoding = n.attributes.find("encoding");
            return n.tag == "annotation-xml" && encoding != n.attributes.end() &&
                   (lowered(encoding->second) == "text/html" || lowered(encoding->second) == "application/xhtml+xml");
        }
        return false;
    }
    bool inForeign() const { return node(current()).space != Space::Html && !isIntegrationPoint(current()); }

    bool leavesForeign(const HtmlToken& token) const {
        if (kLeavesForeign.contains(token.text)) return true;
        return token.text == "font" && std::any_of(token.attributes.begin(), token.attributes.end(), [](const auto& a) {
                   return a.first == "color" || a.first == "face" || a.first == "size";
               });
    }

    void takeForeign(HtmlToken& token) {
        if (token.kind == Kind::Text) {
            // Nul characters (made U+FFFD) do not make a document one of content.
            if (token.text.find_first_not_of(std::string(" \n\r\t\f") + std::string(kReplacement)) != std::string::npos) {
                framesOk_ = false;
            }
            return insertText(token.text);
        }
        if (token.kind == Kind::StartTag) {
            if (leavesForeign(token)) {
                while (open_.size() > 1 && node(current()).space != Space::Html && !isIntegrationPoint(current())) {
                    open_.pop_back();
                }
                return takeHtml(token);
            }
            // A drawing in a formula's annotation is a drawing.
            const Space space = token.text == "svg" ? Space::Svg : node(current()).space;
            const int i = insert(token, space);
            if (space == Space::Svg && kHiddenInSvg.contains(node(i).tag)) node(i).hidden = true;
            return;
        }
        for (std::size_t k = open_.size(); k-- > 1 && node(open_[k]).space != Space::Html;) {
            if (node(open_[k]).tag == token.text) return popTo(static_cast<int>(k));
        }
        takeHtml(token);
    }

    // --- tokens ---

    void take(HtmlToken& token) {
        if (frames_) return;  // a document of frames shows none of its text
        if (rawTarget_ != kNone) {
            const int target = rawTarget_;
            rawTarget_ = kNone;
            if (token.kind == Kind::Text) {
                if (target >= 0) insertTextInto(target, token.text);
                return;
            }
        }
        // End tags are matched against a drawing's elements even inside its integration points.
        if (inForeign() || (token.kind == Kind::EndTag && node(current()).space != Space::Html)) {
            return takeForeign(token);
        }
        takeHtml(token);
    }

    void insertTextInto(int target, const std::string& text) {
        const int last = node(target).last;
        if (last >= 0 && node(last).tag.empty()) {
            node(last).text += text;
        } else {
            node(element(target, {}, {}, -1)).text = text;
        }
    }

    void takeHtml(HtmlToken& token) {
        if (node(current()).space == Space::Html && currentTag() == "colgroup" && !inColumnGroup(token)) {
            open_.pop_back();
        }
        if (token.kind == Kind::Text) return text(token.text);
        if (token.kind == Kind::StartTag) return start(token);
        end(token.text);
    }

    // Whether the token belongs in a column group open as current node.
    bool inColumnGroup(const HtmlToken& token) {
        if (token.kind == Kind::Text) return isBlankText(token.text);
        if (token.kind == Kind::StartTag) return token.text == "col";
        return token.text == "colgroup" || token.text == "col";
    }

    // Content outside the head opens the body, unless it stands in a template.
    void ensureBody() {
        if (body_ >= 0 || current() != html_) return;
        body_ = element(html_, "body", {}, -1);
        open_.push_back(body_);
    }

    void text(std::string_view text) {
        if (body_ < 0 && current() == html_) {
            const std::size_t from = std::min(text.find_first_not_of(" \n\r\t\f"), text.size());
            text.remove_prefix(from);
            if (text.empty()) return;
            ensureBody();
        }
        const bool blank = isBlankText(text);
        if (!blank) framesOk_ = false;
        insertText(text, !blank && inTableParts());
    }

    void start(HtmlToken& token) {
        const std::string& name = token.text;
        if (name == "html" || name == "head" || kHeadOnly.contains(name)) return;
        if (auto it = std::find_if(kTextElements.begin(), kTextElements.end(), [&](const auto& e) { return e.first == name; });
            it != kTextElements.end()) {
            return textElement(token, it->second);
        }
        if (name == "template") {
            insert(token);
            return;
        }
        if (name == "noscript" && body_ < 0) return;  // its content is the head's
        if (name == "frameset") return frameset();
        if (name == "body") {
            if (body_ < 0) body_ = insert(token);
            return;
        }
        ensureBody();
        if (kNotFrames.contains(name)) framesOk_ = false;
        if (inTableParts()) return startInTable(token);
        if (kTableStarts.contains(name)) return startOutsideTable(token);
        startInBody(token);
    }

    void textElement(HtmlToken& token, bool shown) {
        const std::string name = token.text;
        if (name == "xmp" || name == "plaintext") closeParagraph();
        if (name == "textarea" || name == "xmp") framesOk_ = false;
        tokens_.setContent(name == "plaintext" ? HtmlTokenizer::Content::PlainText
                           : name == "title" || name == "textarea" ? HtmlTokenizer::Content::Text
                                                                   : HtmlTokenizer::Content::RawText,
                           name);
        if (!shown) {
            rawTarget_ = kDropped;
            return;
        }
        ensureBody();
        const std::size_t before = open_.size();
        const int i = insert(token);
        open_.resize(before);  // its text is all it holds, and comes as one token
        // One as deep as the limit holds nothing: its text follows it in the element around it.
        rawTarget_ = node(i).depth < HtmlDocument::kMaxDepth ? i : node(i).parent;
    }

    void frameset() {
        if (!framesOk_) return;
        frames_ = true;
        if (body_ >= 0) node(body_).hidden = true;
    }

    void startInBody(HtmlToken& token) {
        const std::string name = token.text;
        if (kClosesParagraph.contains(name)) closeParagraph();
        if (isHeading(name) && node(current()).space == Space::Html && isHeading(currentTag())) open_.pop_back();
        for (const auto& [tag, ends] : kClosesSibling) {
            if (tag == name) closeSibling(ends);
        }
        if (name == "a" || name == "button" || name == "nobr") closeInScope(name);
        if (name == "option" && currentTag() == "option") open_.pop_back();
        if (name == "optgroup") {
            if (currentTag() == "option") open_.pop_back();
            if (currentTag() == "optgroup") open_.pop_back();
        }
        if (name == "select") closeInScope("select");
        if (name == "svg" || name == "math") {
            insert(token, name == "svg" ? Space::Svg : Space::MathML);
            return;
        }
        if (name == "image") token.text = "img";
        insert(token);
    }

    // An item starting ends the open item (or definition) of its list.
    void closeSibling(const Names& ends) {
        for (std::size_t k = open_.size(); k-- > 1;) {
            const Node& n = node(open_[k]);
            if (n.space == Space::Html && ends.contains(n.tag)) return popTo(static_cast<int>(k));
            if ((n.kinds & kSpecialElement) && n.tag != "address" && n.tag != "div" && n.tag != "p") {
                return;
            }
        }
    }

    // A table part outside the table parts: it ends the cell or caption it stands in, or the
    // elements put before the table that it belongs to.
    void startOutsideTable(HtmlToken& token) {
        for (const char* part : {"td", "th", "caption"}) {
            if (const int k = inTableScope(part); k > 0) {
                popTo(k);
                return startInTable(token);
            }
        }
        if (inTableScope("table") > 0) {
            while (!inTableParts()) open_.pop_back();
            startInTable(token);
        }
    }

    void clearToTable(const Names& stops) {
        while (open_.size() > 1 && !(node(current()).space == Space::Html && stops.contains(currentTag()))) {
            open_.pop_back();
        }
    }

    void startInTable(HtmlToken& token) {
        static const Names table{"table", "html", "template"};
        static const Names body{"tbody", "thead", "tfoot", "table", "html", "template"};
        const std::string name = token.text;
        if (!inTableParts()) {
            startInBody(token);
        } else if (name == "caption" || name == "colgroup" || name == "tbody" || name == "thead" || name == "tfoot") {
            clearToTable(table);
            insert(token);
        } else if (name == "col") {
            clearToTable(table);
            insertImplied("colgroup");
            insert(token);
        } else if (name == "tr" || name == "td" || name == "th") {
            // Rows stand in a table body, cells in a row: those left out are made.
            if (name == "tr") clearToTable(body);
            if (currentTag() == "table") insertImplied("tbody");
            if (name != "tr" && currentTag() != "tr") insertImplied("tr");
            insert(token);
        } else if (name == "table") {
            if (const int k = inTableScope("table"); k > 0) popTo(k);
            start(token);
        } else if (name == "form" || (name == "input" && isHiddenInput(token))) {
            const std::size_t before = open_.size();
            insert(token);
            open_.resize(before);
        } else {
            startInBody(token);  // the element stands before the table
        }
    }

    void insertImplied(const char* tag) {
        HtmlToken token{Kind::StartTag, tag, {}, false};
        insert(token);
    }

    static bool isHiddenInput(const HtmlToken& token) {
        return std::any_of(token.attributes.begin(), token.attributes.end(),
                           [](const auto& a) { return a.first == "type" && lowered(a.second) == "hidden"; });
    }

    void end(const std::string& name) {
        if (name == "body" || name == "html" || name == "head") return;
        if (name == "br") {
            ensureBody();
            HtmlToken br{Kind::StartTag, "br", {}, false};
            return start(br);
        }
        if (name == "template") {
            if (auto it = std::find_if(open_.rbegin(), open_.rend(), [&](int i) { return isHtml(i, "template"); });
                it != open_.rend()) {
                popTo(static_cast<int>(open_.rend() - it) - 1);
            }
            return;
        }
        if (kTableParts.contains(name) || name == "td" || name == "th" || name == "caption") {
            return popTo(inTableScope(name));
        }
        if (name == "p") return closeParagraph();
        if (name == "li") return closeInScope("li", kListScope);
        if (isHeading(name)) {
            for (const char* h : {"h1", "h2", "h3", "h4", "h5", "h6"}) {
                if (const int k = inScope(h); k > 0) return popTo(k);
            }
            return;
        }
        if (kSpecial.contains(name)) return closeInScope(name);
        // Any other element: the nearest of its name, unless an element that ends only by its
        // own end tag stands between.
        for (std::size_t k = open_.size(); k-- > 1;) {
            const Node& n = node(open_[k]);
            if (n.tag == name) return popTo(static_cast<int>(k));
            if (n.kinds & kSpecialElement) return;
        }
    }

    // --- the result ---

    // The tree as HtmlNodes, without what is never shown; adjacent texts are one.
    HtmlNode converted() const {
        HtmlNode root;
        root.tag = "#document";
        // The nodes being filled, each with the next of its children to take.
        std::vector<std::pair<HtmlNode*, int>> chain{{&root, node(0).first}};
        while (!chain.empty()) {
            auto& [into, next] = chain.back();
            if (next < 0) {
                chain.pop_back();
                continue;
            }
            const Node& n = node(next);
            next = n.next;
            if (n.hidden) continue;
            if (n.tag.empty()) {
                if (!into->children.empty() && into->children.back().isText()) {
                    into->children.back().text += n.text;
                } else if (!n.text.empty()) {
                    into->children.push_back(HtmlNode{{}, {}, n.text, {}});
                }
                continue;
            }
            into->children.push_back(HtmlNode{n.tag, n.attributes, {}, {}});
            HtmlNode* child = &into->children.back();
            chain.emplace_back(child, n.first);
        }
        return root;
    }

    static constexpr int kNone = -1, kDropped = -2;

    HtmlTokenizer tokens_;
    std::vector<Node> nodes_;
    std::vector<int> open_;  // the open elements, the html element first
    int html_ = -1, body_ = -1;
    int rawTarget_ = kNone;  // where the next text goes after an element of text (kDropped: nowhere)
    bool framesOk_ = true, frames_ = false;
};

}  // namespace

std::string HtmlNode::attribute(const std::string& name) const {
    auto it = attributes.find(name);
    return it == attributes.end() ? std::string() : it->second;
}

HtmlNode HtmlDocument::parse(const std::string& html) { return TreeBuilder(html).build(); }

void HtmlDocument::walk(const HtmlNode& root, const std::function<void(const HtmlNode&)>& enter,
                        const std::function<void(const HtmlNode&)>& leave) {
    // The chain of elements being visited, each with the index of its next child.
    std::vector<std::pair<const HtmlNode*, std::size_t>> chain{{&root, 0}};
    while (!chain.empty()) {
        auto& [node, next] = chain.back();
        if (next == node->children.size()) {
            const HtmlNode* done = node;
            chain.pop_back();
            if (!chain.empty()) leave(*done);
            continue;
        }
        const HtmlNode& child = node->children[next++];
        enter(child);
        if (!child.isText()) chain.emplace_back(&child, 0);
    }
}

}  // namespace plat
