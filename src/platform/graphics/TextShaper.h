#pragma once

// Private to the graphics layer's sources: text set by the shaping engine. Never include from a
// header that other layers see (the engine's own headers stay in TextShaper.cpp).

#include <cairo.h>

#include <cstddef>
#include <memory>
#include <string>
#include <vector>

#include "platform/graphics/Font.h"

namespace plat {

// One glyph of a shaped line, its origin measured from the line's start on the baseline.
struct ShapedGlyph {
    unsigned long index = 0;  // in its run's face; the character itself when missing
    double x = 0, y = 0;
    double advance = 0;
    std::size_t byte = 0;  // where its character (cluster) starts in ShapedLine::text
    bool missing = false;  // no face has it: drawn as an empty box
};

// Glyphs set in one face, left to right as they are drawn.
struct GlyphRun {
    std::shared_ptr<cairo_scaled_font_t> face;
    bool rightToLeft = false;
    std::vector<ShapedGlyph> glyphs;
};

// One line of text set in a font: runs left to right, in bidirectional order.
struct ShapedLine {
    std::string text;  // what was set: valid UTF-8, control characters left out, tabs as blanks
    double size = 0;
    double width = 0;
    std::vector<GlyphRun> runs;
    std::vector<char32_t> missing;  // characters without a glyph, each once, in the text's order
};

// Sets lines of text with the shaping engine, each character in the first face of the font's
// fallback that has it. Measuring and drawing share what it sets, so a text is drawn exactly
// as wide as it measured; set lines are kept (the most recently used few thousand), as layout
// measures the same texts again and again. Safe to use from any thread.
class TextShaper {
public:
    // One line (no newlines) in the font.
    static std::shared_ptr<const ShapedLine> shape(const Font& font, const std::string& line);
    // The width of a line, and the characters of it without a glyph. A line far longer than
    // any screen (a name of a megabyte) is set in pieces parted at blanks, whose widths add up
    // to the whole's, so that cutting it to a width costs a few short lines, not megabytes.
    static double width(const Font& font, const std::string& line);
    static std::vector<char32_t> missing(const Font& font, const std::string& line);
    // From the top of a text's box to its first baseline: the ascent of the face its lines are
    // set in first.
    static double ascent(const Font& font, const std::string& text);
    // Draws a shaped line in the current source, its start at x on the baseline y.
    static void draw(cairo_t* cr, const ShapedLine& line, double x, double y);
};

}  // namespace plat
