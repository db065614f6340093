#include "platform/foundation/HtmlText.h"

#include <set>

#include "platform/foundation/HtmlDocument.h"
#include "platform/foundation/HtmlReference.h"

namespace plat {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f'; }

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

std::string HtmlText::decodeEntities(const std::string& text) { return HtmlReference::decoded(text); }

}  // namespace plat
