#include "platform/ui/DrawnPaints.h"

#include <algorithm>
#include <cmath>

#include "platform/graphics/PixelImage.h"

namespace plat {

namespace {

// Paints at least this opaque hide what is beneath them.
constexpr double kOpaque = 0.9;

double channelDistance(const Color& a, const Color& b) {
    return std::max({std::fabs(a.r - b.r), std::fabs(a.g - b.g), std::fabs(a.b - b.b)});
}

// The relative luminance of an opaque colour, 0 for black to 1 for white (sRGB).
double luminance(const Color& c) {
    auto linear = [](double v) {
        v = std::clamp(v, 0.0, 1.0);
        return v <= 0.03928 ? v / 12.92 : std::pow((v + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(c.r) + 0.7152 * linear(c.g) + 0.0722 * linear(c.b);
}

}  // namespace

Color DrawnPaints::over(const Color& top, const Color& below) {
    const double a = top.a + below.a * (1 - top.a);
    if (a <= 0) return Color::clear();
    auto mix = [&](double t, double u) { return (t * top.a + u * below.a * (1 - top.a)) / a; };
    return {mix(top.r, below.r), mix(top.g, below.g), mix(top.b, below.b), a};
}

double DrawnPaints::contrastRatio(const Color& a, const Color& b) {
    const double la = luminance(a), lb = luminance(b);
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

Color DrawnPaints::pictureColor(const Paint& paint, Point p) {
    const PixelImage& px = *paint.image->pixels();
    if (px.isEmpty() || paint.imageRect.isEmpty()) return Color::clear();
    const int x = static_cast<int>(std::floor((p.x - paint.imageRect.x()) / paint.imageRect.width() * px.width()));
    const int y = static_cast<int>(std::floor((p.y - paint.imageRect.y()) / paint.imageRect.height() * px.height()));
    Color c = px.pixel(x, y);
    c.a *= paint.alpha;
    return c;
}

Color DrawnPaints::plainColor(const Image& image) const {
    if (auto it = plain_.find(&image); it != plain_.end()) return it->second;
    const PixelImage& px = *image.pixels();
    // Colours counted in sixteen steps a channel; a large photo is sampled, not read whole.
    std::map<int, int> counts;
    const int stride = std::max(1, static_cast<int>(std::sqrt(px.width() * static_cast<double>(px.height()) / 20000)));
    for (int y = 0; y < px.height(); y += stride) {
        for (int x = 0; x < px.width(); x += stride) {
            const Color c = px.pixel(x, y);
            if (c.a < 0.5) continue;
            auto step = [](double v) { return static_cast<int>(std::lround(v * 15)); };
            ++counts[(step(c.r) << 8) | (step(c.g) << 4) | step(c.b)];
        }
    }
    Color plain = Color::clear();
    if (!counts.empty()) {
        const auto most = std::max_element(counts.begin(), counts.end(),
                                           [](const auto& a, const auto& b) { return a.second < b.second; });
        plain = Color::rgba(((most->first >> 8) & 15) / 15.0, ((most->first >> 4) & 15) / 15.0, (most->first & 15) / 15.0);
    }
    return plain_[&image] = plain;
}

bool DrawnPaints::busy(const Paint& paint, const Color& pixel) const {
    if (pixel.a < 0.5) return false;
    const Color plain = plainColor(*paint.image);
    return plain.a == 0 || channelDistance(pixel, plain) > 0.2;
}

Color DrawnPaints::colorAt(Point p, std::size_t order) const {
    Color out = Color::white();
    for (const auto& paint : paints_) {
        if (paint.order >= order) break;
        if (!paint.rect.contains(p)) continue;
        out = over(paint.image ? pictureColor(paint, p) : paint.color, out);
    }
    return out;
}

bool DrawnPaints::coversArea(const Rect& area, std::size_t from, double opacity, double step) const {
    for (double y = area.minY() + step / 2; y < area.maxY(); y += step) {
        for (double x = area.minX() + step / 2; x < area.maxX(); x += step) {
            const Point p{x, y};
            const bool covered = std::any_of(paints_.begin(), paints_.end(), [&](const Paint& paint) {
                if (paint.order < from || !paint.rect.contains(p)) return false;
                return (paint.image ? pictureColor(paint, p).a : paint.color.a) >= opacity;
            });
            if (!covered) return false;
        }
    }
    return true;
}

std::pair<int, int> DrawnPaints::busyPicturePoints(const Rect& area, std::size_t order,
                                                   const std::function<bool(const Paint&)>& counts) const {
    int busyPoints = 0, sampled = 0;
    for (double y = area.minY() + 0.5; y < area.maxY(); y += 1) {
        for (double x = area.minX() + 0.5; x < area.maxX(); x += 1) {
            const Point p{x, y};
            ++sampled;
            // From the text down to the first paint that hides what lies beneath it.
            for (auto it = paints_.rbegin(); it != paints_.rend(); ++it) {
                if (it->order >= order || !it->rect.contains(p)) continue;
                const Color c = it->image ? pictureColor(*it, p) : it->color;
                if (it->image && counts(*it) && busy(*it, c)) {
                    ++busyPoints;
                    break;
                }
                if (c.a >= kOpaque) break;
            }
        }
    }
    return {busyPoints, sampled};
}

}  // namespace plat
