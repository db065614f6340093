#include "platform/foundation/HtmlText.h"

#include <cstdlib>
#include <map>
#include <set>

#include "platform/foundation/HtmlDocument.h"

namespace plat {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f'; }

// The named references pages and reports of this program use, and the common typographic ones.
const std::map<std::string, unsigned long>& namedReferences() {
    static const std::map<std::string, unsigned long> names{
        {"amp", '&'},     {"lt", '<'},       {"gt", '>'},       {"quot", '"'},     {"apos", '\''},
        {"nbsp", 0xA0},   {"copy", 0xA9},    {"reg", 0xAE},     {"trade", 0x2122}, {"deg", 0xB0},
        {"micro", 0xB5},  {"middot", 0xB7},  {"laquo", 0xAB},   {"raquo", 0xBB},   {"ndash", 0x2013},
        {"mdash", 0x2014}, {"hellip", 0x2026}, {"lsquo", 0x2018}, {"rsquo", 0x2019}, {"ldquo", 0x201C},
        {"rdquo", 0x201D}, {"bull", 0x2022},  {"euro", 0x20AC},  {"times", 0xD7},   {"plusmn", 0xB1},
        {"sup2", 0xB2},   {"sup3", 0xB3},    {"para", 0xB6},    {"sect", 0xA7}};
    return names;
}

// Elements that begin and end a block of their own.
bool breaksLine(const std::string& tag) {
    static const std::set<std::string> blocks{
        "p",      "div",     "br",     "ul",      "ol",     "table",  "tbody",   "thead",      "tfoot",
        "body",   "html",    "hr",     "section", "article", "header", "footer", "form",       "center",
        "dl",     "dt",      "dd",     "pre",     "caption", "nav",    "main",    "aside",      "address",
        "blockquote", "fieldset", "figure", "figcaption"};
    return blocks.contains(tag);
}

// Reads the document's elements and texts in order into blocks.
class BlockReader {
public:
    std::vector<HtmlText::Block> read(const HtmlNode& document) {
        HtmlDocument::walk(
            document,
            [this](const HtmlNode& node) {
                if (node.isText()) {
                    text(node.text);
                } else {
                    element(node.tag, false);
                }
            },
            [this](const HtmlNode& node) { element(node.tag, true); });
        flush();
        return std::move(out_);
    }

private:
    void text(const std::string& decoded) {
        for (char c : decoded) {
            if (isBlank(c)) {
                blank_ = true;
                continue;
            }
            if (!current_.text.empty()) {
                if (newCell_) {
                    current_.text += HtmlText::kCellSeparator;
                } else if (blank_) {
                    current_.text += ' ';
                }
            }
            newCell_ = blank_ = false;
            current_.text += c;
        }
    }

    void flush() {
        if (!current_.text.empty()) out_.push_back(current_);
        current_ = HtmlText::Block{};
        blank_ = newCell_ = false;
    }

    void element(const std::string& name, bool closing) {
        if (name.size() == 2 && name[0] == 'h' && name[1] >= '1' && name[1] <= '6') {
            flush();
            if (!closing) {
                current_.kind = HtmlText::Block::Kind::Heading;
                current_.level = name[1] - '0';
            }
        } else if (name == "tr" || name == "li") {
            flush();
            if (!closing) current_.kind = name == "tr" ? HtmlText::Block::Kind::Row : HtmlText::Block::Kind::Item;
        } else if (name == "td" || name == "th") {
            if (closing) return;
            newCell_ = true;
            if (name == "th") current_.header = true;
        } else if (breaksLine(name)) {
            flush();
        }
    }

    std::vector<HtmlText::Block> out_;
    HtmlText::Block current_;
    bool blank_ = false, newCell_ = false;
};

}  // namespace

void appendUtf8(std::string& out, unsigned long cp) {
    if (cp < 0x80) {
        out += static_cast<char>(cp);
    } else if (cp < 0x800) {
        out += static_cast<char>(0xC0 | (cp >> 6));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else if (cp < 0x10000) {
        out += static_cast<char>(0xE0 | (cp >> 12));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    } else {
        out += static_cast<char>(0xF0 | (cp >> 18));
        out += static_cast<char>(0x80 | ((cp >> 12) & 0x3F));
        out += static_cast<char>(0x80 | ((cp >> 6) & 0x3F));
        out += static_cast<char>(0x80 | (cp & 0x3F));
    }
}

std::vector<HtmlText::Block> HtmlText::blocks(const std::string& html) { return blocks(HtmlDocument::parse(html)); }

std::vector<HtmlText::Block> HtmlText::blocks(const HtmlNode& document) { return BlockReader().read(document); }

std::string HtmlText::lines(const std::string& html) {
    std::string out;
    for (const auto& b : blocks(html)) {
        if (!out.empty()) out += '\n';
        if (b.kind == Block::Kind::Item) out += "\u2022 ";
        out += b.text;
    }
    return out;
}

std::string HtmlText::plainText(const std::string& html) { return plainText(HtmlDocument::parse(html)); }

std::string HtmlText::plainText(const HtmlNode& document) {
    std::string out;
    for (const auto& b : blocks(document)) {
        if (!out.empty()) out += ' ';
        out += b.text;
    }
    return out;
}

std::string HtmlText::decodeEntities(const std::string& text) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t amp = text.find('&', pos);
        out.append(text, pos, amp == std::string::npos ? std::string::npos : amp - pos);
        if (amp == std::string::npos) break;
        const std::size_t semi = text.find(';', amp);
        pos = amp + 1;
        if (semi == std::string::npos || semi - amp > 10) {
            out += '&';
            continue;
        }
        const std::string name = text.substr(amp + 1, semi - amp - 1);
        unsigned long cp = 0;
        if (name.size() > 1 && name[0] == '#') {
            const bool hex = name[1] == 'x' || name[1] == 'X';
            const std::string digits = name.substr(hex ? 2 : 1);
            char* end = nullptr;
            cp = digits.empty() ? 0 : std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
            // Nul, surrogates and numbers past Unicode are no characters.
            if (!end || *end != '\0' || cp == 0 || (cp >= 0xD800 && cp <= 0xDFFF) || cp > 0x10FFFF) cp = 0;
        } else if (auto it = namedReferences().find(name); it != namedReferences().end()) {
            cp = it->second;
        }
        if (cp == 0) {
            out += '&';
            continue;
        }
        appendUtf8(out, cp);
        pos = semi + 1;
    }
    return out;
}

}  // namespace plat
