#include "platform/ui/Label.h"

#include <algorithm>
#include <cmath>
#include <memory>
#include <optional>
#include <string_view>

#include <unicode/brkiter.h>
#include <unicode/uchar.h>
#include <unicode/unistr.h>

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

// The pieces a line may break between, as the Unicode line-breaking rules find them (words
// between blanks, wide characters one by one with the closing marks kept after the text before
// them), each with the blanks before it.
struct WrapPiece {
    std::string text;
    std::string blanks;
};

// The longest unit kept on the line of its number, in characters ("мкЗв/ч").
constexpr std::size_t kLongestUnit = 6;

bool endsWithDigit(const std::string& s) { return !s.empty() && s.back() >= '0' && s.back() <= '9'; }

// A short word without digits: what follows a number as its unit ("µSv/h", "m", "%").
bool looksLikeUnit(const std::string& s) {
    std::size_t letters = 0;
    for (std::size_t i = 0; i < s.size();) {
        if (s[i] >= '0' && s[i] <= '9') return false;
        nextCodePoint(s, i);
        ++letters;
    }
    return letters > 0 && letters <= kLongestUnit;
}

// Whether `before` ends in the first half of a unit the rules would break at its slash, and
// `after` holds the rest ("µSv/" and "h").
bool splitsUnit(const std::string& before, const std::string& after) {
    if (!before.ends_with('/')) return false;
    const std::size_t blank = before.find_last_of(' ');
    const std::string word = blank == std::string::npos ? before : before.substr(blank + 1);
    return word.size() > 1 && looksLikeUnit(word + after);
}

// The line-break iterator of the Unicode rules, made once per thread: making one loads the rules.
icu::BreakIterator* lineBreaker() {
    thread_local std::unique_ptr<icu::BreakIterator> breaker = [] {
        UErrorCode status = U_ZERO_ERROR;
        std::unique_ptr<icu::BreakIterator> made(icu::BreakIterator::createLineInstance(icu::Locale::getRoot(), status));
        return U_SUCCESS(status) ? std::move(made) : nullptr;
    }();
    return breaker.get();
}

// The paragraph cut where the rules allow a break; without the rules, at blanks.
std::vector<WrapPiece> wrapPieces(const std::string& para) {
    std::vector<std::string> segments;  // each with the blanks after it
    const icu::UnicodeString text = icu::UnicodeString::fromUTF8(para);
    if (icu::BreakIterator* breaker = lineBreaker()) {
        breaker->setText(text);
        for (int32_t from = breaker->first(), to = breaker->next(); to != icu::BreakIterator::DONE;
             from = to, to = breaker->next()) {
            segments.emplace_back();
            text.tempSubStringBetween(from, to).toUTF8String(segments.back());
        }
    } else {
        for (std::size_t at = 0; at < para.size();) {
            std::size_t end = para.find_first_not_of(' ', para.find(' ', at));
            if (end == std::string::npos) end = para.size();
            segments.push_back(para.substr(at, end - at));
            at = end;
        }
    }
    std::vector<WrapPiece> pieces;
    std::string blanks;
    for (auto& segment : segments) {
        const std::size_t kept = segment.find_last_not_of(' ') + 1;
        std::string trailing = segment.substr(kept);
        segment.resize(kept);
        // A number keeps its unit on its line, and a unit its part after a slash ("µSv/h").
        if (!pieces.empty() && !blanks.empty() && endsWithDigit(pieces.back().text) && looksLikeUnit(segment)) {
            pieces.back().text += blanks + segment;
        } else if (!pieces.empty() && blanks.empty() && splitsUnit(pieces.back().text, segment)) {
            pieces.back().text += segment;
        } else if (!segment.empty()) {
            pieces.push_back({std::move(segment), blanks});
        }
        blanks = pieces.empty() ? std::string() : std::move(trailing);
    }
    return pieces;
}

// A letter of the scripts that set words apart with blanks.
bool wordLetter(char32_t cp) { return cp && u_isalpha(static_cast<UChar32>(cp)) && !isWideCharacter(cp); }

// The fewest letters of a piece broken across lines: a shorter word moves to the next line whole.
constexpr std::size_t kShortestBrokenWord = 8;

bool isDigit(char32_t cp) { return cp && u_isdigit(static_cast<UChar32>(cp)); }

// Whether a piece may be broken inside: one of many letters. A short word, a number, a time
// or a unit reads wrongly in halves ("10:00:40 A-" "M").
bool breaksInside(const std::string& piece) {
    std::size_t letters = 0;
    for (std::size_t i = 0; i < piece.size();) letters += wordLetter(nextCodePoint(piece, i)) ? 1 : 0;
    return letters >= kShortestBrokenWord;
}

// The piece cut into what a break may not enter: each number with its separators ("1796664054",
// "10:00:40", "0.5") whole, every other character alone.
std::vector<std::string> unbreakableRuns(const std::string& piece) {
    std::vector<std::string> runs;
    bool inNumber = false;
    for (std::size_t i = 0; i < piece.size();) {
        const std::size_t start = i;
        const char32_t cp = nextCodePoint(piece, i);
        std::size_t peek = i;
        const bool digitNext = i < piece.size() && isDigit(nextCodePoint(piece, peek));
        const bool joins = isDigit(cp) || (inNumber && (cp == '.' || cp == ':' || cp == ',') && digitNext);
        if (!(joins && inNumber) || runs.empty()) runs.emplace_back();
        runs.back() += piece.substr(start, i - start);
        inNumber = joins;
    }
    return runs;
}

char32_t firstOf(const std::string& s) {
    std::size_t i = 0;
    return s.empty() ? 0 : nextCodePoint(s, i);
}

char32_t lastOf(const std::string& s) {
    std::size_t i = s.size();
    while (i > 0 && (static_cast<unsigned char>(s[i - 1]) & 0xC0) == 0x80) --i;
    return i == 0 ? 0 : nextCodePoint(s, --i);
}

// Splits a piece wider than the width into runs that fit (at least one character or number
// each); a run that ends between two letters ends in a hyphen, so that a person sees the word
// go on. A piece that fits, or that may not be broken, stays whole.
std::vector<std::string> splitWide(const std::string& piece, const Font& font, double width) {
    if (font.widthOf(piece) <= width || !breaksInside(piece)) return {piece};
    const auto atoms = unbreakableRuns(piece);
    std::vector<std::string> runs{std::string{}};
    for (std::size_t a = 0; a < atoms.size(); ++a) {
        const char32_t before = lastOf(runs.back()), cp = firstOf(atoms[a]);
        const std::string hyphen = wordLetter(before) && wordLetter(cp) ? "-" : "";
        // Room for the hyphen a break after this letter would need; the last one needs none.
        const std::string room = a + 1 < atoms.size() && wordLetter(lastOf(atoms[a])) ? "-" : "";
        if (!runs.back().empty() && font.widthOf(runs.back() + atoms[a] + room) > width) {
            runs.back() += hyphen;
            runs.emplace_back();
        }
        runs.back() += atoms[a];
    }
    return runs;
}

// Greedy wrap of one paragraph at the breaks the rules allow, and inside a piece wider than a
// whole line (`split` tells that it happened); it stops once `out` holds `most` lines.
void wrapParagraph(const std::string& para, const Font& font, double width, std::vector<std::string>& out,
                   std::size_t most, bool& split) {
    std::string line;
    bool full = false;
    for (const WrapPiece& piece : wrapPieces(para)) {
        std::string candidate = line.empty() ? piece.text : line + piece.blanks + piece.text;
        if (font.widthOf(candidate) <= width) {
            line = std::move(candidate);
            continue;
        }
        if (!line.empty()) out.push_back(line);
        auto runs = splitWide(piece.text, font, width);
        // Broken, or kept whole and too wide: a smaller size may set it whole.
        split = split || runs.size() > 1 || font.widthOf(runs.back()) > width;
        for (std::size_t r = 0; r + 1 < runs.size(); ++r) out.push_back(runs[r]);
        line = runs.back();
        full = out.size() >= most;
        if (full) break;
    }
    if (!full) out.push_back(line);
}

// The text's paragraphs, parted wherever a line ends: LF, CR LF or a CR alone (files from
// other systems keep their own line ends).
std::vector<std::string> paragraphsOf(const std::string& text) {
    std::vector<std::string> out(1);
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (text[i] != '\n' && text[i] != '\r') {
            out.back() += text[i];
            continue;
        }
        if (text[i] == '\r' && i + 1 < text.size() && text[i + 1] == '\n') ++i;
        out.emplace_back();
    }
    return out;
}

}  // namespace

std::vector<std::string> Label::layoutLines(double width) const {
    bool cut = false, split = false;
    return wrappedLines(width, font_, cut, split);
}

std::vector<std::string> Label::wrappedLines(double width, const Font& font, bool& cut, bool& split,
                                             std::size_t most) const {
    std::vector<std::string> out;
    cut = false;
    split = false;
    if (text_.empty()) return out;
    // One line past the count tells that the text was cut.
    if (lines_ > 0) most = std::min(most, static_cast<std::size_t>(lines_) + 1);
    const auto paragraphs = paragraphsOf(text_);
    if (lines_ == 1) {
        // One line shows the whole text, each line end as a blank, cut with an ellipsis when
        // it is too long: a first line alone would read as the whole text.
        std::string line;
        for (std::size_t i = 0; i < paragraphs.size(); ++i) line += (i ? " " : "") + paragraphs[i];
        out.push_back(std::move(line));
    } else {
        for (std::size_t i = 0; i < paragraphs.size() && out.size() < most; ++i) {
            wrapParagraph(paragraphs[i], font, width > 0 ? width : 1e9, out, most, split);
        }
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

double TextSizeGroup::smallestBeside(const View& self) const {
    double smallest = 0;
    for (const auto& weak : members) {
        const auto member = weak.lock();
        if (!member || member.get() == &self) continue;
        const double size = member->fittedTextSize();
        if (size > 0 && (smallest == 0 || size < smallest)) smallest = size;
    }
    return smallest;
}

double Label::fittedTextSize() const { return text_.empty() ? 0 : ownFittedFont(bounds().size).size; }

Font Label::fittedFont(Size size) const {
    Font font = ownFittedFont(size);
    if (!sizeGroup_ || text_.empty()) return font;
    // Never below the smallest readable size, which no member shrinks past by itself.
    const double group = sizeGroup_->smallestBeside(*this);
    if (group >= Readability::kSmallestTextSize) font.size = std::min(font.size, group);
    return font;
}

Font Label::ownFittedFont(Size size) const {
    const double scale = shrinkScale();
    if (scale <= 0 || size.width <= 0) return font_;
    if (lines_ != 1) return fittedWrappingFont(size, scale);
    auto lines = layoutLines(size.width);
    double needed = lines.empty() ? 0 : font_.widthOf(lines.front());
    if (needed <= size.width) return font_;
    return Font{font_.name, font_.size * std::max(scale, size.width / needed)};
}

Font Label::fittedWrappingFont(Size size, double scale) const {
    // Half a point at a time, the largest size whose lines all show without a word split
    // across them; else the smallest allowed, where a word too long for a line takes a hyphen.
    const double smallest = font_.size * scale;
    for (double points = font_.size; points > smallest; points -= 0.5) {
        const Font font{font_.name, points};
        const auto room = static_cast<std::size_t>(std::max(1.0, std::floor((size.height + 0.5) / font.lineHeight())));
        bool cut = false, split = false;
        const auto lines = wrappedLines(size.width, font, cut, split, room + 1);
        if (!cut && !split && lines.size() <= room) return font;
    }
    return Font{font_.name, smallest};
}

std::vector<std::string> Label::fittedLines(double width, const Font& font, std::size_t most) const {
    bool cut = false, split = false;
    auto lines = wrappedLines(width, font, cut, split, most);
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
    // Layout measures with the faces' advance tables; a script they do not hold may be set
    // wider than measured, and is then narrowed to the frame rather than cut short of its
    // ellipsis.
    constexpr double kSqueeze = 0.5;
    if (shadowColor_) {
        ctx.drawText(joined, box.offsetBy(shadowOffset_.width, shadowOffset_.height), font, *shadowColor_, alignment_, kSqueeze);
    }
    Color c = highlighted_ && highlightedTextColor_ ? *highlightedTextColor_ : textColor_;
    ctx.drawText(joined, box, font, c, alignment_, kSqueeze);
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
