#include "platform/ui/LayoutCheck.h"

#include <cmath>
#include <cstdio>
#include <optional>
#include <set>

#include "platform/graphics/DrawingContext.h"
#include "platform/ui/Control.h"
#include "platform/ui/View.h"

namespace plat {

namespace {

// Overlaps smaller than this (in both directions) are anti-aliasing, not a fault.
constexpr double kSlack = 1.5;

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

// Where the glyphs of a text command land, in the command's own coordinates: each line placed
// as the player places it (shrunk when the command allows), blanks at either end left out; the
// height from the capitals' top to below the baseline. Empty when nothing visible is drawn.
std::optional<Rect> inkOf(const DrawCommand& c) {
    const Font& f = c.font;
    if (c.text.empty() || f.size <= 0) return std::nullopt;
    double minX = 1e18, maxX = -1e18;
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
    return Rect{minX, top, maxX - minX, bottom - top};
}

std::string rectText(const Rect& r) {
    char buf[80];
    std::snprintf(buf, sizeof buf, "%.0f,%.0f %.0fx%.0f", r.x(), r.y(), r.width(), r.height());
    return buf;
}

std::string quoted(const std::string& s) { return "\"" + s + "\""; }

class Walker {
public:
    std::vector<LayoutProblem> run(View& root) {
        visit(root, std::nullopt, root);
        finishLayer();
        return std::move(problems_);
    }

private:
    void visit(View& v, std::optional<Rect> clip, const View& root) {
        if (v.isHidden() || v.alpha() <= 0.01) return;
        // What lies behind a modal overlay is dimmed and cannot be touched: only the overlay
        // is judged from here on.
        if (&v != &root && v.isModalOverlay()) {
            problems_.clear();
            texts_.clear();
            covers_.clear();
        }
        const Rect area{v.convertPoint(v.bounds().origin, nullptr), v.bounds().size};
        if (v.clipsToBounds()) {
            auto inside = clipped(area, clip);
            if (!inside) return;
            clip = inside;
        }
        const std::size_t before = order_;
        if (const auto& bg = v.backgroundColor(); bg && bg->a >= 0.9 && v.alpha() >= 0.9) addCover(area, clip, v);
        if (const auto& image = v.backgroundImage()) drawnImage(image, area, clip, v);
        DrawingContext recording;
        v.drawRect(recording, v.bounds());
        Transform t{1, 1, area.x() - v.bounds().x(), area.y() - v.bounds().y()};
        play(recording.commands(), t, clip, v, area);
        for (const auto& s : std::vector<std::shared_ptr<View>>(v.subviews())) visit(*s, clip, root);
        if (order_ == before && !area.isEmpty() && dynamic_cast<const Control*>(&v)) {
            problems_.push_back({LayoutProblem::Kind::DrawsNothing, {}, {}, v.kindName(), area});
        }
    }

    void play(const std::vector<DrawCommand>& commands, Transform t, std::optional<Rect> clip, const View& v,
              const Rect& area) {
        struct State {
            Transform t;
            std::optional<Rect> clip;
            double fillAlpha;
            double alpha;
        };
        std::vector<State> stack;
        double fillAlpha = 1, alpha = 1;
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
        for (const auto& c : commands) {
            switch (c.op) {
                case DrawOp::SaveState: stack.push_back({t, clip, fillAlpha, alpha}); break;
                case DrawOp::RestoreState:
                    if (stack.empty()) break;
                    t = stack.back().t;
                    clip = stack.back().clip;
                    fillAlpha = stack.back().fillAlpha;
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
                case DrawOp::SetFillColor: fillAlpha = c.color.a; break;
                case DrawOp::SetAlpha: alpha = c.value; break;
                case DrawOp::ClipToRect: clip = clipped(t.map(c.rect), clip).value_or(Rect{}); break;
                case DrawOp::ClipToPath:
                    clip = path ? clipped(*path, clip).value_or(Rect{}) : Rect{};
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
                case DrawOp::FillRect:
                    if (fillAlpha * alpha >= 0.9) addCover(t.map(c.rect), clip, v);
                    break;
                case DrawOp::FillPath:
                case DrawOp::FillStrokePath:
                    if (path && fillAlpha * alpha >= 0.9) addCover(*path, clip, v);
                    path.reset();
                    break;
                case DrawOp::StrokePath: path.reset(); break;
                case DrawOp::DrawText: drawnText(c, t, clip, v, area); break;
                case DrawOp::DrawImage: drawnImage(c.image, t.map(c.rect), clip, v); break;
                default: break;
            }
        }
    }

    void addCover(const Rect& r, const std::optional<Rect>& clip, const View& v) {
        ++order_;
        if (auto shown = clipped(r, clip)) covers_.push_back({*shown, &v, order_});
    }

    void drawnImage(const ImagePtr& image, const Rect& r, const std::optional<Rect>& clip, const View& v) {
        if (!image) return;
        if (!image->hasPixels()) {
            ++order_;
            problems_.push_back({LayoutProblem::Kind::ImageMissing, image->name(), {}, v.kindName(), r});
            return;
        }
        addCover(r, clip, v);
    }

    void drawnText(const DrawCommand& c, const Transform& t, const std::optional<Rect>& clip, const View& v,
                   const Rect& area) {
        ++order_;
        auto ink = inkOf(c);
        if (!ink) return;
        auto shown = clipped(t.map(*ink), clip);
        if (!shown) return;
        if (!covers(area.insetBy(-1, -1), *shown)) {
            problems_.push_back({LayoutProblem::Kind::TextOutsideView, c.text, {}, v.kindName(), *shown});
        }
        texts_.push_back({c.text, *shown, &v, order_});
    }

    // Judges the texts of one layer against each other and the views drawn over them.
    void finishLayer() {
        for (auto& text : texts_) judgeCovers(text);
        for (std::size_t i = 0; i < texts_.size(); ++i) {
            for (std::size_t j = i + 1; j < texts_.size(); ++j) judgePair(texts_[i], texts_[j]);
        }
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
        if (partial) {
            problems_.push_back({LayoutProblem::Kind::TextCovered, text.text, partial->view->kindName(),
                                 text.view->kindName(), text.ink});
        }
    }

    void judgePair(const DrawnText& a, const DrawnText& b) {
        if (a.hidden || b.hidden) return;
        if (a.view == b.view && a.text == b.text) return;  // a text and its shadow
        const Rect both = a.ink.intersection(b.ink);
        if (!significant(both)) return;
        for (const auto& cover : covers_) {
            if (cover.order > a.order && cover.order < b.order && covers(cover.rect, both)) return;
        }
        problems_.push_back({LayoutProblem::Kind::TextsOverlap, a.text, b.text, a.view->kindName(), both});
    }

    std::vector<DrawnText> texts_;
    std::vector<Cover> covers_;
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
