#include "platform/ui/LayoutCheck.h"

#include <algorithm>
#include <cctype>
#include <cmath>
#include <cstdio>
#include <optional>
#include <map>
#include <set>
#include <tuple>
#include <typeinfo>

#include <unicode/uchar.h>

#include "platform/graphics/DrawingContext.h"
#include "platform/graphics/GlyphCoverage.h"
#include "platform/ui/Button.h"
#include "platform/ui/Control.h"
#include "platform/ui/DrawnPaints.h"
#include "platform/ui/Readability.h"
#include "platform/ui/ScrollView.h"
#include "platform/ui/TableView.h"
#include "platform/ui/TableViewCell.h"
#include "platform/ui/View.h"
#include "platform/ui/ViewController.h"
#include "platform/ui/Window.h"

namespace plat {

namespace {

// Overlaps smaller than this (in both directions) are anti-aliasing, not a fault.
constexpr double kSlack = 1.5;

// The least room between two texts on one line.
constexpr double kTextGap = 2;

bool significant(const Rect& r) { return r.width() >= kSlack && r.height() >= kSlack; }

bool covers(const Rect& outer, const Rect& inner) {
    return outer.minX() <= inner.minX() + 0.5 && outer.minY() <= inner.minY() + 0.5 &&
           outer.maxX() >= inner.maxX() - 0.5 && outer.maxY() >= inner.maxY() - 0.5;
}

std::optional<Rect> clipped(const Rect& r, const std::optional<Rect>& clip) {
    if (!clip) return r;
    Rect out = r.intersection(*clip);
    if (out.isEmpty()) return std::nullopt;
    return out;
}

// Translation and scale: all the drawing code of the screens uses.
struct Transform {
    double sx = 1, sy = 1, tx = 0, ty = 0;
    Point map(Point p) const { return {p.x * sx + tx, p.y * sy + ty}; }
    Rect map(const Rect& r) const {
        Point a = map(r.origin);
        Point b = map({r.maxX(), r.maxY()});
        return {std::min(a.x, b.x), std::min(a.y, b.y), std::fabs(b.x - a.x), std::fabs(b.y - a.y)};
    }
};

struct DrawnText {
    std::string text;
    Rect ink;
    const View* view = nullptr;
    std::size_t order = 0;
    bool hidden = false;
    bool shadow = false;      // drawn again on top by its view: the text's shadow
    std::optional<Color> halo{};  // the colour of its own shadow hugging its glyphs
    Color color{};
    double size = 0;          // the point size the glyphs are drawn at
    std::string cutBy{};      // what cut it: the view's kind or "screen"; empty when whole
    std::string rowKind{};    // the table and kind of row it is drawn in; empty outside tables
    std::string role{};       // which of its row's views draws it
    bool scrolledOut = false; // partly scrolled out of its scroll view: a finger brings the rest
    bool sideways = false;    // in a view that scrolls sideways: its sides are no screen edge
};

struct Cover {
    Rect rect;
    const View* view = nullptr;
    std::size_t order = 0;
};

std::size_t leadingBlanks(const std::string& s) {
    std::size_t n = 0;
    while (n < s.size() && s[n] == ' ') ++n;
    return n;
}

std::size_t trailingBlanks(const std::string& s) {
    std::size_t n = 0;
    while (n < s.size() && s[s.size() - 1 - n] == ' ') ++n;
    return n;
}

struct Ink {
    Rect rect;
    double scale = 1;  // the smallest shrink of its lines
};

// Where the glyphs of a text command land, in the command's own coordinates: each line placed
// as the player places it (shrunk when the command allows), blanks at either end left out; the
// height from the capitals' top to below the baseline. Empty when nothing visible is drawn.
std::optional<Ink> inkOf(const DrawCommand& c) {
    const Font& f = c.font;
    if (c.text.empty() || f.size <= 0) return std::nullopt;
    double minX = 1e18, maxX = -1e18, smallest = 1;
    int lines = 0, lastInked = -1;
    std::size_t start = 0;
    while (start <= c.text.size()) {
        std::size_t end = c.text.find('\n', start);
        if (end == std::string::npos) end = c.text.size();
        const std::string line = c.text.substr(start, end - start);
        const std::size_t lead = leadingBlanks(line);
        if (lead < line.size()) {
            double width = f.widthOf(line);
            double scale = 1;
            if (c.value > 0 && width > c.rect.width() && c.rect.width() > 0) {
                scale = std::max(c.value, c.rect.width() / width);
            }
            width *= scale;
            smallest = std::min(smallest, scale);
            double x = c.rect.x();
            if (c.alignment == TextAlignment::Center) x += (c.rect.width() - width) / 2;
            if (c.alignment == TextAlignment::Right) x += c.rect.width() - width;
            const double from = x + f.widthOf(line.substr(0, lead)) * scale;
            const double to = x + width - f.widthOf(line.substr(line.size() - trailingBlanks(line))) * scale;
            minX = std::min(minX, from);
            maxX = std::max(maxX, to);
            lastInked = lines;
        }
        ++lines;
        start = end + 1;
    }
    if (lastInked < 0) return std::nullopt;
    const double top = c.rect.y() + 0.2 * f.size;
    const double bottom = c.rect.y() + lastInked * f.lineHeight() + 1.1 * f.size;
    return Ink{Rect{minX, top, maxX - minX, bottom - top}, smallest};
}

// What of `wanted` a clip leaves out, in either direction.
bool cutsOff(const Rect& wanted, const Rect& left) {
    return wanted.width() - left.width() > kSlack || wanted.height() - left.height() > kSlack;
}

double median(std::vector<double> values) {
    std::sort(values.begin(), values.end());
    return values[values.size() / 2];
}

std::string rectText(const Rect& r) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "%.0f,%.0f %.0fx%.0f", r.x(), r.y(), r.width(), r.height());
    return buf;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

// The longest unit a number carries, in characters ("мкЗв/ч").
constexpr std::size_t kLongestUnit = 6;

std::string number(double value) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%.1f", value);
    std::string out = buf;
    if (out.ends_with(".0")) out.resize(out.size() - 2);
    return out;
}

std::size_t characters(const std::string& s) {
    std::size_t n = 0;
    for (std::size_t i = 0; i < s.size(); nextCodePoint(s, i)) ++n;
    return n;
}

std::vector<std::string> linesOf(const std::string& text) {
    std::vector<std::string> out;
    std::size_t start = 0;
    while (start <= text.size()) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        out.push_back(text.substr(start, end - start));
        start = end + 1;
    }
    return out;
}

std::string trimmed(const std::string& s) {
    const std::size_t lead = leadingBlanks(s);
    return s.substr(lead, s.size() - lead - trailingBlanks(s.substr(lead)));
}

char32_t lastCodePoint(const std::string& s) {
    std::size_t i = s.size();
    while (i > 0 && (static_cast<unsigned char>(s[i - 1]) & 0xC0) == 0x80) --i;
    if (i == 0) return 0;
    --i;
    return nextCodePoint(s, i);
}

char32_t firstCodePoint(const std::string& s, std::size_t at = 0) {
    return at < s.size() ? nextCodePoint(s, at) : 0;
}

// A letter of the scripts that set words apart with blanks.
bool wordLetter(char32_t cp) { return cp && u_isalpha(static_cast<UChar32>(cp)) && !isWideCharacter(cp); }

bool endsWithHyphen(const std::string& line) {
    const char32_t last = lastCodePoint(line);
    return last == '-' || last == 0x2010 || last == 0xAD;
}

// The two pieces of a word that the lines of `drawn` break inside without a hyphen ("Dosisleistungseinstellun"
// and "gen"), found by following the lines through the view's whole text; none when every break
// falls at a blank, after a hyphen or between wide characters.
std::optional<std::pair<std::string, std::string>> brokenWord(const std::string& whole, const std::string& drawn) {
    const auto lines = linesOf(drawn);
    std::size_t at = 0;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const std::string line = trimmed(lines[i]);
        const std::size_t found = whole.find(line, at);
        if (line.empty() || found == std::string::npos) return std::nullopt;
        at = found + line.size();
        if (endsWithHyphen(line) || !wordLetter(lastCodePoint(line)) || !wordLetter(firstCodePoint(whole, at))) continue;
        const std::size_t wordStart = line.find_last_of(' ') == std::string::npos ? 0 : line.find_last_of(' ') + 1;
        const std::string next = trimmed(lines[i + 1]);
        return std::pair{line.substr(wordStart), next.substr(0, next.find(' '))};
    }
    return std::nullopt;
}

// Whether the view's own text ends a line right after `line`, found from `at` on (which moves
// past it): a break the text holds is no break the layout made.
bool textBreaksAfter(const std::string& whole, const std::string& line, std::size_t& at) {
    const std::size_t found = whole.find(line, at);
    if (line.empty() || found == std::string::npos) return false;
    at = found + line.size();
    const std::size_t next = whole.find_first_not_of(' ', at);
    return next != std::string::npos && (whole[next] == '\n' || whole[next] == '\r');
}

// A number ending one line whose unit (a short word without digits) begins the next: "0.10"
// and "µSv/h". A line the view's text `whole` ends itself parts nothing ("Skipped: 0").
std::optional<std::pair<std::string, std::string>> brokenUnit(const std::string& whole, const std::string& drawn) {
    const auto lines = linesOf(drawn);
    std::size_t at = 0;
    for (std::size_t i = 0; i + 1 < lines.size(); ++i) {
        const std::string line = trimmed(lines[i]);
        if (textBreaksAfter(whole, line, at)) continue;
        const std::string next = trimmed(lines[i + 1]);
        // A unit broken at its slash: "µSv/" and "h".
        if (line.ends_with('/') && !next.empty() && next.front() != ' ') {
            const std::string first = line.substr(line.find_last_of(' ') == std::string::npos ? 0 : line.find_last_of(' ') + 1);
            const std::string rest = next.substr(0, next.find(' '));
            if (first.size() > 1 && characters(first + rest) <= kLongestUnit) return std::pair{first, rest};
        }
        if (line.empty() || !std::isdigit(static_cast<unsigned char>(line.back()))) continue;
        const std::string unit = next.substr(0, next.find(' '));
        std::size_t letters = 0;
        bool digits = false;
        for (std::size_t j = 0; j < unit.size();) {
            digits = digits || std::isdigit(static_cast<unsigned char>(unit[j]));
            nextCodePoint(unit, j);
            ++letters;
        }
        if (letters == 0 || letters > kLongestUnit || digits) continue;
        return std::pair{line.substr(line.find_last_of(' ') == std::string::npos ? 0 : line.find_last_of(' ') + 1), unit};
    }
    return std::nullopt;
}

// The number that `drawn`, a line of the view's text `whole` ending in an ellipsis, cuts short:
// digits on both sides of the cut, within one run of digits and their separators ("00:…" of
// "00:30:00", "07.12.2026 0…"). Only in a figure, a text that begins with its number: a caption
// or a name may lose its end and stay what it is; a figure that loses its end reads as another
// number, or as none. None when the cut falls between words.
std::optional<std::string> cutFigure(const std::string& whole, const std::string& drawn) {
    static const std::string kEllipsis = "\u2026";
    const std::size_t first = whole.find_first_not_of(" +-");
    if (first == std::string::npos || !std::isdigit(static_cast<unsigned char>(whole[first]))) return std::nullopt;
    if (!drawn.ends_with(kEllipsis)) return std::nullopt;
    std::string kept = drawn.substr(0, drawn.size() - kEllipsis.size());
    kept = kept.substr(kept.find_last_of('\n') == std::string::npos ? 0 : kept.find_last_of('\n') + 1);
    const std::size_t at = kept.empty() ? std::string::npos : whole.find(kept);
    if (at == std::string::npos) return std::nullopt;
    const auto inFigure = [](char c) { return std::isdigit(static_cast<unsigned char>(c)) || c == '.' || c == ',' || c == ':'; };
    std::size_t from = at + kept.size(), to = from;
    while (from > 0 && inFigure(whole[from - 1])) --from;
    while (to < whole.size() && inFigure(whole[to])) ++to;
    const auto hasDigit = [&](std::size_t begin, std::size_t end) {
        return std::any_of(whole.begin() + static_cast<std::ptrdiff_t>(begin), whole.begin() + static_cast<std::ptrdiff_t>(end),
                           [](char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; });
    };
    const std::size_t cut = at + kept.size();
    if (!hasDigit(from, cut) || !hasDigit(cut, to)) return std::nullopt;
    return whole.substr(from, to - from);
}

// The table and kind of row a view draws in, and the view's place in the row ("table/kind",
// "0.2"); empty outside a table's rows.
std::pair<std::string, std::string> rowPlace(const View& v) {
    std::string role;
    for (const View* at = &v; at && at->superview(); at = at->superview()) {
        const View* parent = at->superview();
        const auto& siblings = parent->subviews();
        const auto it = std::find_if(siblings.begin(), siblings.end(), [&](const auto& s) { return s.get() == at; });
        role = std::to_string(it - siblings.begin()) + (role.empty() ? "" : "." + role);
        if (const auto* row = dynamic_cast<const TableViewCell*>(parent)) {
            const View* table = row->superview();
            while (table && !dynamic_cast<const TableView*>(table)) table = table->superview();
            if (!table) return {};
            char id[32];
            std::snprintf(id, sizeof id, "%p/", static_cast<const void*>(table));
            return {id + std::string(typeid(*row).name()) + "/" + row->reuseIdentifier(), role};
        }
    }
    return {};
}

class Walker {
public:
    std::vector<LayoutProblem> run(View& root) {
        screen_ = Rect{root.convertPoint(root.bounds().origin, nullptr), root.bounds().size};
        if (auto* window = dynamic_cast<Window*>(&root)) {
            ViewController* cover = window->coveringScreen();
            if (cover && cover != window->rootViewController().get()) presented_ = cover;
        }
        visit(root, std::nullopt, root, 1, false, Scroller{screen_.maxY(), screen_.maxY(), "screen", nullptr});
        finishLayer();
        return std::move(problems_);
    }

private:
    // The nearest view that cuts what it holds at its bottom (or the screen): where it cuts,
    // and how far down scrolling can bring content into it.
    struct Scroller {
        double bottom = 0, reachable = 0;
        std::string kind;
        const View* view = nullptr;
        bool sideways = false;  // its content is wider than it and scrolls
    };

    static Scroller scrollerOf(const View& v, const Rect& area, const Scroller& outer) {
        if (!v.clipsToBounds()) return outer;
        Scroller s{area.maxY(), area.maxY(), v.kindName(), &v};
        auto* scroll = dynamic_cast<const ScrollView*>(&v);
        if (scroll && scroll->isScrollEnabled() && scroll->acceptsTouches()) {
            const double contentBottom = area.y() - v.bounds().y() + scroll->contentSize().height + scroll->adjustedContentInset().bottom;
            s.reachable = std::max(s.bottom, contentBottom);
            s.sideways = scroll->contentSize().width > v.bounds().width() + 0.5;
        }
        return s;
    }

    // `clip` is what the ancestors let through; `alpha` their opacity; `offScreen` tells that
    // an ancestor was already named as partly off screen; `scroller` is the view that cuts the
    // content at its bottom.
    void visit(View& v, std::optional<Rect> clip, const View& root, double alpha, bool offScreen, Scroller scroller) {
        if (v.isHidden() || v.alpha() <= 0.01) return;
        alpha *= v.alpha();
        // What lies behind a modal overlay is dimmed and cannot be touched: only the overlay
        // is judged from here on.
        const bool overlay = &v != &root && v.isModalOverlay();
        if (overlay) {
            problems_.clear();
            texts_.clear();
            covers_.clear();
            unreachable_.clear();
            popUps_.clear();
        }
        const Rect area{v.convertPoint(v.bounds().origin, nullptr), v.bounds().size};
        if (!offScreen && &v != &root && outsideScreen(area, clip)) {
            problems_.push_back({LayoutProblem::Kind::ViewOffScreen, v.displayText(), {}, v.kindName(), area});
            offScreen = true;
        }
        const std::optional<Rect> inherited = clip;
        // What the view shows at all: within its ancestors' clips and on the screen.
        const auto onScreen = [&] { return clipped(screen_, clip).value_or(Rect{}); };
        // A view cuts what it draws to its bounds, the screen cuts everything; a scroll view's
        // bounds are a window onto content that scrolls, so they cut nothing of its own.
        Rect own = screen_;
        std::optional<Rect> cutting = inherited;  // a cut by these is a fault of the text
        const bool scrolls = dynamic_cast<const ScrollView*>(&v) != nullptr;
        if (v.clipsToBounds()) {
            auto inside = clipped(area, clip);
            if (!inside) return;
            clip = inside;
            if (!scrolls) own = own.intersection(area);
            if (scrolls) cutting = inside;
        }
        scroller = scrollerOf(v, area, scroller);
        const std::size_t before = order_;
        if (const auto& bg = v.backgroundColor(); bg && bg->a > 0) {
            paint(area, clip, v, bg->withAlpha(bg->a * alpha));
        }
        if (const auto& image = v.backgroundImage()) drawnImage(image, area, clip, v, alpha, true);
        DrawingContext recording;
        v.drawRect(recording, v.bounds());
        Transform t{1, 1, area.x() - v.bounds().x(), area.y() - v.bounds().y()};
        scroller_ = scroller;
        play(recording.commands(), t, Clips{cutting, onScreen(), own}, v, area, alpha);
        for (const auto& s : std::vector<std::shared_ptr<View>>(v.subviews())) {
            visit(*s, clip, root, alpha, offScreen, scroller);
        }
        if (v.isPopUp()) notePopUp(v, area, inherited);
        if (order_ == before && !area.isEmpty() && dynamic_cast<const Control*>(&v)) {
            problems_.push_back({LayoutProblem::Kind::DrawsNothing, {}, {}, v.kindName(), area});
        }
        if (overlay && !paints_.coversArea(screen_, before + 1, kDimming, kGrid)) {
            problems_.push_back({LayoutProblem::Kind::NoBackdrop, v.displayText(), {}, v.kindName(), area});
        }
        if (presented_ && v.viewController() == presented_ && !paints_.coversArea(screen_, 0, kOpaque, kGrid)) {
            problems_.push_back({LayoutProblem::Kind::NoBackdrop, presented_->title(), {}, v.kindName(), area});
        }
    }

    // The view shows something outside the screen: its visible part is not all on it.
    bool outsideScreen(const Rect& area, const std::optional<Rect>& clip) const {
        auto seen = clipped(area, clip);
        if (!seen || !significant(*seen)) return false;
        auto onScreen = clipped(*seen, screen_);
        return onScreen && cutsOff(*seen, *onScreen);
    }

    struct Clips {
        std::optional<Rect> inherited;  // what the ancestors let through
        std::optional<Rect> all;        // and the view itself
        Rect own;                       // what the view and the screen let through
    };

    void play(const std::vector<DrawCommand>& commands, Transform t, Clips clip, const View& v, const Rect& area,
              double viewAlpha) {
        struct State {
            Transform t;
            Clips clip;
            Color fill;
            double alpha;
        };
        std::vector<State> stack;
        Color fill = Color::black();
        double alpha = 1;
        std::optional<Rect> path;
        auto extend = [&](const Rect& r) {
            Rect m = t.map(r);
            if (!path) {
                path = m;
            } else {
                double x0 = std::min(path->minX(), m.minX()), y0 = std::min(path->minY(), m.minY());
                double x1 = std::max(path->maxX(), m.maxX()), y1 = std::max(path->maxY(), m.maxY());
                path = Rect{x0, y0, x1 - x0, y1 - y0};
            }
        };
        auto clipTo = [&](const std::optional<Rect>& r) {
            clip.all = r ? clipped(*r, clip.all).value_or(Rect{}) : Rect{};
            clip.own = r ? r->intersection(clip.own) : Rect{};
        };
        for (const auto& c : commands) {
            switch (c.op) {
                case DrawOp::SaveState: stack.push_back({t, clip, fill, alpha}); break;
                case DrawOp::RestoreState:
                    if (stack.empty()) break;
                    t = stack.back().t;
                    clip = stack.back().clip;
                    fill = stack.back().fill;
                    alpha = stack.back().alpha;
                    stack.pop_back();
                    break;
                case DrawOp::Translate:
                    t.tx += t.sx * c.point.x;
                    t.ty += t.sy * c.point.y;
                    break;
                case DrawOp::Scale:
                    t.sx *= c.point.x;
                    t.sy *= c.point.y;
                    break;
                case DrawOp::SetFillColor: fill = c.color; break;
                case DrawOp::SetAlpha: alpha = c.value; break;
                case DrawOp::ClipToRect: clipTo(t.map(c.rect)); break;
                case DrawOp::ClipToPath:
                    clipTo(path);
                    path.reset();
                    break;
                case DrawOp::BeginPath: path.reset(); break;
                case DrawOp::MoveTo:
                case DrawOp::LineTo: extend(Rect{c.point, Size{}}); break;
                case DrawOp::AddArc:
                    extend(Rect{c.point.x - c.value, c.point.y - c.value, 2 * c.value, 2 * c.value});
                    break;
                case DrawOp::AddRect:
                case DrawOp::AddEllipse: extend(c.rect); break;
                case DrawOp::FillRect: paint(t.map(c.rect), clip.all, v, fill.withAlpha(fill.a * alpha * viewAlpha)); break;
                case DrawOp::FillPath:
                case DrawOp::FillStrokePath:
                    if (path) paint(*path, clip.all, v, fill.withAlpha(fill.a * alpha * viewAlpha));
                    path.reset();
                    break;
                case DrawOp::StrokePath: path.reset(); break;
                case DrawOp::DrawText: drawnText(c, t, clip, v, area, alpha * viewAlpha); break;
                case DrawOp::DrawImage: drawnImage(c.image, t.map(c.rect), clip.all, v, alpha * viewAlpha, false); break;
                default: break;
            }
        }
    }

    void addCover(const Rect& r, const std::optional<Rect>& clip, const View& v) {
        if (auto shown = clipped(r, clip)) covers_.push_back({*shown, &v, order_});
    }

    // What was drawn at `shown` by `v`, in drawing order.
    DrawnPaints::Paint paintAt(const Rect& shown, const View& v) const {
        DrawnPaints::Paint p;
        p.rect = shown;
        p.order = order_;
        p.view = &v;
        return p;
    }

    // A fill: what lies beneath texts, and a cover when it hides what is under it.
    void paint(const Rect& r, const std::optional<Rect>& clip, const View& v, const Color& color) {
        ++order_;
        auto shown = clipped(r, clip);
        if (!shown) return;
        DrawnPaints::Paint p = paintAt(*shown, v);
        p.color = color;
        paints_.add(std::move(p));
        if (color.a >= kOpaque) addCover(r, clip, v);
    }

    void drawnImage(const ImagePtr& image, const Rect& r, const std::optional<Rect>& clip, const View& v, double alpha,
                    bool pattern) {
        if (!image) return;
        ++order_;
        if (!image->hasPixels()) {
            problems_.push_back({LayoutProblem::Kind::ImageMissing, image->name(), {}, v.kindName(), r});
            return;
        }
        if (alpha >= kOpaque) addCover(r, clip, v);
        auto shown = clipped(r, clip);
        if (!shown) return;
        DrawnPaints::Paint p = paintAt(*shown, v);
        p.image = image;
        p.imageRect = r;
        p.alpha = alpha;
        p.pattern = pattern;
        auto* button = dynamic_cast<const Button*>(&v);
        p.buttonBackground = button && button->currentBackgroundImage() == image;
        paints_.add(std::move(p));
    }

    void drawnText(const DrawCommand& c, const Transform& t, const Clips& clip, const View& v, const Rect& area,
                   double alpha) {
        ++order_;
        auto ink = inkOf(c);
        if (!ink) return;
        const Rect full = t.map(ink->rect);
        judgeReach(c.text, full, v);
        auto shown = clipped(full, clip.all);
        if (!shown) return;
        if (!covers(area.insetBy(-1, -1), *shown)) {
            problems_.push_back({LayoutProblem::Kind::TextOutsideView, c.text, {}, v.kindName(), *shown});
        }
        if (auto word = brokenWord(v.displayText(), c.text)) {
            problems_.push_back({LayoutProblem::Kind::WordBroken, c.text, word->first + "|" + word->second, v.kindName(), *shown});
        }
        if (auto unit = brokenUnit(v.displayText(), c.text)) {
            problems_.push_back({LayoutProblem::Kind::UnitBroken, c.text, unit->first + "|" + unit->second, v.kindName(), *shown});
        }
        judgeGlyphs(c, v, *shown);
        if (auto figure = cutFigure(v.displayText(), c.text)) {
            problems_.push_back({LayoutProblem::Kind::FigureCut, c.text, *figure, v.kindName(), *shown});
        }
        DrawnText text{c.text, *shown, &v, order_};
        std::tie(text.rowKind, text.role) = rowPlace(v);
        text.color = c.color.withAlpha(c.color.a * alpha);
        text.size = c.font.size * ink->scale * std::fabs(t.sy);
        // Cut by the view or the screen when the ancestors would have shown more of it.
        if (auto allowed = clipped(full, clip.inherited); allowed && cutsOff(*allowed, *shown)) {
            auto onScreen = clipped(*allowed, screen_);
            text.cutBy = !onScreen || cutsOff(*allowed, *onScreen) ? "screen" : v.kindName();
        }
        text.scrolledOut = text.cutBy.empty() && cutsOff(full, *shown);
        text.sideways = scroller_.sideways;
        if (!texts_.empty() && texts_.back().view == &v && texts_.back().text == c.text) {
            DrawnText& shadow = texts_.back();
            shadow.shadow = true;
            const double offset = std::max(std::fabs(shadow.ink.x() - text.ink.x()), std::fabs(shadow.ink.y() - text.ink.y()));
            if (offset <= kHalo) text.halo = shadow.color;
        }
        texts_.push_back(std::move(text));
    }

    // A character no face has drawn as an empty box: a name a person cannot read.
    void judgeGlyphs(const DrawCommand& c, const View& v, const Rect& shown) {
        std::vector<char32_t> missing;
        for (const auto& line : linesOf(c.text)) {
            for (char32_t cp : charactersWithoutGlyph(c.font, line)) {
                if (std::find(missing.begin(), missing.end(), cp) == missing.end()) missing.push_back(cp);
            }
        }
        if (missing.empty()) return;
        std::string names;
        for (char32_t cp : missing) {
            char name[16];
            std::snprintf(name, sizeof name, "%sU+%04X", names.empty() ? "" : " ", static_cast<unsigned>(cp));
            names += name;
        }
        problems_.push_back({LayoutProblem::Kind::GlyphMissing, c.text, names, v.kindName(), shown});
    }

    // A text below the bottom of the view that cuts it, where scrolling cannot bring it: named
    // once for each such view, with the first text it hides.
    void judgeReach(const std::string& text, const Rect& full, const View& v) {
        if (full.maxY() <= scroller_.bottom + kSlack || full.maxY() <= scroller_.reachable + kSlack) return;
        if (!unreachable_.insert(scroller_.view).second) return;
        problems_.push_back({LayoutProblem::Kind::ContentPastBottom, text, scroller_.kind, v.kindName(), full});
    }

    // What names a pop-up in a report: its own text, else that of its first labelled part.
    static std::string popUpText(const View& v) {
        if (auto text = v.displayText(); !text.empty()) return text;
        for (const auto& s : v.subviews()) {
            if (auto text = s->displayText(); !text.empty()) return text;
        }
        return {};
    }

    // A pop-up is judged once everything after it is drawn: whatever covers it then hides it.
    void notePopUp(const View& v, const Rect& area, const std::optional<Rect>& clip) {
        const auto seen = clipped(area, clip);
        if (!seen || cutsOff(area, *seen)) {
            const View* cutter = v.superview();
            while (cutter && !cutter->clipsToBounds()) cutter = cutter->superview();
            // measure 1: cut rather than covered
            problems_.push_back({LayoutProblem::Kind::PopUpHidden, popUpText(v), cutter ? cutter->kindName() : "screen",
                                 v.kindName(), area, 1});
            return;
        }
        popUps_.push_back({area, &v, order_});
    }

    void judgePopUps() {
        for (const auto& popUp : popUps_) {
            for (const auto& cover : covers_) {
                if (cover.order <= popUp.order || !significant(cover.rect.intersection(popUp.rect))) continue;
                problems_.push_back({LayoutProblem::Kind::PopUpHidden, popUpText(*popUp.view), cover.view->kindName(),
                                     popUp.view->kindName(), cover.rect.intersection(popUp.rect)});
                break;
            }
        }
        popUps_.clear();
    }

    // Judges the texts of one layer against each other and the views drawn over them.
    void finishLayer() {
        judgePopUps();
        for (auto& text : texts_) {
            judgeCovers(text);
            if (!text.hidden && !text.shadow) judgeReadable(text);
        }
        for (std::size_t i = 0; i < texts_.size(); ++i) {
            for (std::size_t j = i + 1; j < texts_.size(); ++j) judgePair(texts_[i], texts_[j]);
        }
        judgeRowSizes();
        texts_.clear();
        covers_.clear();
    }

    void judgeCovers(DrawnText& text) {
        const Cover* partial = nullptr;
        for (const auto& cover : covers_) {
            if (cover.order < text.order || cover.view == text.view) continue;
            if (covers(cover.rect, text.ink)) {
                text.hidden = true;
                return;
            }
            if (!partial && significant(cover.rect.intersection(text.ink))) partial = &cover;
        }
        if (partial && !scrollsClear(*text.view, text.ink, partial->rect)) {
            problems_.push_back({LayoutProblem::Kind::TextCovered, text.text, partial->view->kindName(),
                                 text.view->kindName(), text.ink});
        }
    }

    // A row partly under a bar drawn over its list's edge is brought clear of the bar by a
    // finger, as long as the list has not reached its end in that direction.
    static bool scrollsClear(const View& v, const Rect& ink, const Rect& cover) {
        const ScrollView* scroll = nullptr;
        for (const View* at = v.superview(); at && !scroll; at = at->superview()) scroll = dynamic_cast<const ScrollView*>(at);
        if (!scroll || !scroll->isScrollEnabled()) return false;
        const Rect area{scroll->convertPoint(scroll->bounds().origin, nullptr), scroll->bounds().size};
        const EdgeInsets in = scroll->adjustedContentInset();
        const double at = scroll->contentOffset().y;
        const double end = std::max(-in.top, scroll->contentSize().height + in.bottom - area.height());
        const Rect under = cover.intersection(ink);
        if (in.bottom > 0 && under.minY() >= area.maxY() - in.bottom - kSlack) {
            return ink.maxY() - (end - at) <= area.maxY() - in.bottom + kSlack;
        }
        if (in.top > 0 && under.maxY() <= area.minY() + in.top + kSlack) {
            return ink.minY() + (at + in.top) >= area.minY() + in.top - kSlack;
        }
        return false;
    }

    // Whether a person can read the text where it is: whole, large enough, apart from what is
    // beneath it.
    void judgeReadable(const DrawnText& text) {
        const std::string kind = text.view->kindName();
        // Text on a phone keeps a margin from the screen's sides; one against them looks cut.
        if (text.cutBy.empty() && !text.scrolledOut && !text.sideways &&
            (text.ink.minX() < screen_.minX() + kEdgeMargin || text.ink.maxX() > screen_.maxX() - kEdgeMargin)) {
            problems_.push_back({LayoutProblem::Kind::TextAtEdge, text.text, {}, kind, text.ink});
        }
        if (!text.cutBy.empty()) {
            problems_.push_back({LayoutProblem::Kind::TextClipped, text.text, text.cutBy, kind, text.ink});
        }
        if (text.size < Readability::kSmallestTextSize - 0.05) {
            problems_.push_back({LayoutProblem::Kind::TextTooSmall, text.text, {}, kind, text.ink, text.size});
        }
        std::vector<double> ratios;
        for (int row = 1; row <= 3; ++row) {
            for (int col = 1; col <= 5; ++col) {
                const Point p{text.ink.minX() + text.ink.width() * col / 6, text.ink.minY() + text.ink.height() * row / 4};
                const Color beneath = paints_.colorAt(p, text.order);
                double ratio = DrawnPaints::contrastRatio(DrawnPaints::over(text.color, beneath), beneath);
                // A shadow that hugs the glyphs outlines them, as a halo does.
                if (text.halo) {
                    const Color outline = DrawnPaints::over(*text.halo, beneath);
                    ratio = std::max(ratio, DrawnPaints::contrastRatio(DrawnPaints::over(text.color, outline), outline));
                }
                ratios.push_back(ratio);
            }
        }
        if (const double ratio = median(ratios); ratio < Readability::kMinimumContrast) {
            problems_.push_back({LayoutProblem::Kind::LowContrast, text.text, {}, kind, text.ink, ratio});
        }
        const Paint* picture = nullptr;
        auto counts = [&](const Paint& p) {
            if (p.pattern || (p.buttonBackground && p.view == text.view)) return false;
            picture = &p;
            return true;
        };
        const auto [busy, sampled] = paints_.busyPicturePoints(text.ink, text.order, counts);
        // A few pixels are the anti-aliased rim of a picture beside the text.
        if (picture && busy >= 4 && busy * 20 >= sampled) {
            problems_.push_back({LayoutProblem::Kind::TextOverPicture, text.text, picture->image->name(), kind, text.ink});
        }
    }

    void judgePair(const DrawnText& a, const DrawnText& b) {
        if (a.hidden || b.hidden) return;
        if (a.view == b.view && a.text == b.text) return;  // a text and its shadow
        const Rect both = a.ink.intersection(b.ink);
        if (!significant(both)) {
            judgeGap(a, b);
            return;
        }
        for (const auto& cover : covers_) {
            if (cover.order > a.order && cover.order < b.order && covers(cover.rect, both)) return;
        }
        problems_.push_back({LayoutProblem::Kind::TextsOverlap, a.text, b.text, a.view->kindName(), both});
    }

    // Two texts side by side on one line read as one when nothing parts them: "0.42 µSv/hMax:".
    void judgeGap(const DrawnText& a, const DrawnText& b) {
        const double top = std::max(a.ink.minY(), b.ink.minY());
        const double bottom = std::min(a.ink.maxY(), b.ink.maxY());
        if (bottom - top < 0.5 * std::min(a.ink.height(), b.ink.height())) return;  // not on one line
        const double gap = std::max(a.ink.minX(), b.ink.minX()) - std::min(a.ink.maxX(), b.ink.maxX());
        if (gap >= kTextGap) return;
        const DrawnText& left = a.ink.minX() <= b.ink.minX() ? a : b;
        const DrawnText& right = &left == &a ? b : a;
        const Rect between{left.ink.maxX() - 1, top, std::max(2.0, right.ink.minX() - left.ink.maxX() + 2), bottom - top};
        problems_.push_back({LayoutProblem::Kind::TextsTouch, left.text, right.text, left.view->kindName(), between});
    }

    // The rows of one kind in one table are one list: the same text of each is set at one size.
    void judgeRowSizes() {
        std::map<std::pair<std::string, std::string>, std::vector<const DrawnText*>> places;
        for (const auto& text : texts_) {
            if (!text.rowKind.empty() && !text.hidden && !text.shadow) places[{text.rowKind, text.role}].push_back(&text);
        }
        for (const auto& [place, texts] : places) {
            const auto [small, large] = std::minmax_element(texts.begin(), texts.end(),
                                                             [](const auto* x, const auto* y) { return x->size < y->size; });
            if ((*large)->size - (*small)->size <= kSizeSlack) continue;
            problems_.push_back({LayoutProblem::Kind::RowSizesDiffer, (*small)->text, (*large)->text,
                                 (*small)->view->kindName(), (*small)->ink, (*small)->size});
        }
    }

    using Paint = DrawnPaints::Paint;
    // Paints at least this opaque hide what is beneath them; an overlay dims the screen with
    // at least this much; coverage is sampled on a grid of this many points.
    static constexpr double kOpaque = 0.9;
    static constexpr double kDimming = 0.05;
    static constexpr double kGrid = 8;
    // A shadow at most this far from its text outlines it.
    static constexpr double kHalo = 2;
    // The least room between a text and the screen's sides.
    static constexpr double kEdgeMargin = 3;
    // Sizes closer than this (points) look the same.
    static constexpr double kSizeSlack = 0.25;

    Rect screen_;
    Scroller scroller_;                    // of the view being played
    std::set<const View*> unreachable_;    // views already named for content past their bottom
    const ViewController* presented_ = nullptr;
    DrawnPaints paints_;
    std::vector<DrawnText> texts_;
    std::vector<Cover> covers_;
    std::vector<Cover> popUps_;  // each pop-up's area, with the order of the last thing it drew
    std::vector<LayoutProblem> problems_;
    std::size_t order_ = 0;
};

void prepare(View& v) {
    if (v.isHidden()) return;
    v.updateForInspection();
    for (const auto& s : std::vector<std::shared_ptr<View>>(v.subviews())) prepare(*s);
}

}  // namespace

std::string LayoutProblem::description() const {
    const std::string at = " (at " + rectText(where) + ")";
    switch (kind) {
        case Kind::TextOutsideView: return quoted(text) + " runs outside its " + view + at;
        case Kind::TextsOverlap: return quoted(text) + " and " + quoted(other) + " are drawn over each other" + at;
        case Kind::TextCovered: return quoted(text) + " is partly drawn under a " + other + at;
        case Kind::ImageMissing: return view + " shows the image " + quoted(text) + ", which has no picture" + at;
        case Kind::DrawsNothing: return view + " draws nothing" + at;
        case Kind::TextClipped:
            return quoted(text) + " is cut off by " + (other == "screen" ? "the screen edge" : "its " + other) +
                   " without an ellipsis" + at;
        case Kind::TextTooSmall:
            return quoted(text) + " is drawn at " + number(measure) + " pt, below the smallest readable size of " +
                   number(Readability::kSmallestTextSize) + " pt" + at;
        case Kind::LowContrast:
            return quoted(text) + " has a contrast of " + number(measure) + ":1 against what is beneath it, under " +
                   number(Readability::kMinimumContrast) + ":1" + at;
        case Kind::TextOverPicture: return quoted(text) + " is drawn over the picture " + quoted(other) + at;
        case Kind::ViewOffScreen:
            return view + (text.empty() ? "" : " " + quoted(text)) + " lies partly off the screen" + at;
        case Kind::TextAtEdge: return quoted(text) + " touches the edge of the screen" + at;
        case Kind::TextsTouch:
            return quoted(text) + " and " + quoted(other) + " touch without a gap of " + number(kTextGap) + " pt" + at;
        case Kind::WordBroken: return quoted(text) + " breaks a word without a hyphen: " + quoted(other) + at;
        case Kind::UnitBroken: return quoted(text) + " parts a number from its unit: " + quoted(other) + at;
        case Kind::RowSizesDiffer:
            return quoted(text) + " is drawn at " + number(measure) + " pt, smaller than " + quoted(other) +
                   " in a row of the same kind" + at;
        case Kind::FigureCut: return quoted(text) + " cuts the number " + quoted(other) + " short" + at;
        case Kind::ContentPastBottom:
            return quoted(text) + " lies past the bottom of " + (other == "screen" ? "the screen" : "its " + other) +
                   ", where no scrolling reaches it" + at;
        case Kind::PopUpHidden:
            return "the " + view + (text.empty() ? "" : " " + quoted(text)) +
                   (measure == 0 ? " is drawn under a " + other
                                 : other == "screen" ? " is cut by the screen edge" : " is cut by its " + other) + at;
        case Kind::GlyphMissing: return quoted(text) + " draws " + other + " without a glyph" + at;
        case Kind::NoBackdrop:
            return "the modal " + view + (text.empty() ? "" : " " + quoted(text)) +
                   " leaves the screen beneath it without a backdrop" + at;
    }
    return {};
}

std::vector<LayoutProblem> LayoutCheck::run(View& root) {
    prepare(root);
    root.layoutIfNeeded();
    auto found = Walker().run(root);
    // One line per fault: a text drawn twice (with its shadow) would otherwise be named twice.
    std::vector<LayoutProblem> out;
    std::set<std::string> seen;
    for (auto& p : found) {
        std::string key = std::to_string(static_cast<int>(p.kind)) + p.view + "\n" + p.text + "\n" + p.other;
        if (seen.insert(key).second) out.push_back(std::move(p));
    }
    return out;
}

std::string LayoutCheck::report(const std::vector<LayoutProblem>& problems) {
    std::string out;
    for (const auto& p : problems) out += p.description() + "\n";
    return out;
}

}  // namespace plat
