#pragma once

#include <bit>
#include <cstdint>
#include <cstring>
#include <type_traits>

#include "beta/BBByteCopy.h"

// Writers of MessagePack items into one growing buffer. Every item is written big-endian in the
// width it is asked for; the header of a raw, array or map takes the smallest form that holds
// its length. A write that cannot get memory releases the buffer, and every later write fails.

namespace bb {

struct BBMessagePackBuffer {
    char* raw_data = nullptr;         // start of the buffer
    char* raw_data_idx = nullptr;     // write position
    std::uint64_t current_length = 0; // capacity in bytes

    std::uint64_t used() const { return static_cast<std::uint64_t>(raw_data_idx - raw_data); }
};

// Makes room for `n` more bytes, growing the buffer to 1.5 times (capacity + n) when needed.
bool bb_mp_buffer_grow(BBMessagePackBuffer& b, std::uint64_t n);

inline bool bb_mp_buffer_reserve(BBMessagePackBuffer& b, std::uint64_t n) {
    if (!b.raw_data) return false;
    if (b.used() + n <= b.current_length) return true;
    return bb_mp_buffer_grow(b, n);
}

inline bool bb_mp_write_bytes(BBMessagePackBuffer& b, const void* bytes, std::uint64_t n) {
    if (!bb_mp_buffer_reserve(b, n)) return false;
    bb_copy_bytes(b.raw_data_idx, bytes, n);
    b.raw_data_idx += n;
    return true;
}

namespace mp_detail {

// Stores the low `Width` bytes of `v` at `p`, most significant first.
template <int Width>
inline void storeBigEndian(unsigned char* p, std::uint64_t v) {
    if constexpr (Width == 1) {
        p[0] = static_cast<unsigned char>(v);
    } else if constexpr (std::endian::native == std::endian::little) {
        using Word = std::conditional_t<Width == 2, std::uint16_t, std::conditional_t<Width == 4, std::uint32_t, std::uint64_t>>;
        Word w = static_cast<Word>(v);
        if constexpr (Width == 2) w = __builtin_bswap16(w);
        if constexpr (Width == 4) w = __builtin_bswap32(w);
        if constexpr (Width == 8) w = __builtin_bswap64(w);
        std::memcpy(p, &w, Width);
    } else {
        for (int i = 0; i < Width; ++i) p[i] = static_cast<unsigned char>(v >> (8 * (Width - 1 - i)));
    }
}

// Writes `lead` then the low `Width` bytes of `v`, most significant first.
template <int Width>
inline bool writeLeadAndBigEndian(BBMessagePackBuffer& b, std::uint8_t lead, std::uint64_t v) {
    if (!bb_mp_buffer_reserve(b, 1 + Width)) return false;
    auto* p = reinterpret_cast<unsigned char*>(b.raw_data_idx);
    p[0] = lead;
    if constexpr (Width > 0) storeBigEndian<Width>(p + 1, v);
    b.raw_data_idx += 1 + Width;
    return true;
}

// The fix form (fixBase + count) up to fixMax, else the 16-bit or the 32-bit form.
inline bool writeSizedHeader(BBMessagePackBuffer& b, std::uint32_t n, std::uint32_t fixMax,
                             std::uint8_t fixBase, std::uint8_t lead16, std::uint8_t lead32) {
    if (n <= fixMax) return writeLeadAndBigEndian<0>(b, static_cast<std::uint8_t>(fixBase + n), 0);
    if (n < 65536) return writeLeadAndBigEndian<2>(b, lead16, n);
    return writeLeadAndBigEndian<4>(b, lead32, n);
}

}  // namespace mp_detail

inline bool bb_mp_write_nil(BBMessagePackBuffer& b) { return mp_detail::writeLeadAndBigEndian<0>(b, 0xc0, 0); }
inline bool bb_mp_write_bool(BBMessagePackBuffer& b, bool v) {
    return mp_detail::writeLeadAndBigEndian<0>(b, v ? 0xc3 : 0xc2, 0);
}
inline bool bb_mp_write_uint8(BBMessagePackBuffer& b, std::uint8_t v) { return mp_detail::writeLeadAndBigEndian<1>(b, 0xcc, v); }
inline bool bb_mp_write_uint16(BBMessagePackBuffer& b, std::uint16_t v) { return mp_detail::writeLeadAndBigEndian<2>(b, 0xcd, v); }
inline bool bb_mp_write_uint32(BBMessagePackBuffer& b, std::uint32_t v) { return mp_detail::writeLeadAndBigEndian<4>(b, 0xce, v); }
inline bool bb_mp_write_uint64(BBMessagePackBuffer& b, std::uint64_t v) { return mp_detail::writeLeadAndBigEndian<8>(b, 0xcf, v); }
inline bool bb_mp_write_int8(BBMessagePackBuffer& b, std::int8_t v) {
    return mp_detail::writeLeadAndBigEndian<1>(b, 0xd0, static_cast<std::uint8_t>(v));
}
inline bool bb_mp_write_int16(BBMessagePackBuffer& b, std::int16_t v) {
    return mp_detail::writeLeadAndBigEndian<2>(b, 0xd1, static_cast<std::uint16_t>(v));
}
inline bool bb_mp_write_int32(BBMessagePackBuffer& b, std::int32_t v) {
    return mp_detail::writeLeadAndBigEndian<4>(b, 0xd2, static_cast<std::uint32_t>(v));
}
inline bool bb_mp_write_int64(BBMessagePackBuffer& b, std::int64_t v) {
    return mp_detail::writeLeadAndBigEndian<8>(b, 0xd3, static_cast<std::uint64_t>(v));
}
inline bool bb_mp_write_float(BBMessagePackBuffer& b, float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return mp_detail::writeLeadAndBigEndian<4>(b, 0xca, bits);
}
inline bool bb_mp_write_double(BBMessagePackBuffer& b, double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return mp_detail::writeLeadAndBigEndian<8>(b, 0xcb, bits);
}

// A raw of `length` bytes. A length a raw cannot carry (above 32 bits) is written as the empty
// raw, without payload, so that the bytes after it still parse.
inline bool bb_mp_write_raw(BBMessagePackBuffer& b, const void* bytes, std::uint64_t length) {
    if (length > 0xffffffffu) return mp_detail::writeSizedHeader(b, 0, 31, 0xa0, 0xda, 0xdb);
    if (!mp_detail::writeSizedHeader(b, static_cast<std::uint32_t>(length), 31, 0xa0, 0xda, 0xdb)) return false;
    return bb_mp_write_bytes(b, bytes, length);
}

inline bool bb_mp_write_array_header(BBMessagePackBuffer& b, std::uint32_t count) {
    return mp_detail::writeSizedHeader(b, count, 15, 0x90, 0xdc, 0xdd);
}
inline bool bb_mp_write_map_header(BBMessagePackBuffer& b, std::uint32_t count) {
    return mp_detail::writeSizedHeader(b, count, 15, 0x80, 0xde, 0xdf);
}

}  // namespace bb
