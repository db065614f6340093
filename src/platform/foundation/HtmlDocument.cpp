#include "platform/foundation/HtmlDocument.h"

#include <algorithm>
#include <cctype>
#include <set>

#include "platform/foundation/HtmlText.h"

namespace plat {

namespace {

std::string lowered(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

bool isSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f'; }

char lower(char c) { return static_cast<char>(std::tolower(static_cast<unsigned char>(c))); }

bool isHidden(const std::string& tag) {
    static const std::set<std::string> hidden{"head", "title", "script", "style", "template"};
    return hidden.contains(tag);
}

bool isVoid(const std::string& tag) {
    static const std::set<std::string> empty{"br", "meta", "img", "hr", "input", "link", "col", "area", "base", "wbr"};
    return empty.contains(tag);
}

bool isHeading(const std::string& tag) { return tag.size() == 2 && tag[0] == 'h' && tag[1] >= '1' && tag[1] <= '6'; }

// Elements that end an open paragraph where they start.
bool closesParagraph(const std::string& tag) {
    static const std::set<std::string> blocks{"p",  "div", "table", "ul", "ol", "li", "dl", "pre", "hr", "blockquote",
                                              "h1", "h2",  "h3",    "h4", "h5", "h6", "section", "center", "form"};
    return blocks.contains(tag);
}

class TreeBuilder {
public:
    explicit TreeBuilder(const std::string& html) : html_(html) {
        root_.tag = "#document";
        open_.push_back(&root_);
    }

    HtmlNode build() {
        std::size_t pos = 0;
        while (pos < html_.size()) {
            const std::size_t lt = html_.find('<', pos);
            text(html_.substr(pos, lt == std::string::npos ? std::string::npos : lt - pos));
            if (lt == std::string::npos) break;
            pos = markup(lt);
        }
        return std::move(root_);
    }

private:
    void text(const std::string& raw) {
        if (raw.empty()) return;
        auto& siblings = open_.back()->children;
        if (!siblings.empty() && siblings.back().isText()) {
            siblings.back().text += HtmlText::decodeEntities(raw);
            return;
        }
        HtmlNode node;
        node.text = HtmlText::decodeEntities(raw);
        siblings.push_back(std::move(node));
    }

    // The end of the markup of a tag whose name ends at `from` (after its '>'), quoted attribute
    // values skipped whole; the end of the document when it has none.
    std::size_t tagEnd(std::size_t from) const {
        char quote = 0;
        for (std::size_t i = from; i < html_.size(); ++i) {
            const char c = html_[i];
            if (quote) {
                if (c == quote) quote = 0;
            } else if (c == '"' || c == '\'') {
                quote = c;
            } else if (c == '>') {
                return i + 1;
            }
        }
        return html_.size();
    }

    std::size_t markup(std::size_t lt) {
        if (html_.compare(lt, 4, "<!--") == 0) {
            const std::size_t end = html_.find("-->", lt + 4);
            return end == std::string::npos ? html_.size() : end + 3;
        }
        std::size_t i = lt + 1;
        const bool closing = i < html_.size() && html_[i] == '/';
        if (closing) ++i;
        std::size_t nameEnd = i;
        while (nameEnd < html_.size() && std::isalnum(static_cast<unsigned char>(html_[nameEnd]))) ++nameEnd;
        if (nameEnd == i) {
            // <!DOCTYPE>, <?xml?> and </> say nothing shown; a lone '<' is text (and its tag's end
            // is not looked for: a page of them would be scanned to its end once for each).
            if (i < html_.size() && (html_[i] == '!' || html_[i] == '?' || closing)) return tagEnd(nameEnd);
            text("<");
            return lt + 1;
        }
        const std::size_t after = tagEnd(nameEnd);
        const std::string name = lowered(html_.substr(i, nameEnd - i));
        if (closing) {
            close(name);
            return after;
        }
        if (isHidden(name)) return skipElement(name, after);
        const std::size_t attributesEnd = after > nameEnd && html_[after - 1] == '>' ? after - 1 : after;
        open(name, attributes(nameEnd, attributesEnd));
        return after;
    }

    // Past the end tag of a hidden element; the document is searched in place, as a page may hold
    // many scripts.
    std::size_t skipElement(const std::string& name, std::size_t from) const {
        for (std::size_t at = html_.find("</", from); at != std::string::npos; at = html_.find("</", at + 2)) {
            const std::size_t nameAt = at + 2;
            if (html_.size() - nameAt < name.size()) break;
            bool same = true;
            for (std::size_t k = 0; k < name.size() && same; ++k) same = lower(html_[nameAt + k]) == name[k];
            if (same) return tagEnd(nameAt + name.size());
        }
        return html_.size();
    }

    // name="value", name='value', name=value and bare names; a value may follow the previous
    // one without a blank.
    std::map<std::string, std::string> attributes(std::size_t from, std::size_t to) const {
        std::map<std::string, std::string> out;
        std::size_t i = from;
        while (i < to) {
            while (i < to && (isSpace(html_[i]) || html_[i] == '/')) ++i;
            std::size_t nameEnd = i;
            while (nameEnd < to && !isSpace(html_[nameEnd]) && html_[nameEnd] != '=' && html_[nameEnd] != '/') ++nameEnd;
            if (nameEnd == i) break;
            std::string name = lowered(html_.substr(i, nameEnd - i));
            i = nameEnd;
            while (i < to && isSpace(html_[i])) ++i;
            std::string value;
            if (i < to && html_[i] == '=') {
                ++i;
                while (i < to && isSpace(html_[i])) ++i;
                if (i < to && (html_[i] == '"' || html_[i] == '\'')) {
                    const char quote = html_[i];
                    const std::size_t end = std::min(html_.find(quote, i + 1), to);
                    value = html_.substr(i + 1, end - i - 1);
                    i = end + 1;
                } else {
                    const std::size_t start = i;
                    while (i < to && !isSpace(html_[i])) ++i;
                    value = html_.substr(start, i - start);
                }
            }
            out.emplace(std::move(name), HtmlText::decodeEntities(value));
        }
        return out;
    }

    // The nearest open element named `tag` that lies inside the innermost open table (or
    // anywhere when `tag` is a table); 0 when there is none.
    std::size_t openIndex(const std::string& tag, bool stopAtTable) const {
        for (std::size_t i = open_.size(); i-- > 1;) {
            if (open_[i]->tag == tag) return i;
            if (stopAtTable && open_[i]->tag == "table") return 0;
        }
        return 0;
    }

    void popTo(std::size_t index) { open_.resize(index); }

    void open(const std::string& name, std::map<std::string, std::string> attributes) {
        if (name == "td" || name == "th") {
            if (auto i = std::max(openIndex("td", true), openIndex("th", true))) popTo(i);
        } else if (name == "tr") {
            if (auto i = openIndex("tr", true)) popTo(i);
        } else if (name == "li") {
            if (auto i = openIndex("li", true)) popTo(i);
        }
        if (closesParagraph(name)) {
            if (auto i = openIndex("p", true)) popTo(i);
        }
        if (isHeading(name) && isHeading(open_.back()->tag)) popTo(open_.size() - 1);
        if (!isVoid(name) && open_.size() >= HtmlDocument::kMaxDepth) leaveTableParts();
        HtmlNode node;
        node.tag = name;
        node.attributes = std::move(attributes);
        auto& siblings = open_.back()->children;
        siblings.push_back(std::move(node));
        // The new element lies as deep as open_ is long (the root, then the open elements).
        if (!isVoid(name) && open_.size() < HtmlDocument::kMaxDepth) open_.push_back(&siblings.back());
    }

    // At the depth limit nothing more can open inside a table's rows, and what follows would lie
    // loose in a table or row, where no cell shows it: the innermost table ends here instead.
    void leaveTableParts() {
        static const std::set<std::string> parts{"table", "thead", "tbody", "tfoot", "tr"};
        if (!parts.contains(open_.back()->tag)) return;
        if (auto i = openIndex("table", false)) popTo(i);
    }

    void close(const std::string& name) {
        const bool table = name == "table";
        if (auto i = openIndex(name, !table)) popTo(i);
    }

    const std::string& html_;
    HtmlNode root_;
    std::vector<HtmlNode*> open_;  // the chain of open elements, the root first
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
