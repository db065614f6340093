#include "beta/BBMessagePackBuffer.h"

#include <cstdint>
#include <cstdlib>

namespace bb {

// GCC 12 reports the position computed before realloc as a use after it (a false positive).
#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic push
#pragma GCC diagnostic ignored "-Wuse-after-free"
#endif

bool bb_mp_buffer_grow(BBMessagePackBuffer& b, std::uint64_t n) {
    const std::uint64_t used = b.used();
    const long double wanted = (static_cast<long double>(b.current_length) + n) * 1.5L;
    const auto capacity = static_cast<std::uint64_t>(wanted);
    void* grown = wanted < static_cast<long double>(SIZE_MAX) ? std::realloc(b.raw_data, capacity) : nullptr;
    if (!grown) {
        std::free(b.raw_data);
        b = BBMessagePackBuffer{};
        return false;
    }
    b.raw_data = static_cast<char*>(grown);
    b.raw_data_idx = b.raw_data + used;
    b.current_length = capacity;
    return true;
}

#if defined(__GNUC__) && !defined(__clang__)
#pragma GCC diagnostic pop
#endif

}  // namespace bb
