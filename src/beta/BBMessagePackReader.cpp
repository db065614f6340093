#include "beta/BBMessagePackReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

namespace bb {

namespace {

constexpr std::uint8_t kHeaderSizes[] = {
    0, 0,     // none, error
    1, 1, 1,  // nil, false, true
    1, 1,     // fixnums
    2, 2,     // int8, uint8
    3, 3,     // int16, uint16
    5, 5,     // int32, uint32
    9, 9,     // int64, uint64
    5, 9,     // float, double
    1, 3, 5,  // arrays
    1, 3, 5,  // maps
    1, 3, 5,  // raws
};

std::uint64_t bigEndian(const unsigned char* p, int width) {
    std::uint64_t v = 0;
    for (int i = 0; i < width; ++i) v = (v << 8) | p[i];
    return v;
}

template <class Word>
Word loadBigEndian(const unsigned char* p) {
    Word w;
    std::memcpy(&w, p, sizeof w);
    if constexpr (std::endian::native == std::endian::little && sizeof(Word) == 2) w = __builtin_bswap16(w);
    if constexpr (std::endian::native == std::endian::little && sizeof(Word) == 4) w = __builtin_bswap32(w);
    if constexpr (std::endian::native == std::endian::little && sizeof(Word) == 8) w = __builtin_bswap64(w);
    return w;
}

// Kind of a lead byte, for the kinds whose size the byte alone tells.
constexpr BBMessagePackType classifyLead(unsigned char lead) {
    if (lead <= 0x7f) return BBMessagePackTypePositiveFixnum;
    if (lead >= 0xe0) return BBMessagePackTypeNegativeFixnum;
    if (lead <= 0x8f) return BBMessagePackTypeFixMap;
    if (lead <= 0x9f) return BBMessagePackTypeFixArray;
    if (lead <= 0xbf) return BBMessagePackTypeFixRaw;
    switch (lead) {
        case 0xc0: return BBMessagePackTypeNil;
        case 0xc2: return BBMessagePackTypeFalse;
        case 0xc3: return BBMessagePackTypeTrue;
        case 0xca: return BBMessagePackTypeFloat;
        case 0xcb: return BBMessagePackTypeDouble;
        case 0xcc: return BBMessagePackTypeUInt8;
        case 0xcd: return BBMessagePackTypeUInt16;
        case 0xce: return BBMessagePackTypeUInt32;
        case 0xcf: return BBMessagePackTypeUInt64;
        case 0xd0: return BBMessagePackTypeInt8;
        case 0xd1: return BBMessagePackTypeInt16;
        case 0xd2: return BBMessagePackTypeInt32;
        case 0xd3: return BBMessagePackTypeInt64;
        case 0xda: return BBMessagePackTypeRaw16;
        case 0xdb: return BBMessagePackTypeRaw32;
        case 0xdc: return BBMessagePackTypeArray16;
        case 0xdd: return BBMessagePackTypeArray32;
        case 0xde: return BBMessagePackTypeMap16;
        case 0xdf: return BBMessagePackTypeMap32;
        default: return BBMessagePackTypeError;
    }
}

// Kind and header size of each lead byte, in one entry: the next item's place depends on both.
struct LeadInfo {
    std::uint8_t kind;
    std::uint8_t header;
};
constexpr auto kLeads = [] {
    std::array<LeadInfo, 256> leads{};
    for (int lead = 0; lead < 256; ++lead) {
        const auto kind = classifyLead(static_cast<unsigned char>(lead));
        leads[lead] = {static_cast<std::uint8_t>(kind), kHeaderSizes[kind]};
    }
    return leads;
}();

// Moves to the next item (the body of bb_mp_reader_next, inlined into the builder).
inline __attribute__((always_inline)) BBMessagePackType advance(BBMessagePackReader& r) {
    if (r.remaining == 0 || r.kind == BBMessagePackTypeError) {
        r.kind = BBMessagePackTypeError;
        return BBMessagePackTypeError;
    }
    const std::uint64_t skip = std::uint64_t{kHeaderSizes[r.kind]} + r.rawLength;
    r.ptr += skip;
    r.remaining -= skip;
    r.rawLength = 0;
    // The previous item may have been the last byte of the input: there is no next one to read.
    const LeadInfo lead = r.remaining == 0 ? LeadInfo{BBMessagePackTypeError, 0} : kLeads[r.ptr[0]];
    const std::uint32_t kind = lead.kind;
    r.kind = kind;
    const std::uint64_t header = lead.header;
    if (r.remaining < header) {
        r.kind = BBMessagePackTypeError;
    } else if (kind >= BBMessagePackTypeFixRaw) {
        r.rawLength = kind == BBMessagePackTypeFixRaw ? (r.ptr[0] & 0x1fu)
                      : kind == BBMessagePackTypeRaw16 ? loadBigEndian<std::uint16_t>(r.ptr + 1)
                                                       : loadBigEndian<std::uint32_t>(r.ptr + 1);
        // In 64 bits: a 32-bit length plus its header must not wrap.
        if (r.remaining < header + r.rawLength) {
            r.kind = BBMessagePackTypeError;
            r.rawLength = 0;
        }
    }
    return static_cast<BBMessagePackType>(r.kind);
}

template <class T>
T fixedValue(const BBMessagePackReader& r, std::uint32_t kind, int width) {
    if (r.kind != kind) return 0;
    return static_cast<T>(bigEndian(r.ptr + 1, width));
}

bool isContinuation(unsigned char c) { return (c & 0xc0) == 0x80; }

// Length of the well-formed multi-byte sequence at p (lead byte >= 0x80), or 0.
std::size_t multiByteSequence(const unsigned char* p, std::size_t left) {
    const unsigned char c = p[0];
    if (c >= 0xc2 && c <= 0xdf) return left >= 2 && isContinuation(p[1]) ? 2 : 0;
    if (c >= 0xe0 && c <= 0xef) {
        if (left < 3 || !isContinuation(p[1]) || !isContinuation(p[2])) return 0;
        if (c == 0xe0 && p[1] < 0xa0) return 0;  // overlong
        if (c == 0xed && p[1] > 0x9f) return 0;  // surrogate
        return 3;
    }
    if (c >= 0xf0 && c <= 0xf4) {
        if (left < 4 || !isContinuation(p[1]) || !isContinuation(p[2]) || !isContinuation(p[3])) return 0;
        if (c == 0xf0 && p[1] < 0x90) return 0;  // overlong
        if (c == 0xf4 && p[1] > 0x8f) return 0;  // above U+10FFFF
        return 4;
    }
    return 0;
}

#if defined(__x86_64__)
// Long runs of ASCII (most text) are checked a vector at a time: the check must not cost much
// more than the copy of the text that follows it.
__attribute__((target("avx2"))) std::size_t asciiRunAVX2(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    for (; i + 128 <= n; i += 128) {
        const auto* v = reinterpret_cast<const __m256i*>(p + i);
        const __m256i any = _mm256_or_si256(_mm256_or_si256(_mm256_loadu_si256(v), _mm256_loadu_si256(v + 1)),
                                            _mm256_or_si256(_mm256_loadu_si256(v + 2), _mm256_loadu_si256(v + 3)));
        if (_mm256_movemask_epi8(any) != 0) break;
    }
    return i;
}

std::size_t asciiRunSSE2(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    for (; i + 64 <= n; i += 64) {
        const auto* v = reinterpret_cast<const __m128i*>(p + i);
        const __m128i any = _mm_or_si128(_mm_or_si128(_mm_loadu_si128(v), _mm_loadu_si128(v + 1)),
                                         _mm_or_si128(_mm_loadu_si128(v + 2), _mm_loadu_si128(v + 3)));
        if (_mm_movemask_epi8(any) != 0) break;
    }
    return i;
}
#endif

// How many leading bytes are surely ASCII (the byte after them may be too).
std::size_t asciiRun(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
#if defined(__x86_64__)
    if (n >= 128) {
        static const bool avx2 = __builtin_cpu_supports("avx2");
        i = avx2 ? asciiRunAVX2(p, n) : asciiRunSSE2(p, n);
    }
#endif
    for (; i + 8 <= n; i += 8) {
        std::uint64_t word;
        std::memcpy(&word, p + i, 8);
        if (word & 0x8080808080808080ull) break;
    }
    return i;
}

// Keys and short values: one pass without early exits.
inline bool isShortASCII(const unsigned char* p, std::size_t n) {
    if (n > 64) return false;
    unsigned char any = 0;
    for (std::size_t i = 0; i < n; ++i) any |= p[i];
    return any < 0x80;
}

bool isValidUTF8(const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
    while (i < n) {
        i += asciiRun(p + i, n - i);
        if (i >= n) break;
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = multiByteSequence(p + i, n - i);
        if (length == 0) return false;
        i += length;
    }
    return true;
}

// Every child takes at least one byte, so the input bounds how many can follow.
std::size_t plausibleCount(const BBMessagePackReader& r, std::uint32_t count, std::uint64_t bytesPerChild) {
    const std::uint64_t after = r.remaining - bb_mp_header_size(r.kind);
    return static_cast<std::size_t>(std::min<std::uint64_t>(count, after / bytesPerChild));
}

}  // namespace

// Builds each value where it will stay: every value starts as the null object (which owns
// nothing) and is filled in place, so no value is moved after it was read.
class BBMessagePackBuilder {
public:
    static bool build(BBMessagePackReader& r, BBValue& out, int depth) {
        using T = BBValue::Type;
        const BBMessagePackType kind = advance(r);
        const unsigned char* p = r.ptr;
        switch (kind) {
            case BBMessagePackTypeNil: return true;
            case BBMessagePackTypeFalse: return setScalar(out, T::Boolean, &BBValue::bool_, false);
            case BBMessagePackTypeTrue: return setScalar(out, T::Boolean, &BBValue::bool_, true);
            case BBMessagePackTypePositiveFixnum:
            case BBMessagePackTypeNegativeFixnum: return setScalar(out, T::Int8, &BBValue::int_, static_cast<std::int8_t>(p[0]));
            case BBMessagePackTypeInt8: return setScalar(out, T::Int8, &BBValue::int_, static_cast<std::int8_t>(p[1]));
            case BBMessagePackTypeUInt8: return setScalar(out, T::UInt8, &BBValue::uint_, p[1]);
            case BBMessagePackTypeInt16:
                return setScalar(out, T::Int16, &BBValue::int_, static_cast<std::int16_t>(loadBigEndian<std::uint16_t>(p + 1)));
            case BBMessagePackTypeUInt16: return setScalar(out, T::UInt16, &BBValue::uint_, loadBigEndian<std::uint16_t>(p + 1));
            case BBMessagePackTypeInt32:
                return setScalar(out, T::Int32, &BBValue::int_, static_cast<std::int32_t>(loadBigEndian<std::uint32_t>(p + 1)));
            case BBMessagePackTypeUInt32: return setScalar(out, T::UInt32, &BBValue::uint_, loadBigEndian<std::uint32_t>(p + 1));
            case BBMessagePackTypeInt64:
                return setScalar(out, T::Int64, &BBValue::int_, static_cast<std::int64_t>(loadBigEndian<std::uint64_t>(p + 1)));
            case BBMessagePackTypeUInt64: return setScalar(out, T::UInt64, &BBValue::uint_, loadBigEndian<std::uint64_t>(p + 1));
            case BBMessagePackTypeFloat:
                return setScalar(out, T::Float, &BBValue::float_, std::bit_cast<float>(loadBigEndian<std::uint32_t>(p + 1)));
            case BBMessagePackTypeDouble:
                return setScalar(out, T::Double, &BBValue::double_, std::bit_cast<double>(loadBigEndian<std::uint64_t>(p + 1)));
            case BBMessagePackTypeFixArray:
            case BBMessagePackTypeArray16:
            case BBMessagePackTypeArray32: return depth < kBBMessagePackMaxDepth && buildArray(r, out, depth);
            case BBMessagePackTypeFixMap:
            case BBMessagePackTypeMap16:
            case BBMessagePackTypeMap32: return depth < kBBMessagePackMaxDepth && buildMap(r, out, depth);
            case BBMessagePackTypeFixRaw:
            case BBMessagePackTypeRaw16:
            case BBMessagePackTypeRaw32: buildString(r, out); return true;
            default: return false;
        }
    }

private:
    template <class Field, class V>
    static bool setScalar(BBValue& out, BBValue::Type type, Field BBValue::*field, V value) {
        out.type_ = type;
        out.*field = value;
        return true;
    }

    static void buildString(const BBMessagePackReader& r, BBValue& out) {
        const auto* bytes = r.ptr + bb_mp_header_size(r.kind);
        if (isShortASCII(bytes, r.rawLength) || isValidUTF8(bytes, r.rawLength)) {
            new (&out.string_) std::string(reinterpret_cast<const char*>(bytes), r.rawLength);
        } else {
            new (&out.string_) std::string(BBData(bytes, r.rawLength).description());
        }
        out.type_ = BBValue::Type::String;
    }

    static bool buildArray(BBMessagePackReader& r, BBValue& out, int depth) {
        const std::uint32_t count = bb_mp_reader_array_count(r);
        BBArray& array = *new (&out.array_) BBArray();
        out.type_ = BBValue::Type::Array;
        array.reserve(plausibleCount(r, count, 1));
        for (std::uint32_t i = 0; i < count; ++i) {
            array.emplace_back();
            if (!build(r, array.back(), depth + 1)) return false;
        }
        return true;
    }

    static bool buildMap(BBMessagePackReader& r, BBValue& out, int depth) {
        const std::uint32_t count = bb_mp_reader_map_count(r);
        BBDictionary& dictionary = *new (&out.dictionary_) BBDictionary();
        out.type_ = BBValue::Type::Dictionary;
        auto& entries = dictionary.entries_;
        entries.reserve(plausibleCount(r, count, 2));
        for (std::uint32_t i = 0; i < count; ++i) {
            auto& entry = entries.emplace_back();
            if (!build(r, entry.first, depth + 1) || !build(r, entry.second, depth + 1)) return false;
        }
        dictionary.removeRepeatedKeys();
        return true;
    }
};

namespace {
}  // namespace

std::uint32_t bb_mp_header_size(std::uint32_t kind) {
    return kind < std::size(kHeaderSizes) ? kHeaderSizes[kind] : 0;
}

BBMessagePackReader bb_mp_reader_init(const void* bytes, std::uint64_t length) {
    BBMessagePackReader r;
    r.ptr = static_cast<const unsigned char*>(bytes);
    r.remaining = bytes ? length : 0;
    return r;
}

BBMessagePackType bb_mp_reader_next(BBMessagePackReader& r) { return advance(r); }

std::int8_t bb_mp_reader_fixnum(const BBMessagePackReader& r) {
    if (r.kind != BBMessagePackTypePositiveFixnum && r.kind != BBMessagePackTypeNegativeFixnum) return 0;
    return static_cast<std::int8_t>(r.ptr[0]);
}
std::int8_t bb_mp_reader_int8(const BBMessagePackReader& r) { return fixedValue<std::int8_t>(r, BBMessagePackTypeInt8, 1); }
std::uint8_t bb_mp_reader_uint8(const BBMessagePackReader& r) { return fixedValue<std::uint8_t>(r, BBMessagePackTypeUInt8, 1); }
std::int16_t bb_mp_reader_int16(const BBMessagePackReader& r) { return fixedValue<std::int16_t>(r, BBMessagePackTypeInt16, 2); }
std::uint16_t bb_mp_reader_uint16(const BBMessagePackReader& r) { return fixedValue<std::uint16_t>(r, BBMessagePackTypeUInt16, 2); }
std::int32_t bb_mp_reader_int32(const BBMessagePackReader& r) { return fixedValue<std::int32_t>(r, BBMessagePackTypeInt32, 4); }
std::uint32_t bb_mp_reader_uint32(const BBMessagePackReader& r) { return fixedValue<std::uint32_t>(r, BBMessagePackTypeUInt32, 4); }
std::int64_t bb_mp_reader_int64(const BBMessagePackReader& r) { return fixedValue<std::int64_t>(r, BBMessagePackTypeInt64, 8); }
std::uint64_t bb_mp_reader_uint64(const BBMessagePackReader& r) { return fixedValue<std::uint64_t>(r, BBMessagePackTypeUInt64, 8); }

float bb_mp_reader_float(const BBMessagePackReader& r) {
    const auto bits = fixedValue<std::uint32_t>(r, BBMessagePackTypeFloat, 4);
    float f;
    std::memcpy(&f, &bits, 4);
    return f;
}

double bb_mp_reader_double(const BBMessagePackReader& r) {
    const auto bits = fixedValue<std::uint64_t>(r, BBMessagePackTypeDouble, 8);
    double d;
    std::memcpy(&d, &bits, 8);
    return d;
}

std::uint16_t bb_mp_reader_u16(const BBMessagePackReader& r) {
    switch (r.kind) {
        case BBMessagePackTypeUInt16:
        case BBMessagePackTypeArray16:
        case BBMessagePackTypeMap16:
        case BBMessagePackTypeRaw16: return static_cast<std::uint16_t>(bigEndian(r.ptr + 1, 2));
        default: return 0;
    }
}

std::uint32_t bb_mp_reader_u32(const BBMessagePackReader& r) {
    switch (r.kind) {
        case BBMessagePackTypeUInt32:
        case BBMessagePackTypeArray32:
        case BBMessagePackTypeMap32:
        case BBMessagePackTypeRaw32: return static_cast<std::uint32_t>(bigEndian(r.ptr + 1, 4));
        default: return 0;
    }
}

// The fix, 16-bit and 32-bit kinds of one container family follow each other.
static std::uint32_t containerCount(const BBMessagePackReader& r, std::uint32_t fixKind) {
    if (r.kind == fixKind) return r.ptr[0] & 0x0f;
    if (r.kind == fixKind + 1) return bb_mp_reader_u16(r);
    if (r.kind == fixKind + 2) return bb_mp_reader_u32(r);
    return 0;
}

std::uint32_t bb_mp_reader_array_count(const BBMessagePackReader& r) { return containerCount(r, BBMessagePackTypeFixArray); }
std::uint32_t bb_mp_reader_map_count(const BBMessagePackReader& r) { return containerCount(r, BBMessagePackTypeFixMap); }

std::uint32_t bb_mp_reader_raw_length(const BBMessagePackReader& r) { return r.rawLength; }

const char* bb_mp_reader_raw_bytes(const BBMessagePackReader& r) {
    if (r.kind != BBMessagePackTypeFixRaw && r.kind != BBMessagePackTypeRaw16 && r.kind != BBMessagePackTypeRaw32) {
        return nullptr;
    }
    return reinterpret_cast<const char*>(r.ptr + bb_mp_header_size(r.kind));
}

std::optional<BBValue> bb_mp_build_object(BBMessagePackReader& reader) {
    BBValue out;
    if (!BBMessagePackBuilder::build(reader, out, 0)) return std::nullopt;
    return out;
}

}  // namespace bb
