#pragma once

#include <string>

#include "platform/graphics/Geometry.h"

namespace plat {

// A font by name and point size. The name is kept as the screens give it; drawing maps it to
// the font families of this machine, and measuring sets the text as drawing does (shaped, in
// the face of each character's script, in bidirectional order), so layout matches the picture.
struct Font {
    std::string name = "System";
    double size = 17;

    static Font system(double size) { return {"System", size}; }
    static Font boldSystem(double size) { return {"System-Bold", size}; }
    static Font italicSystem(double size) { return {"System-Italic", size}; }
    static Font named(std::string name, double size) { return {std::move(name), size}; }

    bool isBold() const;
    bool isItalic() const;
    double lineHeight() const { return size * 1.2; }
    // Width of one line of text (UTF-8) as drawn: shaped, each character in the first face of
    // the fallback that has it (the CJK face first for a line with wide characters).
    double widthOf(const std::string& text) const;
    // Size of text broken at newlines only.
    Size measure(const std::string& text) const;

    bool operator==(const Font&) const = default;
    // "System-Bold 15"
    std::string description() const;
};

// Decodes the UTF-8 code point starting at text[i] and moves i past it; a broken sequence reads
// as one replacement character per byte.
char32_t nextCodePoint(const std::string& text, std::size_t& i);
// The wide scripts (CJK, kana, hangul, full-width forms): lines break between any two of their
// characters, and a line with one of them is set in the CJK face first.
bool isWideCharacter(char32_t cp);

}  // namespace plat
