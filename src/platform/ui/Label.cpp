#include "platform/ui/Label.h"

#include <algorithm>
#include <cmath>
#include <optional>
#include <string_view>

#include "platform/ui/DescriptionWriter.h"
#include "platform/ui/Readability.h"

namespace plat {

void Label::setText(std::string text) {
    if (text == text_) return;
    text_ = std::move(text);
    setNeedsDisplay();
}

void Label::setFont(Font font) {
    font_ = std::move(font);
    setNeedsDisplay();
}

void Label::setTextColor(const Color& c) {
    textColor_ = c;
    setNeedsDisplay();
}

namespace {

// Characters that never begin a line: closing marks and the stops of the wide scripts.
bool closesLine(char32_t cp) {
    static const std::u32string kClosers = U"、。，．！？）」』】ー々：；";
    return kClosers.find(cp) != std::u32string::npos;
}

// The pieces a line may break between: words between blanks, each wide character on its own
// (with the closing marks after it), each with the blanks before it.
struct WrapPiece {
    std::string text;
    std::string blanks;
};

// Hands each piece of the paragraph to `take` in order, made as it goes, until `take` says
// false: a long paragraph is cut into only as many pieces as the lines wanted need.
template <class Take>
void forEachWrapPiece(const std::string& para, Take take) {
    std::optional<WrapPiece> piece;
    std::string blanks;
    bool inWord = false;
    for (std::size_t i = 0; i < para.size();) {
        const std::size_t start = i;
        const char32_t cp = nextCodePoint(para, i);
        const std::string_view ch(para.data() + start, i - start);
        if (cp == ' ') {
            blanks += ch;
            inWord = false;
        } else if (piece && blanks.empty() && ((inWord && !isWideCharacter(cp)) || closesLine(cp))) {
            piece->text += ch;
        } else {
            if (piece && !take(*piece)) return;
            piece = WrapPiece{std::string(ch), std::move(blanks)};
            blanks.clear();
            inWord = !isWideCharacter(cp);
        }
    }
    if (piece) take(*piece);
}

// Splits a piece wider than the width into runs of whole characters that fit (at least one each).
std::vector<std::string> splitWide(const std::string& piece, const Font& font, double width) {
    std::vector<std::string> runs{std::string{}};
    for (std::size_t i = 0; i < piece.size();) {
        const std::size_t start = i;
        nextCodePoint(piece, i);
        const std::string ch = piece.substr(start, i - start);
        if (!runs.back().empty() && font.widthOf(runs.back() + ch) > width) runs.emplace_back();
        runs.back() += ch;
    }
    return runs;
}

// Greedy wrap of one paragraph: at blanks, between wide characters, and inside a word wider
// than a whole line; it stops once `out` holds `most` lines.
void wrapParagraph(const std::string& para, const Font& font, double width, std::vector<std::string>& out,
                   std::size_t most) {
    std::string line;
    bool full = false;
    forEachWrapPiece(para, [&](const WrapPiece& piece) {
        std::string candidate = line.empty() ? piece.text : line + piece.blanks + piece.text;
        if (font.widthOf(candidate) <= width) {
            line = std::move(candidate);
            return true;
        }
        if (!line.empty()) out.push_back(line);
        auto runs = splitWide(piece.text, font, width);
        for (std::size_t r = 0; r + 1 < runs.size(); ++r) out.push_back(runs[r]);
        line = runs.back();
        full = out.size() >= most;
        return !full;
    });
    if (!full) out.push_back(line);
}

}  // namespace

std::vector<std::string> Label::layoutLines(double width) const {
    bool cut = false;
    return wrappedLines(width, font_, cut);
}

std::vector<std::string> Label::wrappedLines(double width, const Font& font, bool& cut, std::size_t most) const {
    std::vector<std::string> out;
    cut = false;
    if (text_.empty()) return out;
    // One line past the count tells that the text was cut.
    if (lines_ > 0) most = std::min(most, static_cast<std::size_t>(lines_) + 1);
    std::size_t start = 0;
    while (start <= text_.size() && out.size() < most) {
        std::size_t end = text_.find('\n', start);
        if (end == std::string::npos) end = text_.size();
        std::string para = text_.substr(start, end - start);
        if (lines_ == 1) {
            out.push_back(para);
            break;  // a one-line label shows only the first line
        }
        wrapParagraph(para, font, width > 0 ? width : 1e9, out, most);
        start = end + 1;
    }
    if (lines_ > 0 && out.size() > static_cast<std::size_t>(lines_)) {
        out.resize(static_cast<std::size_t>(lines_));
        cut = true;
    }
    return out;
}

Size Label::sizeThatFits(Size size) const {
    double width = lines_ == 1 ? 1e9 : (size.width > 0 ? size.width : 1e9);
    auto lines = layoutLines(width);
    double w = 0;
    for (const auto& l : lines) w = std::max(w, font_.widthOf(l));
    return {std::ceil(w), std::ceil(static_cast<double>(lines.size()) * font_.lineHeight())};
}

namespace {

// Cuts a line to the width, the ellipsis where the break mode puts it; whole characters only.
// The number of characters kept is found by a binary search on the measured width, so that a
// long text costs a few measurements rather than one per character.
std::string truncated(const std::string& line, const Font& font, double width, LineBreakMode mode) {
    static const std::string kEllipsis = "\u2026";
    width += 0.01;  // a line shrunk to the width exactly still fits
    if (font.widthOf(line) <= width) return line;
    std::vector<std::size_t> starts;  // byte offset of each character
    for (std::size_t i = 0; i < line.size(); ++i) {
        if ((static_cast<unsigned char>(line[i]) & 0xC0) != 0x80) starts.push_back(i);
    }
    const std::size_t n = starts.size();
    auto piece = [&](std::size_t from, std::size_t to) {  // characters [from, to)
        std::size_t a = from < n ? starts[from] : line.size();
        std::size_t b = to < n ? starts[to] : line.size();
        return line.substr(a, b - a);
    };
    auto candidate = [&](std::size_t keep) {
        if (mode == LineBreakMode::TruncateHead) return kEllipsis + piece(n - keep, n);
        if (mode == LineBreakMode::TruncateMiddle) return piece(0, (keep + 1) / 2) + kEllipsis + piece(n - keep / 2, n);
        std::string text = piece(0, keep);
        while (!text.empty() && text.back() == ' ') text.pop_back();
        return text + kEllipsis;
    };
    // The longest candidate that fits: widths grow with the characters kept.
    std::size_t fits = 0, tooWide = n;  // candidate(tooWide) is known not to fit
    bool anyFits = false;
    while (fits + 1 < tooWide || (!anyFits && fits < tooWide)) {
        const std::size_t keep = anyFits ? fits + (tooWide - fits) / 2 : fits;
        if (font.widthOf(candidate(keep)) <= width) {
            fits = keep;
            anyFits = true;
        } else {
            tooWide = keep;
        }
    }
    return anyFits ? candidate(fits) : std::string();
}

bool truncates(LineBreakMode mode) {
    return mode == LineBreakMode::TruncateTail || mode == LineBreakMode::TruncateHead ||
           mode == LineBreakMode::TruncateMiddle;
}

}  // namespace

Font Label::fittedFont(Size size) const {
    const double scale = shrinkScale();
    if (scale <= 0 || size.width <= 0) return font_;
    if (lines_ != 1) return fittedWrappingFont(size, scale);
    auto lines = layoutLines(size.width);
    double needed = lines.empty() ? 0 : font_.widthOf(lines.front());
    if (needed <= size.width) return font_;
    return Font{font_.name, font_.size * std::max(scale, size.width / needed)};
}

Font Label::fittedWrappingFont(Size size, double scale) const {
    // Half a point at a time, the largest size whose lines all show; else the smallest allowed.
    const double smallest = font_.size * scale;
    for (double points = font_.size; points > smallest; points -= 0.5) {
        const Font font{font_.name, points};
        const auto room = static_cast<std::size_t>(std::max(1.0, std::floor((size.height + 0.5) / font.lineHeight())));
        bool cut = false;
        const auto lines = wrappedLines(size.width, font, cut, room + 1);
        if (!cut && lines.size() <= room) return font;
    }
    return Font{font_.name, smallest};
}

std::vector<std::string> Label::fittedLines(double width, const Font& font, std::size_t most) const {
    bool cut = false;
    auto lines = wrappedLines(width, font, cut, most);
    if (lines.empty()) return lines;
    // Text that does not fit ends in an ellipsis whatever the break mode: a glyph cut in half
    // by the frame reads as another letter. A text cut short at the line count ends its last
    // line with the ellipsis.
    if (cut) lines.back() += " \u2026";
    const LineBreakMode mode = lines_ == 1 && truncates(lineBreak_) ? lineBreak_ : LineBreakMode::TruncateTail;
    for (auto& line : lines) line = truncated(line, font, width, mode);
    return lines;
}

namespace {

// The lines a height holds: at least one.
std::size_t linesRoom(double height, const Font& font) {
    return static_cast<std::size_t>(std::max(1.0, std::floor((height + 0.5) / font.lineHeight())));
}

// A label shows as many lines as its height holds, however many it may have: the last one
// shown ends in an ellipsis when lines are left out.
void keepLinesThatFit(std::vector<std::string>& lines, double height, const Font& font, double width) {
    const auto room = linesRoom(height, font);
    if (lines.size() <= room) return;
    lines.resize(room);
    if (!lines.back().ends_with("\u2026")) {
        lines.back() = truncated(lines.back() + " \u2026", font, width, LineBreakMode::TruncateTail);
    }
}

}  // namespace

void Label::drawRect(DrawingContext& ctx, const Rect& rect) {
    const Font font = fittedFont(rect.size);
    // Lines below the frame are never seen: only those it holds are laid out, and one more that
    // tells whether the last one shown needs the ellipsis.
    auto lines = fittedLines(rect.width(), font, linesRoom(rect.height(), font) + 1);
    if (lines.size() > 1) keepLinesThatFit(lines, rect.height(), font, rect.width());
    if (lines.empty()) return;
    std::string joined;
    for (std::size_t i = 0; i < lines.size(); ++i) joined += (i ? "\n" : "") + lines[i];
    double h = static_cast<double>(lines.size()) * font.lineHeight();
    Rect box{rect.x(), rect.y() + (rect.height() - h) / 2, rect.width(), h};  // centred vertically
    // A label shows nothing outside its frame, whatever the break mode.
    ctx.saveState();
    ctx.clipToRect(rect);
    if (shadowColor_) ctx.drawText(joined, box.offsetBy(shadowOffset_.width, shadowOffset_.height), font, *shadowColor_, alignment_);
    Color c = highlighted_ && highlightedTextColor_ ? *highlightedTextColor_ : textColor_;
    ctx.drawText(joined, box, font, c, alignment_);
    ctx.restoreState();
}

double Label::shrinkScale() const {
    if (!adjustsFontSize_ || font_.size <= Readability::kSmallestTextSize) return 0;
    const double scale = minimumScale_ > 0 ? minimumScale_ : 0.5;
    // Never below the smallest readable size: past it the text ends in an ellipsis instead.
    return std::max(scale, Readability::kSmallestTextSize / font_.size);
}

std::string Label::describeLine() const {
    if (text_.empty()) return {};
    return "Label " + DescriptionWriter::quoted(text_);
}

}  // namespace plat
