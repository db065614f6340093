#pragma once

#include <optional>

#include "platform/graphics/Color.h"

namespace plat {

class Label;

// What a person can read on a phone held at arm's length.
struct Readability {
    // Below this size (points) a text is hard to read: text that does not fit wraps or ends
    // in an ellipsis rather than shrinking further. The screens' own smallest fonts (the
    // figures of the history rows) are set at it.
    static constexpr double kSmallestTextSize = 9;
    // The least ratio of luminances between a text and what is beneath it (as for large text).
    static constexpr double kMinimumContrast = 3;
    // The grey of placeholders in empty fields: light, yet that contrast against white.
    static constexpr Color kPlaceholderGray = Color::fromBytes(142, 142, 147);
    // A dark shadow a point beside a text's glyphs outlines them: the colour a light text (the
    // alarm colours on a pale screen) is drawn with so that it reads.
    static constexpr Color kOutline = Color::fromBytes(40, 40, 40);

    // The outline a text of this colour needs over this background; none when it reads as it is.
    static std::optional<Color> outlineFor(const Color& text, const Color& background);
    // Gives the label the text colour, outlined (its shadow, where the label's shadow offset
    // puts it, drawn dark) when it would not read over the background; otherwise its shadow
    // is `shadow`, the label's own look, or none.
    static void colorText(Label& label, const Color& text, const Color& background,
                          std::optional<Color> shadow = std::nullopt);
};

}  // namespace plat
