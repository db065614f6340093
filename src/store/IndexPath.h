#pragma once

#include <compare>
#include <cstddef>

namespace qx {

// A position in a sectioned list.
struct IndexPath {
    std::size_t section = 0;
    std::size_t row = 0;
    constexpr auto operator<=>(const IndexPath&) const = default;
};

}  // namespace qx
