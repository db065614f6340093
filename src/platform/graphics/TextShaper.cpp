#include "platform/graphics/TextShaper.h"

#include <pango/pangocairo.h>

#include <algorithm>
#include <cmath>
#include <list>
#include <map>
#include <mutex>
#include <tuple>
#include <unordered_map>

#include "platform/foundation/Utf8Text.h"

namespace plat {

namespace {

// The faces a text is set in, in the order each character looks for its glyph. The Latin face
// (or, for texts with wide characters, the CJK one) comes first, so the interface's own texts
// keep the look and metrics they were laid out with; the others serve the scripts of names and
// notes a person writes in their own language. Emoji take the colour face by their presentation.
constexpr const char* kLatinFirst =
    "DejaVu Sans, WenQuanYi Micro Hei, Noto Sans CJK SC, Noto Sans Thai UI, Noto Sans Devanagari UI, "
    "Noto Sans Arabic UI";
constexpr const char* kWideFirst =
    "WenQuanYi Micro Hei, DejaVu Sans, Noto Sans CJK SC, Noto Sans Thai UI, Noto Sans Devanagari UI, "
    "Noto Sans Arabic UI";
constexpr const char* kLatinFace = "DejaVu Sans";
constexpr const char* kWideFace = "WenQuanYi Micro Hei";

// Lines kept set, and their glyphs at most (some ten megabytes); a screen's texts and a long
// table's rows fit many times over.
constexpr std::size_t kKeptLines = 8192;
constexpr std::size_t kKeptGlyphs = 1 << 18;
// Lines longer than this (in bytes) are measured in pieces of about this size.
constexpr std::size_t kLongestPiece = 1024;

bool hasWide(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        if (isWideCharacter(nextCodePoint(text, i))) return true;
    }
    return false;
}

// The line as the engine takes it: valid UTF-8 on one line. Control characters draw nothing
// (and a carriage return or separator would start a new paragraph), a tab is a blank.
std::string settable(const std::string& line) {
    const std::string valid = Utf8Text::valid(line);
    std::string out;
    out.reserve(valid.size());
    for (std::size_t i = 0; i < valid.size();) {
        const std::size_t start = i;
        const char32_t cp = nextCodePoint(valid, i);
        if (cp == '\t' || cp == 0x2028 || cp == 0x2029) {
            out += ' ';
        } else if (cp >= 0x20 && cp != 0x7F && !(cp >= 0x80 && cp < 0xA0)) {
            out.append(valid, start, i - start);
        }
    }
    return out;
}

struct Key {
    std::string text;
    double size;
    bool bold, italic;
    bool operator==(const Key&) const = default;
};

struct KeyHash {
    std::size_t operator()(const Key& k) const {
        std::size_t h = std::hash<std::string>()(k.text);
        h ^= std::hash<double>()(k.size) + 0x9e3779b97f4a7c15ULL + (h << 6) + (h >> 2);
        return h ^ (static_cast<std::size_t>(k.bold) << 1) ^ static_cast<std::size_t>(k.italic);
    }
};

std::shared_ptr<cairo_scaled_font_t> faceOf(PangoFont* font) {
    if (!font || !PANGO_IS_CAIRO_FONT(font)) return nullptr;
    cairo_scaled_font_t* scaled = pango_cairo_font_get_scaled_font(PANGO_CAIRO_FONT(font));
    if (!scaled) return nullptr;
    return {cairo_scaled_font_reference(scaled), cairo_scaled_font_destroy};
}

double points(int pangoUnits) { return static_cast<double>(pangoUnits) / PANGO_SCALE; }

// One run of the engine's line as glyphs placed from `x` on; returns the run's advance.
double addRun(const PangoGlyphItem& item, double x, ShapedLine& out) {
    GlyphRun run;
    run.face = faceOf(item.item->analysis.font);
    run.rightToLeft = item.item->analysis.level % 2 == 1;
    const PangoGlyphString& glyphs = *item.glyphs;
    double advance = 0;
    for (int g = 0; g < glyphs.num_glyphs; ++g) {
        const PangoGlyphInfo& info = glyphs.glyphs[g];
        ShapedGlyph glyph;
        glyph.x = x + advance + points(info.geometry.x_offset);
        glyph.y = points(info.geometry.y_offset);
        glyph.advance = points(info.geometry.width);
        glyph.byte = static_cast<std::size_t>(item.item->offset + glyphs.log_clusters[g]);
        advance += glyph.advance;
        if (info.glyph == PANGO_GLYPH_EMPTY || info.glyph == PANGO_GLYPH_INVALID_INPUT) continue;
        // The engine names a character no face has by the character itself, flagged.
        glyph.missing = (info.glyph & PANGO_GLYPH_UNKNOWN_FLAG) != 0;
        glyph.index = glyph.missing ? (info.glyph & ~PANGO_GLYPH_UNKNOWN_FLAG) : info.glyph;
        run.glyphs.push_back(glyph);
    }
    // Without any face (a machine without fonts) nothing can be drawn; the width still counts.
    if (run.face && !run.glyphs.empty()) out.runs.push_back(std::move(run));
    return advance;
}

// Each missing character once, in the text's order rather than the drawing's.
void orderMissing(ShapedLine& line) {
    std::vector<std::pair<std::size_t, char32_t>> found;
    for (const auto& run : line.runs) {
        for (const auto& g : run.glyphs) {
            if (g.missing) found.emplace_back(g.byte, static_cast<char32_t>(g.index));
        }
    }
    std::sort(found.begin(), found.end());
    for (const auto& [byte, cp] : found) {
        if (std::find(line.missing.begin(), line.missing.end(), cp) == line.missing.end()) line.missing.push_back(cp);
    }
}

// The engine's font map and context, and the lines it has set. Pango objects are used under
// the lock only; what leaves it (the faces of the runs) is cairo's, which is thread-safe.
class Engine {
public:
    static Engine& shared() {
        // Never destroyed: a picture may still be drawn on another thread while statics go.
        static Engine* engine = new Engine;
        return *engine;
    }

    std::shared_ptr<const ShapedLine> shape(const Font& font, const std::string& line) {
        Key key{line, font.size, font.isBold(), font.isItalic()};
        std::lock_guard lock(mutex_);
        if (auto it = index_.find(key); it != index_.end()) {
            kept_.splice(kept_.begin(), kept_, it->second);
            return it->second->second;
        }
        auto shaped = set(key);
        kept_.emplace_front(key, shaped);
        index_.emplace(std::move(key), kept_.begin());
        keptGlyphs_ += glyphsOf(*shaped);
        while (kept_.size() > 1 && (kept_.size() > kKeptLines || keptGlyphs_ > kKeptGlyphs)) {
            keptGlyphs_ -= glyphsOf(*kept_.back().second);
            index_.erase(kept_.back().first);
            kept_.pop_back();
        }
        return shaped;
    }

    double ascent(const Font& font, bool wide) {
        const auto key = std::make_tuple(font.size, font.isBold(), font.isItalic(), wide);
        std::lock_guard lock(mutex_);
        if (auto it = ascents_.find(key); it != ascents_.end()) return it->second;
        PangoFontDescription* desc = description(wide ? kWideFace : kLatinFace, font.size, font.isBold(), font.isItalic());
        double ascent = font.size * 0.93;
        if (PangoFont* loaded = pango_font_map_load_font(map_, context_, desc)) {
            PangoFontMetrics* metrics = pango_font_get_metrics(loaded, nullptr);
            ascent = points(pango_font_metrics_get_ascent(metrics));
            pango_font_metrics_unref(metrics);
            g_object_unref(loaded);
        }
        pango_font_description_free(desc);
        ascents_.emplace(key, ascent);
        return ascent;
    }

private:
    Engine() : map_(pango_cairo_font_map_new()), context_(pango_font_map_create_context(map_)) {
        // Advances unrounded and unhinted: what a line measures is the same at every scale of
        // the picture, so a right-aligned text never grows past its measured width.
        cairo_font_options_t* options = cairo_font_options_create();
        cairo_font_options_set_hint_metrics(options, CAIRO_HINT_METRICS_OFF);
        pango_cairo_context_set_font_options(context_, options);
        cairo_font_options_destroy(options);
        pango_context_set_round_glyph_positions(context_, FALSE);
    }

    static PangoFontDescription* description(const char* families, double size, bool bold, bool italic) {
        PangoFontDescription* desc = pango_font_description_new();
        pango_font_description_set_family(desc, families);
        pango_font_description_set_weight(desc, bold ? PANGO_WEIGHT_BOLD : PANGO_WEIGHT_NORMAL);
        pango_font_description_set_style(desc, italic ? PANGO_STYLE_ITALIC : PANGO_STYLE_NORMAL);
        pango_font_description_set_absolute_size(desc, size * PANGO_SCALE);
        return desc;
    }

    static std::size_t glyphsOf(const ShapedLine& line) {
        std::size_t n = 0;
        for (const auto& run : line.runs) n += run.glyphs.size();
        return n;
    }

    std::shared_ptr<const ShapedLine> set(const Key& key) {
        auto out = std::make_shared<ShapedLine>();
        out->text = settable(key.text);
        out->size = key.size;
        if (out->text.empty() || !std::isfinite(key.size) || key.size <= 0) return out;
        PangoLayout* layout = pango_layout_new(context_);
        PangoFontDescription* desc = description(hasWide(out->text) ? kWideFirst : kLatinFirst, key.size, key.bold, key.italic);
        pango_layout_set_font_description(layout, desc);
        pango_font_description_free(desc);
        pango_layout_set_text(layout, out->text.data(), static_cast<int>(out->text.size()));
        // The line's runs come left to right as drawn, right-to-left ones already reordered.
        PangoLayoutLine* line = pango_layout_get_line_readonly(layout, 0);
        double x = 0;
        for (GSList* run = line ? line->runs : nullptr; run; run = run->next) {
            x += addRun(*static_cast<PangoGlyphItem*>(run->data), x, *out);
        }
        out->width = x;
        orderMissing(*out);
        g_object_unref(layout);
        return out;
    }

    PangoFontMap* map_;
    PangoContext* context_;
    std::mutex mutex_;
    std::list<std::pair<Key, std::shared_ptr<const ShapedLine>>> kept_;  // most recently used first
    std::unordered_map<Key, decltype(kept_)::iterator, KeyHash> index_;
    std::size_t keptGlyphs_ = 0;
    std::map<std::tuple<double, bool, bool, bool>, double> ascents_;
};

// Calls `each` with the pieces a line is measured in: the whole line when it is short, else
// pieces ending after a blank (or, in a text without blanks, before a character).
template <typename Each>
void forEachPiece(const std::string& line, Each each) {
    if (line.size() <= kLongestPiece) {
        each(line);
        return;
    }
    std::size_t start = 0;
    while (start < line.size()) {
        std::size_t end = std::min(line.size(), start + kLongestPiece);
        if (end < line.size()) {
            const std::size_t blank = line.rfind(' ', end - 1);
            if (blank != std::string::npos && blank > start) {
                end = blank + 1;
            } else {
                while (end > start + 1 && (static_cast<unsigned char>(line[end]) & 0xC0) == 0x80) --end;
            }
        }
        each(line.substr(start, end - start));
        start = end;
    }
}

// The box drawn for a character no face has, as wide as the engine reserved for it.
void drawMissing(cairo_t* cr, const ShapedGlyph& g, double size, double x, double y) {
    const double inset = std::min(g.advance * 0.1, size * 0.1);
    cairo_save(cr);
    cairo_set_line_width(cr, size / 16);
    cairo_rectangle(cr, x + g.x + inset, y - size * 0.75, std::max(0.0, g.advance - 2 * inset), size * 0.85);
    cairo_stroke(cr);
    cairo_restore(cr);
}

}  // namespace

std::shared_ptr<const ShapedLine> TextShaper::shape(const Font& font, const std::string& line) {
    return Engine::shared().shape(font, line);
}

double TextShaper::width(const Font& font, const std::string& line) {
    double width = 0;
    forEachPiece(line, [&](const std::string& piece) { width += shape(font, piece)->width; });
    return width;
}

std::vector<char32_t> TextShaper::missing(const Font& font, const std::string& line) {
    std::vector<char32_t> out;
    forEachPiece(line, [&](const std::string& piece) {
        for (char32_t cp : shape(font, piece)->missing) {
            if (std::find(out.begin(), out.end(), cp) == out.end()) out.push_back(cp);
        }
    });
    return out;
}

double TextShaper::ascent(const Font& font, const std::string& text) {
    return Engine::shared().ascent(font, hasWide(text));
}

void TextShaper::draw(cairo_t* cr, const ShapedLine& line, double x, double y) {
    std::vector<cairo_glyph_t> glyphs;
    for (const auto& run : line.runs) {
        glyphs.clear();
        for (const auto& g : run.glyphs) {
            if (g.missing) {
                drawMissing(cr, g, line.size, x, y);
            } else {
                glyphs.push_back(cairo_glyph_t{g.index, x + g.x, y + g.y});
            }
        }
        if (glyphs.empty()) continue;
        cairo_set_scaled_font(cr, run.face.get());
        cairo_show_glyphs(cr, glyphs.data(), static_cast<int>(glyphs.size()));
    }
}

}  // namespace plat
