// Plays a recorded drawing onto a cairo image surface.

#include <cairo.h>

#include <algorithm>
#include <cmath>
#include <string>
#include <vector>

#include "platform/foundation/Utf8Text.h"
#include "platform/graphics/CairoSupport.h"
#include "platform/graphics/DrawingContext.h"
#include "platform/graphics/Font.h"

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

    // The face a line is set in: cairo's simple text API does no per-glyph fallback, so texts
    // with CJK characters take a face that covers them (and Latin and Cyrillic too).
    static const char* family(const std::string& text) {
        for (std::size_t i = 0; i < text.size(); ++i) {
            // UTF-8 lead bytes 0xE2 0xBA and above start code points from U+2E80 (CJK radicals on).
            const auto b = static_cast<unsigned char>(text[i]);
            if (b >= 0xE3 || (b == 0xE2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) >= 0xBA)) {
                return kCjkFamily;
            }
        }
        return kLatinFamily;
    }

    static constexpr const char* kLatinFamily = "DejaVu Sans";
    static constexpr const char* kCjkFamily = "WenQuanYi Micro Hei";

    // A piece of a line drawn in one face.
    struct Run {
        const char* family;
        std::string text;
        double advance = 0;
    };

    void selectFace(const char* name, const Font& font, double size) {
        cairo_select_font_face(cr_, name, font.isItalic() ? CAIRO_FONT_SLANT_ITALIC : CAIRO_FONT_SLANT_NORMAL,
                               font.isBold() ? CAIRO_FONT_WEIGHT_BOLD : CAIRO_FONT_WEIGHT_NORMAL);
        cairo_set_font_size(cr_, size);
    }

    // For each character of the text, whether the selected face has a glyph for it.
    std::vector<bool> covered(const std::string& text) {
        cairo_glyph_t* glyphs = nullptr;
        int count = 0;
        std::vector<bool> has;
        if (cairo_scaled_font_text_to_glyphs(cairo_get_scaled_font(cr_), 0, 0, text.c_str(), static_cast<int>(text.size()),
                                             &glyphs, &count, nullptr, nullptr, nullptr) == CAIRO_STATUS_SUCCESS) {
            for (int g = 0; g < count; ++g) has.push_back(glyphs[g].index != 0);
        }
        cairo_glyph_free(glyphs);
        return has;
    }

    // The line cut into runs: the line's own face wherever it has the glyphs, the other face
    // for characters only that one has (the narrow no-break space of CJK date texts, say).
    std::vector<Run> runs(const std::string& line, const Font& font) {
        const char* own = family(line);
        const char* other = own == kCjkFamily ? kLatinFamily : kCjkFamily;
        selectFace(own, font, font.size);
        const std::vector<bool> ownHas = covered(line);
        std::vector<Run> out;
        std::size_t i = 0, n = 0;
        while (i < line.size()) {
            const std::size_t start = i;
            nextCodePoint(line, i);
            const std::string ch = line.substr(start, i - start);
            const char* face = own;
            if (n < ownHas.size() && !ownHas[n]) {
                selectFace(other, font, font.size);
                if (const auto otherHas = covered(ch); !otherHas.empty() && otherHas.front()) face = other;
            }
            if (out.empty() || out.back().family != face) out.push_back(Run{face, {}});
            out.back().text += ch;
            ++n;
        }
        return out;
    }

    // Sets each run's advance at the size; returns their sum.
    double measure(std::vector<Run>& pieces, const Font& font, double size) {
        double total = 0;
        for (auto& r : pieces) {
            selectFace(r.family, font, size);
            cairo_text_extents_t te;
            cairo_text_extents(cr_, r.text.c_str(), &te);
            r.advance = te.x_advance;
            total += r.advance;
        }
        return total;
    }

    void text(const DrawCommand& c) {
        if (c.text.empty() || c.font.size <= 0) return;
        // cairo refuses a text that is not UTF-8 by stopping every later drawing of the picture:
        // a stray byte is drawn as a replacement character instead.
        const std::string shown = Utf8Text::valid(c.text);
        cairo_save(cr_);
        selectFace(family(shown), c.font, c.font.size);
        source(c.color);
        cairo_font_extents_t fe;
        cairo_font_extents(cr_, &fe);
        double y = c.rect.y() + fe.ascent;
        std::size_t start = 0;
        while (start <= shown.size()) {
            std::size_t end = shown.find('\n', start);
            if (end == std::string::npos) end = shown.size();
            auto pieces = runs(shown.substr(start, end - start), c.font);
            double size = c.font.size;
            double width = measure(pieces, c.font, size);
            if (c.value > 0 && width > c.rect.width() && c.rect.width() > 0) {
                size *= std::max(c.value, c.rect.width() / width);
                width = measure(pieces, c.font, size);
            }
            double x = c.rect.x();
            if (c.alignment == TextAlignment::Center) x += (c.rect.width() - width) / 2;
            if (c.alignment == TextAlignment::Right) x += c.rect.width() - width;
            for (const auto& r : pieces) {
                selectFace(r.family, c.font, size);
                cairo_move_to(cr_, x, y);
                cairo_show_text(cr_, r.text.c_str());
                x += r.advance;
            }
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
    // Advances unrounded: hinted ones, whole pixels at a small scale, draw a line a few pixels
    // wider than layout measured it, and a right-aligned text then loses its first letter.
    cairo_font_options_t* options = cairo_font_options_create();
    cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
    cairo_set_font_options(cr, options);
    cairo_font_options_destroy(options);
    Player player(cr);
    for (const auto& c : commands_) player.play(c);
    cairo_destroy(cr);
    return cairo::copyOut(surface.get());
}

}  // namespace plat
