// Plays a recorded drawing onto a cairo image surface.

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/graphics/CairoSupport.h"
#include "platform/graphics/DrawingContext.h"
#include "platform/graphics/Font.h"
#include "platform/graphics/TextShaper.h"

namespace plat {

namespace {

class Player {
public:
    explicit Player(cairo_t* cr) : cr_(cr) {}

    void play(const DrawCommand& c) {
        switch (c.op) {
            case DrawOp::SaveState:
                cairo_save(cr_);
                stack_.push_back(state_);
                break;
            case DrawOp::RestoreState:
                if (stack_.empty()) break;  // unbalanced restore: ignore, as the phone does
                cairo_restore(cr_);
                state_ = stack_.back();
                stack_.pop_back();
                break;
            case DrawOp::SetFillColor: state_.fill = c.color; break;
            case DrawOp::SetStrokeColor: state_.stroke = c.color; break;
            case DrawOp::SetLineWidth: cairo_set_line_width(cr_, c.value); break;
            case DrawOp::SetLineJoin: cairo_set_line_join(cr_, join(c.join)); break;
            case DrawOp::SetLineCap: cairo_set_line_cap(cr_, cap(c.cap)); break;
            case DrawOp::SetLineDash: setDash(c); break;
            case DrawOp::SetAntialias:
                cairo_set_antialias(cr_, c.flag ? CAIRO_ANTIALIAS_DEFAULT : CAIRO_ANTIALIAS_NONE);
                break;
            case DrawOp::SetAlpha: state_.alpha = std::clamp(c.value, 0.0, 1.0); break;
            case DrawOp::SetInterpolationQuality: break;
            case DrawOp::SetFlatness:
                if (c.value > 0) cairo_set_tolerance(cr_, c.value);
                break;
            case DrawOp::Translate: cairo_translate(cr_, c.point.x, c.point.y); break;
            case DrawOp::Scale: cairo_scale(cr_, c.point.x, c.point.y); break;
            case DrawOp::BeginTransparencyLayer:
                cairo_push_group(cr_);
                layers_.push_back(std::clamp(c.value, 0.0, 1.0));
                break;
            case DrawOp::EndTransparencyLayer:
                if (layers_.empty()) break;
                cairo_pop_group_to_source(cr_);
                cairo_paint_with_alpha(cr_, layers_.back());
                layers_.pop_back();
                break;
            case DrawOp::FillRect:
                cairo_new_path(cr_);
                rect(c.rect);
                source(state_.fill);
                cairo_fill(cr_);
                break;
            case DrawOp::StrokeRect:
                cairo_new_path(cr_);
                rect(c.rect);
                source(state_.stroke);
                cairo_stroke(cr_);
                break;
            case DrawOp::ClearRect:
                cairo_save(cr_);
                cairo_new_path(cr_);
                rect(c.rect);
                cairo_set_operator(cr_, CAIRO_OPERATOR_CLEAR);
                cairo_fill(cr_);
                cairo_restore(cr_);
                break;
            case DrawOp::BeginPath: cairo_new_path(cr_); break;
            case DrawOp::MoveTo: cairo_move_to(cr_, c.point.x, c.point.y); break;
            case DrawOp::LineTo: cairo_line_to(cr_, c.point.x, c.point.y); break;
            case DrawOp::AddArc:
                if (c.flag) {
                    cairo_arc_negative(cr_, c.point.x, c.point.y, c.value, c.startAngle, c.endAngle);
                } else {
                    cairo_arc(cr_, c.point.x, c.point.y, c.value, c.startAngle, c.endAngle);
                }
                break;
            case DrawOp::AddRect: rect(c.rect); break;
            case DrawOp::AddEllipse: ellipse(c.rect); break;
            case DrawOp::ClosePath: cairo_close_path(cr_); break;
            case DrawOp::FillPath:
                source(state_.fill);
                cairo_fill(cr_);
                break;
            case DrawOp::StrokePath:
                source(state_.stroke);
                cairo_stroke(cr_);
                break;
            case DrawOp::FillStrokePath:
                source(state_.fill);
                cairo_fill_preserve(cr_);
                source(state_.stroke);
                cairo_stroke(cr_);
                break;
            case DrawOp::ClipToRect:
                cairo_new_path(cr_);
                rect(c.rect);
                cairo_clip(cr_);
                break;
            case DrawOp::ClipToPath: cairo_clip(cr_); break;
            case DrawOp::DrawText: text(c); break;
            case DrawOp::DrawImage: image(c); break;
        }
    }

private:
    struct State {
        Color fill = Color::black();
        Color stroke = Color::black();
        double alpha = 1;
    };

    static cairo_line_join_t join(LineJoin j) {
        switch (j) {
            case LineJoin::Round: return CAIRO_LINE_JOIN_ROUND;
            case LineJoin::Bevel: return CAIRO_LINE_JOIN_BEVEL;
            case LineJoin::Miter: break;
        }
        return CAIRO_LINE_JOIN_MITER;
    }

    static cairo_line_cap_t cap(LineCap c) {
        switch (c) {
            case LineCap::Round: return CAIRO_LINE_CAP_ROUND;
            case LineCap::Square: return CAIRO_LINE_CAP_SQUARE;
            case LineCap::Butt: break;
        }
        return CAIRO_LINE_CAP_BUTT;
    }

    void setDash(const DrawCommand& c) {
        // cairo refuses negative lengths or an all-zero pattern; such a pattern draws solid.
        bool usable = !c.dash.empty();
        double sum = 0;
        for (double d : c.dash) {
            if (d < 0 || !std::isfinite(d)) usable = false;
            sum += d;
        }
        if (!usable || sum <= 0) {
            cairo_set_dash(cr_, nullptr, 0, 0);
        } else {
            cairo_set_dash(cr_, c.dash.data(), static_cast<int>(c.dash.size()), c.value);
        }
    }

    void source(const Color& col) { cairo_set_source_rgba(cr_, col.r, col.g, col.b, col.a * state_.alpha); }

    void rect(const Rect& r) { cairo_rectangle(cr_, r.x(), r.y(), r.width(), r.height()); }

    void ellipse(const Rect& r) {
        if (r.width() <= 0 || r.height() <= 0) return;
        cairo_save(cr_);
        cairo_translate(cr_, r.midX(), r.midY());
        cairo_scale(cr_, r.width() / 2, r.height() / 2);
        cairo_new_sub_path(cr_);
        cairo_arc(cr_, 0, 0, 1, 0, 2 * M_PI);
        cairo_close_path(cr_);
        cairo_restore(cr_);
    }

    // Each line set by the shaping engine as layout measured it, on baselines a line height
    // apart; a line wider than the box is set again smaller when the command allows.
    void text(const DrawCommand& c) {
        if (c.text.empty() || c.font.size <= 0) return;
        cairo_save(cr_);
        source(c.color);
        double y = c.rect.y() + TextShaper::ascent(c.font, c.text);
        std::size_t start = 0;
        while (start <= c.text.size()) {
            std::size_t end = c.text.find('\n', start);
            if (end == std::string::npos) end = c.text.size();
            const std::string line = c.text.substr(start, end - start);
            auto shaped = TextShaper::shape(c.font, line);
            if (c.value > 0 && shaped->width > c.rect.width() && c.rect.width() > 0) {
                Font smaller = c.font;
                smaller.size *= std::max(c.value, c.rect.width() / shaped->width);
                shaped = TextShaper::shape(smaller, line);
            }
            double x = c.rect.x();
            if (c.alignment == TextAlignment::Center) x += (c.rect.width() - shaped->width) / 2;
            if (c.alignment == TextAlignment::Right) x += c.rect.width() - shaped->width;
            TextShaper::draw(cr_, *shaped, x, y);
            y += c.font.lineHeight();
            start = end + 1;
        }
        cairo_restore(cr_);
    }

    void image(const DrawCommand& c) {
        if (!c.image || !c.image->hasPixels() || c.rect.isEmpty()) return;
        const PixelImage& px = *c.image->pixels();
        if (px.isEmpty()) return;
        cairo::SurfaceRef src(cairo::copyIn(px));
        cairo_save(cr_);
        cairo_translate(cr_, c.rect.x(), c.rect.y());
        cairo_scale(cr_, c.rect.width() / px.width(), c.rect.height() / px.height());
        cairo_set_source_surface(cr_, src.get(), 0, 0);
        cairo_pattern_set_filter(cairo_get_source(cr_), CAIRO_FILTER_BILINEAR);
        cairo_paint_with_alpha(cr_, state_.alpha);
        cairo_restore(cr_);
    }

    cairo_t* cr_;
    State state_;
    std::vector<State> stack_;
    std::vector<double> layers_;
};

}  // namespace

PixelImage DrawingContext::render(Size size, double scale) const {
    int w = static_cast<int>(std::lround(size.width * scale));
    int h = static_cast<int>(std::lround(size.height * scale));
    if (w <= 0 || h <= 0 || !std::isfinite(size.width * scale) || !std::isfinite(size.height * scale)) return {};
    cairo::SurfaceRef surface(cairo_image_surface_create(CAIRO_FORMAT_ARGB32, w, h));
    if (cairo_surface_status(surface.get()) != CAIRO_STATUS_SUCCESS) return {};
    cairo_t* cr = cairo_create(surface.get());
    cairo_scale(cr, scale, scale);
    cairo_set_line_width(cr, 1.0);
    Player player(cr);
    for (const auto& c : commands_) player.play(c);
    cairo_destroy(cr);
    return cairo::copyOut(surface.get());
}

}  // namespace plat
