#pragma once

#include <cstdint>
#include <cstring>

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
    if (n) std::memcpy(b.raw_data_idx, bytes, n);
    b.raw_data_idx += n;
    return true;
}

namespace mp_detail {

// Writes `lead` then the low `width` bytes of `v`, most significant first.
inline bool writeLeadAndBigEndian(BBMessagePackBuffer& b, std::uint8_t lead, std::uint64_t v, int width) {
    if (!bb_mp_buffer_reserve(b, 1 + width)) return false;
    auto* p = reinterpret_cast<unsigned char*>(b.raw_data_idx);
    p[0] = lead;
    for (int i = 0; i < width; ++i) p[1 + i] = static_cast<unsigned char>(v >> (8 * (width - 1 - i)));
    b.raw_data_idx += 1 + width;
    return true;
}

// The fix form (fixBase + count) up to fixMax, else the 16-bit or the 32-bit form.
inline bool writeSizedHeader(BBMessagePackBuffer& b, std::uint32_t n, std::uint32_t fixMax,
                             std::uint8_t fixBase, std::uint8_t lead16, std::uint8_t lead32) {
    if (n <= fixMax) return writeLeadAndBigEndian(b, static_cast<std::uint8_t>(fixBase + n), 0, 0);
    if (n < 65536) return writeLeadAndBigEndian(b, lead16, n, 2);
    return writeLeadAndBigEndian(b, lead32, n, 4);
}

}  // namespace mp_detail

inline bool bb_mp_write_nil(BBMessagePackBuffer& b) { return mp_detail::writeLeadAndBigEndian(b, 0xc0, 0, 0); }
inline bool bb_mp_write_bool(BBMessagePackBuffer& b, bool v) {
    return mp_detail::writeLeadAndBigEndian(b, v ? 0xc3 : 0xc2, 0, 0);
}
inline bool bb_mp_write_uint8(BBMessagePackBuffer& b, std::uint8_t v) { return mp_detail::writeLeadAndBigEndian(b, 0xcc, v, 1); }
inline bool bb_mp_write_uint16(BBMessagePackBuffer& b, std::uint16_t v) { return mp_detail::writeLeadAndBigEndian(b, 0xcd, v, 2); }
inline bool bb_mp_write_uint32(BBMessagePackBuffer& b, std::uint32_t v) { return mp_detail::writeLeadAndBigEndian(b, 0xce, v, 4); }
inline bool bb_mp_write_uint64(BBMessagePackBuffer& b, std::uint64_t v) { return mp_detail::writeLeadAndBigEndian(b, 0xcf, v, 8); }
inline bool bb_mp_write_int8(BBMessagePackBuffer& b, std::int8_t v) {
    return mp_detail::writeLeadAndBigEndian(b, 0xd0, static_cast<std::uint8_t>(v), 1);
}
inline bool bb_mp_write_int16(BBMessagePackBuffer& b, std::int16_t v) {
    return mp_detail::writeLeadAndBigEndian(b, 0xd1, static_cast<std::uint16_t>(v), 2);
}
inline bool bb_mp_write_int32(BBMessagePackBuffer& b, std::int32_t v) {
    return mp_detail::writeLeadAndBigEndian(b, 0xd2, static_cast<std::uint32_t>(v), 4);
}
inline bool bb_mp_write_int64(BBMessagePackBuffer& b, std::int64_t v) {
    return mp_detail::writeLeadAndBigEndian(b, 0xd3, static_cast<std::uint64_t>(v), 8);
}
inline bool bb_mp_write_float(BBMessagePackBuffer& b, float v) {
    std::uint32_t bits;
    std::memcpy(&bits, &v, 4);
    return mp_detail::writeLeadAndBigEndian(b, 0xca, bits, 4);
}
inline bool bb_mp_write_double(BBMessagePackBuffer& b, double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return mp_detail::writeLeadAndBigEndian(b, 0xcb, bits, 8);
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
