#pragma once

#include <algorithm>
#include <cstddef>
#include <cstdint>
#include <cstring>

// Copies of large blocks (long texts and data in packs). The C library moves large blocks with
// the processor's string-move instruction, which on some processors runs many times slower (ten
// times and more, measured) when the destination lies a few bytes past the source within a page.
// Where the two lie depends on the heap, not on the caller. Such copies go in pieces small
// enough for the library to use vector moves, which have no such case.

namespace bb {

// Pieces of this size are copied with vector moves whatever the processor: the library turns to
// the string-move instruction at 2 KiB at the least.
inline constexpr std::size_t kBBShortCopy = 1536;

// The largest piece, up to `largest`, of a copy from `from` to `to` that memcpy moves at full speed.
inline std::size_t bb_copy_piece(const void* to, const void* from, std::size_t largest) {
    const std::uintptr_t distance =
        (reinterpret_cast<std::uintptr_t>(to) - reinterpret_cast<std::uintptr_t>(from)) % 4096;
    return distance > 0 && distance < 64 ? std::min(largest, kBBShortCopy) : largest;
}

// memcpy for blocks of any size.
inline void bb_copy_bytes(void* to, const void* from, std::size_t n) {
    if (n <= kBBShortCopy) {
        if (n) std::memcpy(to, from, n);
        return;
    }
    const std::size_t piece = bb_copy_piece(to, from, n);
    for (std::size_t done = 0; done < n; done += piece) {
        std::memcpy(static_cast<char*>(to) + done, static_cast<const char*>(from) + done, std::min(piece, n - done));
    }
}

}  // namespace bb
