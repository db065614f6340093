#pragma once

#include <cstdint>
#include <optional>

#include "beta/BBValue.h"

// A pull reader over MessagePack bytes: each call of bb_mp_reader_next() moves to the next item
// and classifies it. Containers are entered, not skipped: after an array or map header the next
// item is its first child. Reading never goes past the input; any malformed or truncated item
// makes the reader's kind "error", and it stays so.

namespace bb {

enum BBMessagePackType : std::uint32_t {
    BBMessagePackTypeNone,  // before the first item
    BBMessagePackTypeError,
    BBMessagePackTypeNil,
    BBMessagePackTypeFalse,
    BBMessagePackTypeTrue,
    BBMessagePackTypePositiveFixnum,
    BBMessagePackTypeNegativeFixnum,
    BBMessagePackTypeInt8,
    BBMessagePackTypeUInt8,
    BBMessagePackTypeInt16,
    BBMessagePackTypeUInt16,
    BBMessagePackTypeInt32,
    BBMessagePackTypeUInt32,
    BBMessagePackTypeInt64,
    BBMessagePackTypeUInt64,
    BBMessagePackTypeFloat,
    BBMessagePackTypeDouble,
    BBMessagePackTypeFixArray,
    BBMessagePackTypeArray16,
    BBMessagePackTypeArray32,
    BBMessagePackTypeFixMap,
    BBMessagePackTypeMap16,
    BBMessagePackTypeMap32,
    BBMessagePackTypeFixRaw,
    BBMessagePackTypeRaw16,
    BBMessagePackTypeRaw32,
};

struct BBMessagePackReader {
    const unsigned char* ptr = nullptr;  // first byte of the current item
    std::uint64_t remaining = 0;         // bytes from ptr to the end of the input
    std::uint32_t kind = BBMessagePackTypeNone;
    std::uint32_t rawLength = 0;         // payload length of a raw, else 0
};

// Containers nested deeper than this are refused: input is not trusted, and building recurses.
inline constexpr int kBBMessagePackMaxDepth = 512;

// Bytes of an item of `kind` before its payload or its first child.
std::uint32_t bb_mp_header_size(std::uint32_t kind);

BBMessagePackReader bb_mp_reader_init(const void* bytes, std::uint64_t length);
BBMessagePackType bb_mp_reader_next(BBMessagePackReader& reader);

// Values of the current item; 0 when it is not of a kind the accessor reads.
std::int8_t bb_mp_reader_fixnum(const BBMessagePackReader& reader);
std::int8_t bb_mp_reader_int8(const BBMessagePackReader& reader);
std::uint8_t bb_mp_reader_uint8(const BBMessagePackReader& reader);
std::int16_t bb_mp_reader_int16(const BBMessagePackReader& reader);
std::uint16_t bb_mp_reader_uint16(const BBMessagePackReader& reader);
std::int32_t bb_mp_reader_int32(const BBMessagePackReader& reader);
std::uint32_t bb_mp_reader_uint32(const BBMessagePackReader& reader);
std::int64_t bb_mp_reader_int64(const BBMessagePackReader& reader);
std::uint64_t bb_mp_reader_uint64(const BBMessagePackReader& reader);
float bb_mp_reader_float(const BBMessagePackReader& reader);
double bb_mp_reader_double(const BBMessagePackReader& reader);
// The 16-bit field after the lead byte of uint16, array16, map16 and raw16 items.
std::uint16_t bb_mp_reader_u16(const BBMessagePackReader& reader);
// The 32-bit field after the lead byte of uint32, array32, map32 and raw32 items.
std::uint32_t bb_mp_reader_u32(const BBMessagePackReader& reader);
std::uint32_t bb_mp_reader_array_count(const BBMessagePackReader& reader);
std::uint32_t bb_mp_reader_map_count(const BBMessagePackReader& reader);
std::uint32_t bb_mp_reader_raw_length(const BBMessagePackReader& reader);
const char* bb_mp_reader_raw_bytes(const BBMessagePackReader& reader);

// Reads the next item and everything inside it as an object graph: integers keep their width,
// raws become strings (raws that are not UTF-8 become the description of data holding them).
// Nothing when the input ends early, holds a byte no item starts with, or nests too deeply.
std::optional<BBValue> bb_mp_build_object(BBMessagePackReader& reader);

}  // namespace bb
