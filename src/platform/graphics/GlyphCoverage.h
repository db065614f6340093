#pragma once

#include <string>
#include <vector>

#include "platform/graphics/Font.h"

namespace plat {

// The characters of one line that no face of this machine has a glyph for (drawn as empty
// boxes), each once, in the text's order.
std::vector<char32_t> charactersWithoutGlyph(const Font& font, const std::string& line);

}  // namespace plat
