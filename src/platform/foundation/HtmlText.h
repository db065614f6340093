#pragma once

#include <string>
#include <vector>

namespace plat {

struct HtmlNode;

// The readable text of an HTML document, as the blocks a browser would set one under another:
// headings, paragraphs, list items and table rows (a row's cells on one line). Markup is left
// out, runs of blanks become one blank and character references are decoded once; the head,
// scripts and styles show nothing. The document is read as HtmlDocument reads it for drawing.
class HtmlText {
public:
    struct Block {
        enum class Kind { Heading, Paragraph, Item, Row };
        Kind kind = Kind::Paragraph;
        int level = 0;        // 1 to 6 for a heading
        bool header = false;  // a table row of header cells
        std::string text;
        bool operator==(const Block&) const = default;
    };

    // What goes between the cells of a table row.
    static constexpr const char* kCellSeparator = " \u00B7 ";

    static std::vector<Block> blocks(const std::string& html);
    // The blocks of a document already read.
    static std::vector<Block> blocks(const HtmlNode& document);
    // The blocks' texts, one block a line.
    static std::string lines(const std::string& html);
    // The blocks' texts on one line, a blank between blocks.
    static std::string plainText(const std::string& html);
    static std::string plainText(const HtmlNode& document);
    // "&amp;" -> "&", "&#233;" and "&#xE9;" -> "é", as HtmlReference reads them; text that is no
    // reference stays as it is.
    static std::string decodeEntities(const std::string& text);
};

// Appends the UTF-8 bytes of a code point.
void appendUtf8(std::string& out, unsigned long codePoint);

}  // namespace plat
