#include "platform/ui/HtmlLayout.h"

#include <algorithm>
#include <cmath>
#include <cstdlib>
#include <numeric>
#include <set>

#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/Label.h"

namespace plat {

namespace {

constexpr double kTextSize = 15;       // paragraphs and list items
constexpr double kCellTextSize = 12;   // table cells: a report's columns share a phone's width
constexpr double kParagraphGap = 10;   // below a paragraph or table
constexpr double kHeadingGapAbove = 10, kHeadingGapBelow = 6;
constexpr double kListIndent = 18;
constexpr double kCaptionGap = 2;  // between a table's caption and its frame
// Widths are measured in whole points; a little more keeps the measured text on one line.
constexpr double kWidthSlack = 1;
// The marker of a line break (<br>) while blanks are being collapsed.
constexpr char kBreak = '\x01';
const char* const kNoBreakSpace = "\u00A0";

struct Style {
    Font font = Font::system(kTextSize);
    TextAlignment alignment = TextAlignment::Left;
};

bool isInline(const std::string& tag) {
    static const std::set<std::string> tags{"b",    "strong", "i",   "em",   "span", "a",    "font", "u",
                                            "small", "big",   "code", "sub", "sup",  "abbr", "label", "nobr", "tt", "img"};
    return tags.contains(tag);
}

bool isHeading(const std::string& tag) { return tag.size() == 2 && tag[0] == 'h' && tag[1] >= '1' && tag[1] <= '6'; }

double headingSize(int level) {
    static constexpr double sizes[] = {22, 19, 16, 15, 13, 12};
    return sizes[std::clamp(level, 1, 6) - 1];
}

bool isBlank(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f'; }
bool isDigit(char c) { return c >= '0' && c <= '9'; }

// Runs of blanks become one blank, blanks at line ends go, and a number is tied to a short
// word after it ("0.12 µSv/h", "850 m"): a unit wrapped away from its value reads as noise.
std::string tidy(const std::string& run) {
    std::string flat;
    bool blank = false;
    for (char c : run) {
        if (isBlank(c)) {
            blank = true;
            continue;
        }
        if (c == kBreak) {
            while (!flat.empty() && flat.back() == ' ') flat.pop_back();
            flat += '\n';
            blank = false;
            continue;
        }
        if (blank && !flat.empty() && flat.back() != '\n') flat += ' ';
        blank = false;
        flat += c;
    }
    while (!flat.empty() && (flat.back() == '\n' || flat.back() == ' ')) flat.pop_back();
    const auto first = flat.find_first_not_of('\n');
    flat = first == std::string::npos ? std::string() : flat.substr(first);
    std::string out;
    for (std::size_t i = 0; i < flat.size(); ++i) {
        if (flat[i] == ' ' && i > 0 && isDigit(flat[i - 1]) && i + 1 < flat.size() && !isDigit(flat[i + 1])) {
            std::size_t end = flat.find_first_of(" \n", i + 1);
            if (end == std::string::npos) end = flat.size();
            // A unit is short: "m", "µSv/h", "мкЗв/ч"; words ("of", "seconds") are rarely as short.
            std::size_t characters = 0;
            for (std::size_t at = i + 1; at < end; nextCodePoint(flat, at)) ++characters;
            if (characters <= 6) {
                out += kNoBreakSpace;
                continue;
            }
        }
        out += flat[i];
    }
    return out;
}

void collectInline(const HtmlNode& node, std::string& run) {
    for (const auto& child : node.children) {
        if (child.isText()) {
            run += child.text;
        } else if (child.tag == "br") {
            run += kBreak;
        } else {
            collectInline(child, run);
        }
    }
}

TextAlignment alignmentOf(const HtmlNode& node, TextAlignment otherwise) {
    const std::string align = node.attribute("align");
    if (align == "center" || align == "middle") return TextAlignment::Center;
    if (align == "right") return TextAlignment::Right;
    if (align == "left") return TextAlignment::Left;
    return otherwise;
}

struct Item {
    enum class Kind { Text, Block, Table, Gap };
    Kind kind = Kind::Text;
    std::string text;
    Style style;
    double before = 0, after = 0, indent = 0, height = 0;
    const HtmlNode* node = nullptr;
};

// What a container shows, block by block: loose text between blocks is a paragraph of its own.
std::vector<Item> itemsOf(const HtmlNode& container, const Style& style) {
    std::vector<Item> items;
    std::string run;
    auto flush = [&] {
        std::string text = tidy(run);
        run.clear();
        if (!text.empty()) items.push_back(Item{Item::Kind::Text, std::move(text), style});
    };
    for (const auto& child : container.children) {
        if (child.isText()) {
            run += child.text;
            continue;
        }
        const std::string& tag = child.tag;
        if (tag == "br") {
            // A break between blocks is an empty line.
            if (tidy(run).empty()) {
                items.push_back(Item{Item::Kind::Gap, {}, style, 0, 0, 0, style.font.lineHeight()});
            } else {
                run += kBreak;
            }
            continue;
        }
        if (isInline(tag)) {
            collectInline(child, run);
            continue;
        }
        flush();
        Style inner = style;
        inner.alignment = alignmentOf(child, style.alignment);
        if (isHeading(tag) || tag == "p") {
            std::string text;
            collectInline(child, text);
            text = tidy(text);
            if (text.empty()) continue;
            if (isHeading(tag)) {
                inner.font = Font::boldSystem(headingSize(tag[1] - '0'));
                items.push_back(Item{Item::Kind::Text, std::move(text), inner, kHeadingGapAbove, kHeadingGapBelow});
            } else {
                items.push_back(Item{Item::Kind::Text, std::move(text), inner, 0, kParagraphGap});
            }
        } else if (tag == "table") {
            Item table{Item::Kind::Table, {}, inner, 0, kParagraphGap};
            table.node = &child;
            items.push_back(std::move(table));
        } else if (tag == "hr") {
            items.push_back(Item{Item::Kind::Gap, {}, style, 0, 0, 0, kParagraphGap});
        } else {
            Item block{Item::Kind::Block, {}, inner, 0, tag == "ul" || tag == "ol" ? kParagraphGap : 0};
            block.node = &child;
            if (tag == "ul" || tag == "ol" || tag == "blockquote") block.indent = kListIndent;
            if (tag == "center") block.style.alignment = TextAlignment::Center;
            items.push_back(std::move(block));
        }
    }
    flush();
    return items;
}

struct Widths {
    double least = 0, most = 0;  // the narrowest the content can be set, and its width unwrapped
};

// The narrowest a text can be wrapped (its longest piece between break points) and its widest
// line unwrapped. Blanks and newlines break; so does every side of a wide (CJK) character.
Widths textWidths(const std::string& text, const Font& font) {
    Widths w;
    std::string piece, line;
    auto endPiece = [&] {
        w.least = std::max(w.least, font.widthOf(piece));
        piece.clear();
    };
    auto endLine = [&] {
        w.most = std::max(w.most, font.widthOf(line));
        line.clear();
    };
    // A short run of wide characters is measured whole, and so are the digits it joins, so that
    // a column keeps room for a header's "名前" or a date's "2026年12月7日" rather than standing
    // them on end.
    constexpr int kWideRun = 4;
    int wide = 0;
    bool lastWide = false, lastDigit = false;
    std::size_t i = 0;
    while (i < text.size()) {
        const std::size_t start = i;
        const char32_t cp = nextCodePoint(text, i);
        const std::string ch = text.substr(start, i - start);
        const bool isWide = isWideCharacter(cp), digit = cp >= '0' && cp <= '9';
        bool breaks = cp == '\n' || cp == ' ';
        if (!breaks && !piece.empty()) {
            breaks = isWide ? wide == kWideRun || (!lastWide && !lastDigit) : lastWide && !digit;
        }
        if (breaks) {
            endPiece();
            wide = 0;
        }
        if (cp == '\n') endLine();
        if (cp != '\n') line += ch;
        lastWide = isWide;
        lastDigit = digit;
        if (cp == ' ' || cp == '\n') continue;
        piece += ch;
        if (isWide) ++wide;
    }
    endPiece();
    endLine();
    w.least = std::ceil(w.least) + kWidthSlack;
    w.most = std::ceil(w.most) + kWidthSlack;
    return w;
}

// Lengths in markup past this many points are taken as this many: no page is that large, and
// sums of them stay far from overflowing.
constexpr double kLongestLength = 10000;
// The most columns a cell spans.
constexpr int kMostColumns = 100;

// A length the markup gives ("2", "2px", "1.5"), at most kLongestLength; `otherwise` where there
// is no number, or a negative or endless one.
double length(const std::string& text, double otherwise) {
    if (text.empty()) return otherwise;
    char* end = nullptr;
    const double v = std::strtod(text.c_str(), &end);
    if (end == text.c_str() || !std::isfinite(v) || v < 0) return otherwise;
    return std::min(v, kLongestLength);
}

// A count the markup gives, within 1 and `most`; the number is bounded before it becomes an int.
int count(const std::string& text, int otherwise, int most) {
    const double v = length(text, otherwise);
    return static_cast<int>(std::clamp(v, 1.0, static_cast<double>(most)));
}

// The value of one declaration ("margin-bottom") in a style attribute.
std::string declaration(const std::string& style, const std::string& property) {
    std::size_t pos = 0;
    while (pos < style.size()) {
        std::size_t end = style.find(';', pos);
        if (end == std::string::npos) end = style.size();
        const std::string part = style.substr(pos, end - pos);
        const auto colon = part.find(':');
        if (colon != std::string::npos) {
            std::string name = part.substr(0, colon);
            std::erase_if(name, [](char c) { return isBlank(c); });
            if (name == property) {
                const auto from = part.find_first_not_of(' ', colon + 1);
                return from == std::string::npos ? std::string() : part.substr(from);
            }
        }
        pos = end + 1;
    }
    return {};
}

std::optional<Color> namedColor(const std::string& word) {
    if (word == "black") return Color::black();
    if (word == "white") return Color::white();
    if (word == "gray" || word == "grey") return Color::rgba(0.5, 0.5, 0.5);
    if (word == "silver") return Color::rgba(0.75, 0.75, 0.75);
    if (word == "red") return Color::rgba(1, 0, 0);
    if (word == "blue") return Color::rgba(0, 0, 1);
    if (word.size() == 7 && word[0] == '#') {
        char* end = nullptr;
        const unsigned long v = std::strtoul(word.c_str() + 1, &end, 16);
        if (end && *end == '\0') return Color::rgba(((v >> 16) & 0xFF) / 255.0, ((v >> 8) & 0xFF) / 255.0, (v & 0xFF) / 255.0);
    }
    return std::nullopt;
}

struct Output {
    std::vector<HtmlLayout::Text> texts;
    std::vector<HtmlLayout::Fill> fills;
    double right = 0;  // how far the content reaches

    void frame(const Rect& r, double width, const Color& color) {
        if (width <= 0) return;
        fills.push_back({Rect{r.x(), r.y(), r.width(), width}, color});
        fills.push_back({Rect{r.x(), r.maxY() - width, r.width(), width}, color});
        fills.push_back({Rect{r.x(), r.y() + width, width, r.height() - 2 * width}, color});
        fills.push_back({Rect{r.maxX() - width, r.y() + width, width, r.height() - 2 * width}, color});
        right = std::max(right, r.maxX());
    }

    void append(const Output& other, double dx, double dy) {
        for (auto t : other.texts) {
            t.frame = t.frame.offsetBy(dx, dy);
            texts.push_back(std::move(t));
        }
        for (auto f : other.fills) {
            f.rect = f.rect.offsetBy(dx, dy);
            fills.push_back(f);
        }
        right = std::max(right, other.right + dx);
    }
};

std::vector<Item> innerItems(const Item& block);

// Lays out blocks one under another; measures what they need.
class Flow {
public:
    static Widths widths(const std::vector<Item>& items);
    // Places the items at (x, y) in `width`; returns the height they take.
    static double place(const std::vector<Item>& items, double x, double y, double width, Output& out);
};

// A table's grid: its cells by row, each knowing its first column and how many it spans.
class Table {
public:
    explicit Table(const HtmlNode& node) {
        readFrame(node);
        readRows(node);
    }

    Widths widths() const {
        const auto columns = columnWidths();
        Widths w{extra(), extra()};
        for (const auto& c : columns) {
            w.least += c.least;
            w.most += c.most;
        }
        if (fixedWidth_ > 0) w.most = std::max(w.least, fixedWidth_);
        const Widths caption = Flow::widths(caption_);
        return Widths{std::max(w.least, caption.least), std::max(w.most, caption.most)};
    }

    // The caption above the table, as the markup gives it.
    const std::vector<Item>& caption() const { return caption_; }

    // Returns the height.
    double place(double x, double top, double room, Output& out) const {
        const auto columns = columnWidths();
        const Widths total = widths();
        double width = fullWidth_ ? room : fixedWidth_ > 0 ? std::min(fixedWidth_, room) : std::min(room, total.most);
        width = std::max(width, total.least);
        const std::vector<double> sized = share(columns, width - extra());
        double y = top;
        if (!caption_.empty()) y += Flow::place(caption_, x, y, width, out) + kCaptionGap;
        double rowY = y + frame_ + spacing_;
        const double inset = padding_ + border_;
        for (const auto& row : rows_) {
            struct Placed {
                Output content;
                double x, width, height;
            };
            std::vector<Placed> placed;
            double rowHeight = 0;
            for (const auto& cell : row) {
                double cellX = x + frame_ + spacing_;
                for (int c = 0; c < cell.column; ++c) cellX += sized[static_cast<std::size_t>(c)] + spacing_;
                double cellWidth = (cell.span - 1) * spacing_;
                for (int c = cell.column; c < cell.column + cell.span; ++c) cellWidth += sized[static_cast<std::size_t>(c)];
                Output content;
                const double height = Flow::place(cell.items, 0, 0, std::max(0.0, cellWidth - 2 * inset), content) + 2 * inset;
                rowHeight = std::max(rowHeight, height);
                placed.push_back({std::move(content), cellX, cellWidth, height});
            }
            for (const auto& cell : placed) {
                out.append(cell.content, cell.x + inset, rowY + inset + (rowHeight - cell.height) / 2);
                out.frame(Rect{cell.x, rowY, cell.width, rowHeight}, border_, borderColor_);
            }
            rowY += rowHeight + spacing_;
        }
        const double height = rowY + frame_ - y;
        out.frame(Rect{x, y, width, height}, frame_, frameColor_);
        out.right = std::max(out.right, x + width);
        return y + height - top;
    }

    double marginBottom() const { return marginBottom_; }

private:
    struct Cell {
        int column = 0, span = 1;
        std::vector<Item> items;
        Widths widths;
    };

    void readFrame(const HtmlNode& node) {
        const std::string border = node.attribute("border");
        const bool bordered = node.attributes.contains("border") && length(border, 1) > 0;
        if (bordered) {
            border_ = 1;
            frame_ = length(border, 1);
        }
        padding_ = length(node.attribute("cellpadding"), 1);
        spacing_ = length(node.attribute("cellspacing"), 2);
        const std::string width = node.attribute("width");
        if (!width.empty() && width.back() == '%') {
            fullWidth_ = length(width.substr(0, width.size() - 1), 0) >= 100;
        } else {
            fixedWidth_ = length(width, 0);
        }
        const std::string style = node.attribute("style");
        // "border: 2px solid black": a width in pixels and a colour, in any order.
        const std::string frame = declaration(style, "border");
        std::size_t pos = 0;
        while (pos < frame.size()) {
            std::size_t end = frame.find(' ', pos);
            if (end == std::string::npos) end = frame.size();
            const std::string word = frame.substr(pos, end - pos);
            if (!word.empty() && isDigit(word[0])) frame_ = length(word, frame_);
            if (auto color = namedColor(word)) frameColor_ = *color;
            pos = end + 1;
        }
        marginBottom_ = length(declaration(style, "margin-bottom"), 0);
    }

    void readRows(const HtmlNode& node) {
        for (const auto& child : node.children) {
            if (child.tag == "caption" && caption_.empty()) {
                caption_ = itemsOf(child, Style{Font::system(kCellTextSize), TextAlignment::Center});
            } else if (child.tag == "tr") {
                readRow(child);
            } else if (child.tag == "tbody" || child.tag == "thead" || child.tag == "tfoot") {
                readRows(child);
            }
        }
    }

    void readRow(const HtmlNode& tr) {
        std::vector<Cell> row;
        int column = 0;
        for (const auto& child : tr.children) {
            if (child.tag != "td" && child.tag != "th") continue;
            Cell cell;
            cell.column = column;
            cell.span = count(child.attribute("colspan"), 1, kMostColumns);
            const bool header = child.tag == "th";
            Style inner{header ? Font::boldSystem(kCellTextSize) : Font::system(kCellTextSize),
                        header ? TextAlignment::Center : TextAlignment::Left};
            inner.alignment = alignmentOf(child, alignmentOf(tr, inner.alignment));
            cell.items = itemsOf(child, inner);
            cell.widths = Flow::widths(cell.items);
            const double inset = 2 * (padding_ + border_);
            cell.widths.least += inset;
            cell.widths.most += inset;
            column += cell.span;
            row.push_back(std::move(cell));
        }
        columns_ = std::max(columns_, column);
        rows_.push_back(std::move(row));
    }

    // What borders and spacing take of the table's width.
    double extra() const { return 2 * frame_ + (columns_ + 1) * spacing_; }

    std::vector<Widths> columnWidths() const {
        std::vector<Widths> columns(static_cast<std::size_t>(columns_));
        for (const auto& row : rows_) {
            for (const auto& cell : row) {
                if (cell.span != 1) continue;
                auto& c = columns[static_cast<std::size_t>(cell.column)];
                c.least = std::max(c.least, cell.widths.least);
                c.most = std::max(c.most, cell.widths.most);
            }
        }
        // A cell across columns widens them evenly where they are too narrow for it.
        for (const auto& row : rows_) {
            for (const auto& cell : row) {
                if (cell.span == 1) continue;
                Widths spanned{(cell.span - 1) * spacing_, (cell.span - 1) * spacing_};
                for (int c = cell.column; c < cell.column + cell.span; ++c) {
                    spanned.least += columns[static_cast<std::size_t>(c)].least;
                    spanned.most += columns[static_cast<std::size_t>(c)].most;
                }
                for (int c = cell.column; c < cell.column + cell.span; ++c) {
                    auto& col = columns[static_cast<std::size_t>(c)];
                    col.least += std::max(0.0, cell.widths.least - spanned.least) / cell.span;
                    col.most += std::max(0.0, cell.widths.most - spanned.most) / cell.span;
                    col.most = std::max(col.most, col.least);
                }
            }
        }
        return columns;
    }

    // The columns' widths in `room`: each its unwrapped width and a share of what is left in
    // proportion to it; when that is too much, each its narrowest and a share of the rest in
    // proportion to what it would gain unwrapped.
    static std::vector<double> share(const std::vector<Widths>& columns, double room) {
        std::vector<double> out;
        double least = 0, most = 0;
        for (const auto& c : columns) {
            least += c.least;
            most += c.most;
        }
        for (const auto& c : columns) {
            if (most <= room) {
                const double part = most > 0 ? c.most / most : 1.0 / static_cast<double>(columns.size());
                out.push_back(c.most + (room - most) * part);
            } else {
                const double gain = most - least;
                const double part = gain > 0 ? (c.most - c.least) / gain : 1.0 / static_cast<double>(columns.size());
                out.push_back(c.least + std::max(0.0, room - least) * part);
            }
        }
        return out;
    }

    std::vector<Item> caption_;
    std::vector<std::vector<Cell>> rows_;
    int columns_ = 0;
    double border_ = 0, frame_ = 0, padding_ = 1, spacing_ = 2;
    Color frameColor_ = Color::rgba(0.55, 0.55, 0.55);
    Color borderColor_ = Color::rgba(0.55, 0.55, 0.55);
    bool fullWidth_ = false;
    double fixedWidth_ = 0, marginBottom_ = 0;
};

Widths Flow::widths(const std::vector<Item>& items) {
    Widths w;
    for (const auto& item : items) {
        Widths inner;
        switch (item.kind) {
            case Item::Kind::Text: inner = textWidths(item.text, item.style.font); break;
            case Item::Kind::Block: inner = widths(itemsOf(*item.node, item.style)); break;
            case Item::Kind::Table: inner = Table(*item.node).widths(); break;
            case Item::Kind::Gap: break;
        }
        w.least = std::max(w.least, inner.least + item.indent);
        w.most = std::max(w.most, inner.most + item.indent);
    }
    return w;
}

double Flow::place(const std::vector<Item>& items, double x, double y, double width, Output& out) {
    double at = y, gapBelow = 0;
    bool first = true;
    for (const auto& item : items) {
        if (!first) at += std::max(gapBelow, item.before);
        first = false;
        gapBelow = item.after;
        const double left = x + item.indent, room = std::max(0.0, width - item.indent);
        switch (item.kind) {
            case Item::Kind::Text: {
                Label label(Rect{}, item.text);
                label.setFont(item.style.font);
                label.setNumberOfLines(0);
                const double height = label.sizeThatFits(Size{room, 0}).height;
                out.texts.push_back({Rect{left, at, room, height}, item.text, item.style.font, item.style.alignment});
                out.right = std::max(out.right, left + std::min(room, textWidths(item.text, item.style.font).most));
                at += height;
                break;
            }
            case Item::Kind::Block: {
                auto inner = innerItems(item);
                // List items sit a little apart.
                if (item.node->tag == "ul" || item.node->tag == "ol") {
                    for (auto& i : inner)
                        if (i.kind == Item::Kind::Block) i.after = 4;
                }
                at += place(inner, left, at, room, out);
                break;
            }
            case Item::Kind::Table: {
                const Table table(*item.node);
                at += table.place(left, at, room, out);
                gapBelow = std::max(gapBelow, table.marginBottom());
                break;
            }
            case Item::Kind::Gap: at += item.height; break;
        }
    }
    return at - y;
}

void describeItems(const std::vector<Item>& items, DescriptionWriter& out);

// The text as read: a blank that ties a unit to its number is a blank.
std::string readable(std::string text) {
    for (std::size_t at = text.find(kNoBreakSpace); at != std::string::npos; at = text.find(kNoBreakSpace, at)) {
        text.replace(at, 2, " ");
    }
    return text;
}

// The items of a block as they are placed: a list item starts with its bullet.
std::vector<Item> innerItems(const Item& block) {
    auto inner = itemsOf(*block.node, block.style);
    if (block.node->tag == "li" && !inner.empty() && inner.front().kind == Item::Kind::Text) {
        inner.front().text.insert(0, "\u2022 ");
    }
    return inner;
}

// The texts of a cell's items, blocks within blocks included, one a line; false when a table
// stands among them (a row of such cells is described item by item).
bool cellText(const std::vector<Item>& items, std::string& text) {
    for (const auto& i : items) {
        if (i.kind == Item::Kind::Table) return false;
        if (i.kind == Item::Kind::Block && !cellText(innerItems(i), text)) return false;
        if (i.kind == Item::Kind::Text) text += (text.empty() ? "" : "\n") + readable(i.text);
    }
    return true;
}

void describeTable(const HtmlNode& node, DescriptionWriter& out) {
    out.line("Table");
    DescriptionWriter::Nested nested(out);
    describeItems(Table(node).caption(), out);
    std::vector<const HtmlNode*> rows;
    for (const auto& child : node.children) {
        if (child.tag == "tr") rows.push_back(&child);
        if (child.tag == "tbody" || child.tag == "thead" || child.tag == "tfoot") {
            for (const auto& r : child.children)
                if (r.tag == "tr") rows.push_back(&r);
        }
    }
    for (const HtmlNode* row : rows) {
        std::vector<std::vector<Item>> cells;
        std::string line = "Row";
        bool simple = true;
        for (const auto& cell : row->children) {
            if (cell.tag != "td" && cell.tag != "th") continue;
            cells.push_back(itemsOf(cell, Style{}));
            std::string text;
            simple = simple && cellText(cells.back(), text);
            line += " " + DescriptionWriter::quoted(text);
        }
        if (simple) {
            out.line(line);
            continue;
        }
        out.line("Row");
        DescriptionWriter::Nested inRow(out);
        for (const auto& cell : cells) describeItems(cell, out);
    }
}

void describeItems(const std::vector<Item>& items, DescriptionWriter& out) {
    for (const auto& item : items) {
        switch (item.kind) {
            case Item::Kind::Text:
                out.line((item.style.font.isBold() ? "Heading " : "Text ") + DescriptionWriter::quoted(readable(item.text)));
                break;
            case Item::Kind::Block: describeItems(innerItems(item), out); break;
            case Item::Kind::Table: describeTable(*item.node, out); break;
            case Item::Kind::Gap: break;
        }
    }
}

}  // namespace

HtmlLayout::HtmlLayout(const HtmlNode& document, double width) {
    Output out;
    const double room = std::max(0.0, width - 2 * kMargin);
    const double height = Flow::place(itemsOf(document, Style{}), kMargin, kMargin, room, out);
    texts_ = std::move(out.texts);
    fills_ = std::move(out.fills);
    size_ = Size{std::max(width, std::ceil(out.right + kMargin)), std::ceil(height + 2 * kMargin)};
}

void HtmlLayout::draw(DrawingContext& ctx, const Rect& visible) const {
    for (const auto& f : fills_) {
        if (!f.rect.intersects(visible)) continue;
        ctx.setFillColor(f.color);
        ctx.fillRect(f.rect);
    }
    for (const auto& t : texts_) {
        if (!t.frame.intersects(visible)) continue;
        Label label(Rect{}, t.text);
        label.setFont(t.font);
        label.setNumberOfLines(0);
        label.setTextAlignment(t.alignment);
        ctx.saveState();
        ctx.translate(t.frame.x(), t.frame.y());
        label.drawRect(ctx, Rect{0, 0, t.frame.width(), t.frame.height()});
        ctx.restoreState();
    }
}

std::string HtmlLayout::text() const {
    std::string out;
    for (const auto& t : texts_) {
        if (!out.empty()) out += ' ';
        out += readable(t.text);
    }
    return out;
}

void HtmlLayout::describe(const HtmlNode& document, DescriptionWriter& out) {
    describeItems(itemsOf(document, Style{}), out);
}

}  // namespace plat
