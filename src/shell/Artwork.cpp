#include "shell/Artwork.h"

#include <cmath>
#include <string>

#include "platform/graphics/DrawingContext.h"
#include "platform/graphics/ImageCatalog.h"

namespace qx {

namespace {

using plat::Color;
using plat::DrawingContext;
using plat::Point;
using plat::Rect;
using plat::Size;

constexpr Color kTint = Color::rgba(0, 122 / 255.0, 1);
constexpr Color kPale = Color::rgba(0.80, 0.89, 1);
constexpr Color kGlyph = Color::rgba(0.45, 0.45, 0.47);
constexpr Color kBorder = Color::rgba(0.62, 0.62, 0.65);
constexpr Color kRed = Color::rgba(0.86, 0.12, 0.10);
constexpr Color kOrange = Color::rgba(0.98, 0.58, 0.05);
constexpr Color kGreen = Color::rgba(0.22, 0.66, 0.20);
// The orange of a badge that carries a white count: deep enough for the count to read.
constexpr Color kBadgeOrange = Color::rgba(0.82, 0.40, 0.02);

// Which corners of a rectangle are rounded.
enum Corners : unsigned { kLeftCorners = 1, kRightCorners = 2, kAllCorners = 3 };

void roundedRect(DrawingContext& c, const Rect& r, double radius, unsigned corners = kAllCorners) {
    c.beginPath();
    c.addRoundedRect(r, radius, (corners & kLeftCorners) != 0, (corners & kRightCorners) != 0);
}

void line(DrawingContext& c, Point from, Point to, double width, const Color& color) {
    c.setStrokeColor(color);
    c.setLineWidth(width);
    c.setLineCap(plat::LineCap::Round);
    c.beginPath();
    c.moveTo(from);
    c.lineTo(to);
    c.strokePath();
}

void checkMark(DrawingContext& c, const Rect& r, double width, const Color& color) {
    c.setStrokeColor(color);
    c.setLineWidth(width);
    c.setLineCap(plat::LineCap::Round);
    c.setLineJoin(plat::LineJoin::Round);
    c.beginPath();
    c.moveTo({r.minX() + r.width() * 0.22, r.minY() + r.height() * 0.52});
    c.lineTo({r.minX() + r.width() * 0.42, r.minY() + r.height() * 0.72});
    c.lineTo({r.minX() + r.width() * 0.78, r.minY() + r.height() * 0.30});
    c.strokePath();
}

// A check box: an empty rounded square, or a filled one with a check mark.
plat::ImageCatalog::Drawing checkBox(bool checked) {
    return [checked](DrawingContext& c, Size s) {
        Rect box = Rect{0, 0, s.width, s.height}.insetBy(s.width * 0.12, s.height * 0.12);
        roundedRect(c, box, s.width * 0.14);
        c.setFillColor(checked ? kTint : Color::white());
        c.setStrokeColor(checked ? kTint : kBorder);
        c.setLineWidth(1.5);
        c.fillStrokePath();
        if (checked) checkMark(c, box, s.width * 0.1, Color::white());
    };
}

// A threshold mark: a coloured disc with a white level bar and the warning point under it.
plat::ImageCatalog::Drawing thresholdIcon(Color color) {
    return [color](DrawingContext& c, Size s) {
        c.setFillColor(color);
        c.fillEllipse(Rect{1, 1, s.width - 2, s.height - 2});
        line(c, {s.width * 0.28, s.height * 0.38}, {s.width * 0.72, s.height * 0.38}, s.height * 0.1, Color::white());
        c.setFillColor(Color::white());
        c.fillEllipse(Rect{s.width / 2 - s.width * 0.07, s.height * 0.6, s.width * 0.14, s.height * 0.14});
    };
}

// A warning triangle: the alarm badge of history rows and of the Track tab. Its button writes
// the alarm count where an exclamation mark would stand, in the wide lower part (see
// Artwork::alarmCountInsets), so the picture leaves that part plain for the count to read.
plat::ImageCatalog::Drawing alarmBadge(Color color) {
    return [color](DrawingContext& c, Size s) {
        c.setFillColor(color);
        c.setStrokeColor(color.withAlpha(1));
        c.setLineWidth(2);
        c.setLineJoin(plat::LineJoin::Round);
        c.beginPath();
        c.moveTo({s.width / 2, 2});
        c.lineTo({s.width - 2, s.height - 2});
        c.lineTo({2, s.height - 2});
        c.closePath();
        c.fillStrokePath();
    };
}

// A map pin: a disc on a point, with a light spot.
plat::ImageCatalog::Drawing pin(Color color) {
    return [color](DrawingContext& c, Size s) {
        const double r = s.width / 2 - 2;
        c.setFillColor(color.withAlpha(1));
        c.setStrokeColor(Color::rgba(0, 0, 0, 0.35));
        c.setLineWidth(1);
        c.beginPath();
        c.moveTo({s.width / 2, s.height - 1});
        c.lineTo({s.width / 2 - r * 0.55, r * 1.7});
        c.addArc({s.width / 2, r + 2}, r, M_PI * 0.8, M_PI * 2.2, false);
        c.closePath();
        c.fillStrokePath();
        c.setFillColor(Color::rgba(1, 1, 1, 0.7));
        c.fillEllipse(Rect{s.width / 2 - r * 0.35, r * 0.65, r * 0.7, r * 0.7});
    };
}

// One piece of a three-button bar: rounded on the outer side of the end pieces. The large
// pieces carry white titles (grey, blue when on); the small map-type pieces carry black
// titles (white, pale blue with a blue edge when on).
plat::ImageCatalog::Drawing segmentPiece(unsigned corners, bool small, bool active) {
    return [corners, small, active](DrawingContext& c, Size s) {
        roundedRect(c, Rect{0.5, 0.5, s.width - 1, s.height - 1}, 6, corners);
        if (small) {
            c.setFillColor(active ? kPale : Color::white());
            c.setStrokeColor(active ? kTint : kBorder);
        } else {
            // Pieces that are on side by side keep a darker edge between them.
            c.setFillColor(active ? kTint : Color::rgba(0.50, 0.52, 0.56));
            c.setStrokeColor(active ? Color::rgba(0, 0.33, 0.75) : Color::rgba(0.40, 0.42, 0.46));
        }
        c.setLineWidth(1);
        c.fillStrokePath();
    };
}

void addSegmentPieces() {
    const std::pair<const char*, unsigned> pieces[] = {
        {"btn-left", kLeftCorners}, {"btn-center", 0}, {"btn-right", kRightCorners}};
    for (const auto& [name, corners] : pieces) {
        for (bool small : {false, true}) {
            for (bool active : {false, true}) {
                std::string full = std::string(name) + (small ? "-small" : "") + (active ? "-active" : "");
                plat::ImageCatalog::add(full, small ? Size{76, 28} : Size{100, 32}, segmentPiece(corners, small, active));
            }
        }
    }
    plat::ImageCatalog::add("segment-divider", {1, 32}, [](DrawingContext& c, Size s) {
        c.setFillColor(Color::white());
        c.fillRect(Rect{0, 0, s.width, s.height});
    });
}

void gaugeGlyph(DrawingContext& c, Size s) {
    c.setStrokeColor(kGlyph);
    c.setLineWidth(2.5);
    c.beginPath();
    c.addArc({s.width / 2, s.height * 0.62}, s.width * 0.4, M_PI, 2 * M_PI, false);
    c.strokePath();
    line(c, {s.width / 2, s.height * 0.62}, {s.width * 0.72, s.height * 0.36}, 2.5, kGlyph);
    c.setFillColor(kGlyph);
    c.fillEllipse(Rect{s.width / 2 - 3, s.height * 0.62 - 3, 6, 6});
}

void trackGlyph(DrawingContext& c, Size s) {
    c.setStrokeColor(kGlyph);
    c.setLineWidth(2.5);
    c.setLineJoin(plat::LineJoin::Round);
    c.beginPath();
    c.moveTo({s.width * 0.12, s.height * 0.8});
    c.lineTo({s.width * 0.38, s.height * 0.42});
    c.lineTo({s.width * 0.6, s.height * 0.62});
    c.lineTo({s.width * 0.88, s.height * 0.2});
    c.strokePath();
    c.setFillColor(kGlyph);
    for (Point p : {Point{0.12, 0.8}, Point{0.88, 0.2}}) {
        c.fillEllipse(Rect{p.x * s.width - 3.5, p.y * s.height - 3.5, 7, 7});
    }
}

void clockGlyph(DrawingContext& c, Size s) {
    c.setStrokeColor(kGlyph);
    c.setLineWidth(2.5);
    c.strokeEllipse(Rect{3, 3, s.width - 6, s.height - 6});
    line(c, {s.width / 2, s.height / 2}, {s.width / 2, s.height * 0.24}, 2.5, kGlyph);
    line(c, {s.width / 2, s.height / 2}, {s.width * 0.7, s.height * 0.6}, 2.5, kGlyph);
}

void globeGlyph(DrawingContext& c, Size s) {
    const Rect globe{3, 3, s.width - 6, s.height - 6};
    c.setStrokeColor(kGlyph);
    c.setLineWidth(2);
    c.strokeEllipse(globe);
    c.strokeEllipse(globe.insetBy(globe.width() * 0.28, 0));
    line(c, {globe.minX(), globe.midY()}, {globe.maxX(), globe.midY()}, 2, kGlyph);
    line(c, {globe.midX(), globe.minY()}, {globe.midX(), globe.maxY()}, 2, kGlyph);
}

void gearGlyph(DrawingContext& c, Size s) {
    const Point centre{s.width / 2, s.height / 2};
    for (int i = 0; i < 8; ++i) {
        const double a = i * M_PI / 4;
        line(c, {centre.x + std::cos(a) * s.width * 0.2, centre.y + std::sin(a) * s.height * 0.2},
             {centre.x + std::cos(a) * s.width * 0.42, centre.y + std::sin(a) * s.height * 0.42}, 4.5, kGlyph);
    }
    c.setFillColor(kGlyph);
    c.fillEllipse(Rect{centre.x - s.width * 0.3, centre.y - s.height * 0.3, s.width * 0.6, s.height * 0.6});
    c.setFillColor(Color::white());
    c.fillEllipse(Rect{centre.x - s.width * 0.12, centre.y - s.height * 0.12, s.width * 0.24, s.height * 0.24});
}

void addTabIcons() {
    const std::pair<const char*, void (*)(DrawingContext&, Size)> tabs[] = {{"tab-dashboard", gaugeGlyph},
                                                                            {"tab-track", trackGlyph},
                                                                            {"tab-history", clockGlyph},
                                                                            {"tab-world-map", globeGlyph},
                                                                            {"tab-settings", gearGlyph}};
    for (const auto& [name, glyph] : tabs) plat::ImageCatalog::add(name, {30, 30}, glyph);
}

// The map's round buttons: a glyph, blue on a pale disc when the mode is on.
plat::ImageCatalog::Drawing mapButton(void (*glyph)(DrawingContext&, Size, Color), bool active) {
    return [glyph, active](DrawingContext& c, Size s) {
        if (active) {
            c.setFillColor(kPale);
            c.fillEllipse(Rect{2, 2, s.width - 4, s.height - 4});
        }
        glyph(c, s, active ? kTint : kGlyph);
    };
}

void locationArrow(DrawingContext& c, Size s, Color color) {
    c.setFillColor(color);
    c.beginPath();
    c.moveTo({s.width * 0.78, s.height * 0.22});
    c.lineTo({s.width * 0.52, s.height * 0.8});
    c.lineTo({s.width * 0.47, s.height * 0.53});
    c.lineTo({s.width * 0.2, s.height * 0.48});
    c.closePath();
    c.fillPath();
}

void trackSteps(DrawingContext& c, Size s, Color color) {
    c.setFillColor(color);
    c.fillEllipse(Rect{s.width * 0.26, s.height * 0.52, s.width * 0.18, s.height * 0.28});
    c.fillEllipse(Rect{s.width * 0.56, s.height * 0.22, s.width * 0.18, s.height * 0.28});
    c.fillEllipse(Rect{s.width * 0.28, s.height * 0.34, s.width * 0.14, s.height * 0.12});
    c.fillEllipse(Rect{s.width * 0.58, s.height * 0.52, s.width * 0.14, s.height * 0.12});
}

void addMapPictures() {
    plat::ImageCatalog::add("red_pin", {32, 39}, pin(kRed));
    plat::ImageCatalog::add("orange_pin", {32, 39}, pin(kOrange));
    plat::ImageCatalog::add("green_pin", {32, 39}, pin(kGreen));
    for (bool active : {false, true}) {
        const std::string suffix = active ? "-active" : "";
        plat::ImageCatalog::add("btn-my-location" + suffix, {40, 40}, mapButton(locationArrow, active));
        plat::ImageCatalog::add("btn-track" + suffix, {40, 40}, mapButton(trackSteps, active));
    }
}

void addButtonsAndBadges() {
    plat::ImageCatalog::add("btn-dashboard", {135, 40}, [](DrawingContext& c, Size s) {
        roundedRect(c, Rect{0.5, 0.5, s.width - 1, s.height - 1}, 8);
        c.setFillColor(Color::rgba(0.24, 0.36, 0.52));
        c.fillPath();
    });
    // Dark enough for its white title to read.
    plat::ImageCatalog::add("btn-grey", {30, 30}, [](DrawingContext& c, Size s) {
        roundedRect(c, Rect{1, 1, s.width - 2, s.height - 2}, 6);
        c.setFillColor(Color::rgba(0.46, 0.47, 0.50));
        c.setStrokeColor(Color::rgba(0.36, 0.37, 0.40));
        c.setLineWidth(1);
        c.fillStrokePath();
    });
    plat::ImageCatalog::add("close", {30, 30}, [](DrawingContext& c, Size s) {
        c.setFillColor(Color::rgba(0.3, 0.3, 0.32, 0.85));
        c.fillEllipse(Rect{1, 1, s.width - 2, s.height - 2});
        line(c, {s.width * 0.33, s.height * 0.33}, {s.width * 0.67, s.height * 0.67}, 2.5, Color::white());
        line(c, {s.width * 0.67, s.height * 0.33}, {s.width * 0.33, s.height * 0.67}, 2.5, Color::white());
    });
    plat::ImageCatalog::add("icon-uploaded", {20, 20}, [](DrawingContext& c, Size s) {
        c.setFillColor(kGreen);
        c.fillEllipse(Rect{0.5, 0.5, s.width - 1, s.height - 1});
        line(c, {s.width / 2, s.height * 0.75}, {s.width / 2, s.height * 0.27}, 2, Color::white());
        line(c, {s.width * 0.3, s.height * 0.46}, {s.width / 2, s.height * 0.27}, 2, Color::white());
        line(c, {s.width * 0.7, s.height * 0.46}, {s.width / 2, s.height * 0.27}, 2, Color::white());
    });
    plat::ImageCatalog::add("icon-max-dose-red", {22, 22}, alarmBadge(kRed));
    plat::ImageCatalog::add("icon-max-dose-orange", {22, 22}, alarmBadge(kBadgeOrange));
    plat::ImageCatalog::add("icon-treshhold-yellow", {30, 30}, thresholdIcon(kOrange));
    plat::ImageCatalog::add("icon-treshhold-red", {30, 30}, thresholdIcon(kRed));
    plat::ImageCatalog::add("icon-checked", {30, 30}, checkBox(true));
    plat::ImageCatalog::add("icon-unchecked", {30, 30}, checkBox(false));
    plat::ImageCatalog::add("checkbox_checked", {24, 24}, checkBox(true));
    plat::ImageCatalog::add("checkbox_unchecked", {24, 24}, checkBox(false));
}

// The picture shared posts carry: the application's mark, a reading needle over a dial.
void addLogo() {
    plat::ImageCatalog::add("logo", {120, 120}, [](DrawingContext& c, Size s) {
        roundedRect(c, Rect{0, 0, s.width, s.height}, 24);
        c.setFillColor(Color::rgba(0.12, 0.32, 0.58));
        c.fillPath();
        c.setStrokeColor(Color::white());
        c.setLineWidth(8);
        c.setLineCap(plat::LineCap::Round);
        c.beginPath();
        c.addArc({s.width / 2, s.height * 0.64}, s.width * 0.32, M_PI * 1.1, M_PI * 1.9, false);
        c.strokePath();
        line(c, {s.width / 2, s.height * 0.64}, {s.width * 0.68, s.height * 0.36}, 7, kOrange);
    });
}

}  // namespace

plat::EdgeInsets Artwork::alarmCountInsets(const plat::Size& badge) {
    // The triangle is wide enough for three digits only in its lower half.
    return {badge.height * 0.36, 0, 1, 0};
}

void Artwork::registerAll() {
    addSegmentPieces();
    addTabIcons();
    addMapPictures();
    addButtonsAndBadges();
    addLogo();
}

}  // namespace qx
