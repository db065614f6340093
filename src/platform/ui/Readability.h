#pragma once

#include "platform/graphics/Color.h"

namespace plat {

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
};

}  // namespace plat
