#pragma once

#include <string>

namespace plat {

// An RGBA colour, components from 0 to 1.
struct Color {
    double r = 0, g = 0, b = 0, a = 1;

    static constexpr Color rgba(double red, double green, double blue, double alpha = 1) {
        return {red, green, blue, alpha};
    }
    static constexpr Color fromBytes(int red, int green, int blue, double alpha = 1) {
        return {red / 255.0, green / 255.0, blue / 255.0, alpha};
    }

    // The platform's named colours.
    static constexpr Color red() { return {1, 0, 0, 1}; }
    static constexpr Color orange() { return {1, 0.5, 0, 1}; }
    static constexpr Color green() { return {0, 1, 0, 1}; }
    static constexpr Color gray() { return {0.5, 0.5, 0.5, 1}; }
    static constexpr Color blue() { return {0, 0, 1, 1}; }
    static constexpr Color black() { return {0, 0, 0, 1}; }
    static constexpr Color white() { return {1, 1, 1, 1}; }
    static constexpr Color clear() { return {0, 0, 0, 0}; }

    // The same colour with another opacity.
    constexpr Color withAlpha(double alpha) const { return {r, g, b, alpha}; }

    constexpr bool operator==(const Color&) const = default;

    // "#RRGGBB", or "#RRGGBBAA" when not opaque: how the driver prints a colour.
    std::string hex() const;
};

}  // namespace plat
