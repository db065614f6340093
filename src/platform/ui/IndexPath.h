#pragma once

#include <compare>
#include <string>

namespace plat {

// A row of a section (tables) or a row of a wheel (pickers use their own indices).
struct IndexPath {
    long section = 0;
    long row = 0;

    auto operator<=>(const IndexPath&) const = default;
    std::string text() const { return "[" + std::to_string(section) + ", " + std::to_string(row) + "]"; }
};

}  // namespace plat
