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

}  // namespace plat
