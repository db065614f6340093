#include "platform/graphics/GlyphCoverage.h"

#include "platform/graphics/TextShaper.h"

namespace plat {

std::vector<char32_t> charactersWithoutGlyph(const Font& font, const std::string& line) {
    return TextShaper::missing(font, line);
}

}  // namespace plat
