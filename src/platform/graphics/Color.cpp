#include "platform/graphics/Color.h"

#include <algorithm>
#include <cmath>
#include <cstdio>

namespace plat {

std::string Color::hex() const {
    auto byte = [](double v) { return static_cast<int>(std::lround(std::clamp(v, 0.0, 1.0) * 255)); };
    char buf[10];
    if (byte(a) == 255) {
        std::snprintf(buf, sizeof buf, "#%02X%02X%02X", byte(r), byte(g), byte(b));
    } else {
        std::snprintf(buf, sizeof buf, "#%02X%02X%02X%02X", byte(r), byte(g), byte(b), byte(a));
    }
    return buf;
}

Color Color::over(const Color& below) const {
    const double outA = a + below.a * (1 - a);
    if (outA <= 0) return clear();
    auto mix = [&](double top, double under) { return (top * a + under * below.a * (1 - a)) / outA; };
    return {mix(r, below.r), mix(g, below.g), mix(b, below.b), outA};
}

double Color::luminance() const {
    auto linear = [](double c) {
        c = std::clamp(c, 0.0, 1.0);
        return c <= 0.03928 ? c / 12.92 : std::pow((c + 0.055) / 1.055, 2.4);
    };
    return 0.2126 * linear(r) + 0.7152 * linear(g) + 0.0722 * linear(b);
}

double Color::contrastRatio(const Color& a, const Color& b) {
    const double la = a.luminance(), lb = b.luminance();
    return (std::max(la, lb) + 0.05) / (std::min(la, lb) + 0.05);
}

}  // namespace plat
