#include "platform/graphics/DrawingContext.h"

#include <cmath>
#include <cstdio>

namespace plat {

namespace {

const char* opName(DrawOp op) {
    switch (op) {
        case DrawOp::SaveState: return "saveState";
        case DrawOp::RestoreState: return "restoreState";
        case DrawOp::SetFillColor: return "setFillColor";
        case DrawOp::SetStrokeColor: return "setStrokeColor";
        case DrawOp::SetLineWidth: return "setLineWidth";
        case DrawOp::SetLineJoin: return "setLineJoin";
        case DrawOp::SetLineCap: return "setLineCap";
        case DrawOp::SetLineDash: return "setLineDash";
        case DrawOp::SetAntialias: return "setAntialias";
        case DrawOp::SetAlpha: return "setAlpha";
        case DrawOp::SetInterpolationQuality: return "setInterpolationQuality";
        case DrawOp::SetFlatness: return "setFlatness";
        case DrawOp::Translate: return "translate";
        case DrawOp::Scale: return "scale";
        case DrawOp::BeginTransparencyLayer: return "beginTransparencyLayer";
        case DrawOp::EndTransparencyLayer: return "endTransparencyLayer";
        case DrawOp::FillRect: return "fillRect";
        case DrawOp::StrokeRect: return "strokeRect";
        case DrawOp::ClearRect: return "clearRect";
        case DrawOp::BeginPath: return "beginPath";
        case DrawOp::MoveTo: return "moveTo";
        case DrawOp::LineTo: return "lineTo";
        case DrawOp::AddArc: return "addArc";
        case DrawOp::AddRect: return "addRect";
        case DrawOp::AddEllipse: return "addEllipse";
        case DrawOp::ClosePath: return "closePath";
        case DrawOp::FillPath: return "fillPath";
        case DrawOp::StrokePath: return "strokePath";
        case DrawOp::FillStrokePath: return "fillStrokePath";
        case DrawOp::ClipToRect: return "clipToRect";
        case DrawOp::ClipToPath: return "clipToPath";
        case DrawOp::DrawText: return "drawText";
        case DrawOp::DrawImage: return "drawImage";
    }
    return "?";
}

std::string num(double v) {
    char buf[32];
    std::snprintf(buf, sizeof buf, "%g", v);
    return buf;
}

std::string rectText(const Rect& r) {
    return num(r.x()) + " " + num(r.y()) + " " + num(r.width()) + " " + num(r.height());
}

}  // namespace

std::string DrawCommand::description() const {
    std::string s = opName(op);
    switch (op) {
        case DrawOp::SetFillColor:
        case DrawOp::SetStrokeColor: return s + " " + color.hex();
        case DrawOp::SetLineWidth:
        case DrawOp::SetAlpha:
        case DrawOp::SetInterpolationQuality:
        case DrawOp::SetFlatness:
        case DrawOp::BeginTransparencyLayer: return s + " " + num(value);
        case DrawOp::SetLineJoin: return s + " " + num(static_cast<int>(join));
        case DrawOp::SetLineCap: return s + " " + num(static_cast<int>(cap));
        case DrawOp::SetAntialias: return s + (flag ? " on" : " off");
        case DrawOp::SetLineDash: {
            s += " phase " + num(value);
            for (double d : dash) s += " " + num(d);
            return s;
        }
        case DrawOp::Translate:
        case DrawOp::Scale:
        case DrawOp::MoveTo:
        case DrawOp::LineTo: return s + " " + num(point.x) + " " + num(point.y);
        case DrawOp::AddArc:
            return s + " " + num(point.x) + " " + num(point.y) + " r " + num(value) + " " + num(startAngle) +
                   ".." + num(endAngle) + (flag ? " cw" : " ccw");
        case DrawOp::FillRect:
        case DrawOp::StrokeRect:
        case DrawOp::ClearRect:
        case DrawOp::AddRect:
        case DrawOp::AddEllipse:
        case DrawOp::ClipToRect: return s + " " + rectText(rect);
        case DrawOp::DrawText: return s + " \"" + text + "\" " + rectText(rect) + " " + font.description() + " " + color.hex();
        case DrawOp::DrawImage: return s + " " + (image ? image->name() : std::string("(none)")) + " " + rectText(rect);
        default: return s;
    }
}

DrawCommand& DrawingContext::add(DrawOp op) {
    commands_.push_back(DrawCommand{});
    commands_.back().op = op;
    return commands_.back();
}

void DrawingContext::saveState() { add(DrawOp::SaveState); }
void DrawingContext::restoreState() { add(DrawOp::RestoreState); }
void DrawingContext::setFillColor(const Color& c) { add(DrawOp::SetFillColor).color = c; }
void DrawingContext::setStrokeColor(const Color& c) { add(DrawOp::SetStrokeColor).color = c; }
void DrawingContext::setLineWidth(double w) { add(DrawOp::SetLineWidth).value = w; }
void DrawingContext::setLineJoin(LineJoin j) { add(DrawOp::SetLineJoin).join = j; }
void DrawingContext::setLineCap(LineCap c) { add(DrawOp::SetLineCap).cap = c; }

void DrawingContext::setLineDash(double phase, std::vector<double> lengths) {
    auto& c = add(DrawOp::SetLineDash);
    c.value = phase;
    c.dash = std::move(lengths);
}

void DrawingContext::setAntialias(bool on) { add(DrawOp::SetAntialias).flag = on; }
void DrawingContext::setAlpha(double alpha) { add(DrawOp::SetAlpha).value = alpha; }
void DrawingContext::setInterpolationQuality(int quality) { add(DrawOp::SetInterpolationQuality).value = quality; }
void DrawingContext::setFlatness(double flatness) { add(DrawOp::SetFlatness).value = flatness; }
void DrawingContext::translate(double dx, double dy) { add(DrawOp::Translate).point = {dx, dy}; }
void DrawingContext::scale(double sx, double sy) { add(DrawOp::Scale).point = {sx, sy}; }
void DrawingContext::beginTransparencyLayer(double opacity) { add(DrawOp::BeginTransparencyLayer).value = opacity; }
void DrawingContext::endTransparencyLayer() { add(DrawOp::EndTransparencyLayer); }
void DrawingContext::fillRect(const Rect& r) { add(DrawOp::FillRect).rect = r; }
void DrawingContext::strokeRect(const Rect& r) { add(DrawOp::StrokeRect).rect = r; }
void DrawingContext::clearRect(const Rect& r) { add(DrawOp::ClearRect).rect = r; }

void DrawingContext::fillEllipse(const Rect& r) {
    beginPath();
    addEllipse(r);
    fillPath();
}

void DrawingContext::strokeEllipse(const Rect& r) {
    beginPath();
    addEllipse(r);
    strokePath();
}

void DrawingContext::beginPath() { add(DrawOp::BeginPath); }
void DrawingContext::moveTo(Point p) { add(DrawOp::MoveTo).point = p; }
void DrawingContext::lineTo(Point p) { add(DrawOp::LineTo).point = p; }

void DrawingContext::addArc(Point centre, double radius, double startAngle, double endAngle, bool clockwise) {
    auto& c = add(DrawOp::AddArc);
    c.point = centre;
    c.value = radius;
    c.startAngle = startAngle;
    c.endAngle = endAngle;
    c.flag = clockwise;
}

void DrawingContext::addRect(const Rect& r) { add(DrawOp::AddRect).rect = r; }
void DrawingContext::addEllipse(const Rect& r) { add(DrawOp::AddEllipse).rect = r; }

void DrawingContext::addRoundedRect(const Rect& r, double radius, bool roundLeft, bool roundRight) {
    const double left = roundLeft ? radius : 0;
    const double right = roundRight ? radius : 0;
    moveTo({r.minX() + left, r.minY()});
    lineTo({r.maxX() - right, r.minY()});
    if (right > 0) addArc({r.maxX() - right, r.minY() + right}, right, -M_PI / 2, 0, false);
    lineTo({r.maxX(), r.maxY() - right});
    if (right > 0) addArc({r.maxX() - right, r.maxY() - right}, right, 0, M_PI / 2, false);
    lineTo({r.minX() + left, r.maxY()});
    if (left > 0) addArc({r.minX() + left, r.maxY() - left}, left, M_PI / 2, M_PI, false);
    lineTo({r.minX(), r.minY() + left});
    if (left > 0) addArc({r.minX() + left, r.minY() + left}, left, M_PI, 3 * M_PI / 2, false);
    closePath();
}
void DrawingContext::closePath() { add(DrawOp::ClosePath); }
void DrawingContext::fillPath() { add(DrawOp::FillPath); }
void DrawingContext::strokePath() { add(DrawOp::StrokePath); }
void DrawingContext::fillStrokePath() { add(DrawOp::FillStrokePath); }
void DrawingContext::clipToRect(const Rect& r) { add(DrawOp::ClipToRect).rect = r; }
void DrawingContext::clipToPath() { add(DrawOp::ClipToPath); }

void DrawingContext::drawText(const std::string& text, const Rect& rect, const Font& font, const Color& color,
                              TextAlignment alignment, double minimumScale) {
    auto& c = add(DrawOp::DrawText);
    c.text = text;
    c.rect = rect;
    c.font = font;
    c.color = color;
    c.alignment = alignment;
    c.value = minimumScale;
}

void DrawingContext::drawText(const std::string& text, Point at, const Font& font, const Color& color) {
    drawText(text, Rect{at, font.measure(text)}, font, color);
}

void DrawingContext::drawImage(const ImagePtr& image, const Rect& rect) {
    auto& c = add(DrawOp::DrawImage);
    c.image = image;
    c.rect = rect;
}

std::vector<DrawCommand> DrawingContext::commandsOf(DrawOp op) const {
    std::vector<DrawCommand> out;
    for (const auto& c : commands_) {
        if (c.op == op) out.push_back(c);
    }
    return out;
}

std::string DrawingContext::transcript() const {
    std::string out;
    for (const auto& c : commands_) out += c.description() + "\n";
    return out;
}

bool DrawingContext::writePng(const std::filesystem::path& path, Size size, double scale, std::string* error) const {
    PixelImage img = render(size, scale);
    if (img.isEmpty()) {
        if (error) *error = "nothing to render at that size";
        return false;
    }
    return img.writePng(path, error);
}

}  // namespace plat
