#pragma once

#include <string>

#include "platform/graphics/DrawingContext.h"

namespace plat {

// One line of a control's own text (a tab title, a segment) drawn as a label draws it: shrunk
// towards the minimum scale, never below the smallest readable size, then cut with an
// ellipsis, and never outside its box.
struct FittedText {
    static void draw(DrawingContext& ctx, const std::string& text, const Rect& box, const Font& font,
                     const Color& color, TextAlignment alignment, double minimumScale);
};

}  // namespace plat
