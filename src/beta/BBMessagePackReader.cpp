#include "beta/BBMessagePackReader.h"

#include <algorithm>
#include <array>
#include <bit>
#include <cstring>
#include <memory>

#if defined(__x86_64__)
#include <immintrin.h>
#endif

#include "beta/BBByteCopy.h"

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

// Classifies the item at r.ptr, with r.remaining bytes from there: its kind and, for a raw, its
// length. An item that does not fit in what remains is an error.
inline __attribute__((always_inline)) void classify(BBMessagePackReader& r) {
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
}

// Moves past the current item (into it, for a container) and classifies the next one.
inline BBMessagePackType advance(BBMessagePackReader& r) {
    if (r.remaining == 0 || r.kind == BBMessagePackTypeError) {
        r.kind = BBMessagePackTypeError;
        return BBMessagePackTypeError;
    }
    const std::uint64_t skip = std::uint64_t{kHeaderSizes[r.kind]} + r.rawLength;
    r.ptr += skip;
    r.remaining -= skip;
    classify(r);
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

std::uint64_t load64(const unsigned char* p) {
    std::uint64_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

std::uint32_t load32(const unsigned char* p) {
    std::uint32_t word;
    std::memcpy(&word, p, sizeof word);
    return word;
}

constexpr std::uint64_t kHighBits = 0x8080808080808080ull;

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
        if (load64(p + i) & kHighBits) break;
    }
    return i;
}

// Keys and values up to the size copied in one go (names, frames, log lines), in one pass
// without early exits: whole vectors or words, the last one overlapping the one before it, so
// that no byte is left to test alone. Text that is not all ASCII is checked again in full.
constexpr std::size_t kShortText = kBBShortCopy;
inline bool isShortASCII(const unsigned char* p, std::size_t n) {
#if defined(__x86_64__)
    if (n >= 16) {
        const auto* v = reinterpret_cast<const __m128i*>(p);
        __m128i any = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16));
        for (std::size_t i = 0; i + 16 < n; i += 16) any = _mm_or_si128(any, _mm_loadu_si128(v + i / 16));
        return _mm_movemask_epi8(any) == 0;
    }
#endif
    if (n >= 8) {
        std::uint64_t any = load64(p + n - 8);
        for (std::size_t i = 0; i + 8 < n; i += 8) any |= load64(p + i);
        return (any & kHighBits) == 0;
    }
    if (n >= 4) return ((load32(p) | load32(p + n - 4)) & 0x80808080u) == 0;
    unsigned char any = 0;
    for (std::size_t i = 0; i < n; ++i) any |= p[i];
    return any < 0x80;
}

// Copies text of 16 bytes up to the size copied in one go: whether it is all ASCII. One pass of
// whole vectors, the last one overlapping the one before it.
inline bool copyShortASCII(char* to, const unsigned char* p, std::size_t n) {
#if defined(__x86_64__)
    const __m128i last = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + n - 16));
    __m128i any = last;
    for (std::size_t i = 0; i + 16 < n; i += 16) {
        const __m128i v = _mm_loadu_si128(reinterpret_cast<const __m128i*>(p + i));
        _mm_storeu_si128(reinterpret_cast<__m128i*>(to + i), v);
        any = _mm_or_si128(any, v);
    }
    _mm_storeu_si128(reinterpret_cast<__m128i*>(to + n - 16), last);
    return _mm_movemask_epi8(any) == 0;
#else
    std::memcpy(to, p, n);
    return isShortASCII(p, n);
#endif
}

constexpr std::size_t kNotUTF8 = ~std::size_t{0};

// Checks the n bytes at p as UTF-8 from `from` until at least `until`: the place where the check
// stopped (a sequence begun before `until` is checked whole), or kNotUTF8.
__attribute__((noinline)) std::size_t checkUTF8(const unsigned char* p, std::size_t n, std::size_t from, std::size_t until) {
    std::size_t i = from;
    while (i < until) {
        i += asciiRun(p + i, until - i);
        if (i >= until) break;
        if (p[i] < 0x80) {
            ++i;
            continue;
        }
        const std::size_t length = multiByteSequence(p + i, n - i);
        if (length == 0) return kNotUTF8;
        i += length;
    }
    return i;
}

inline __attribute__((always_inline)) bool isText(const unsigned char* p, std::size_t n) {
    return (n <= kShortText && isShortASCII(p, n)) || checkUTF8(p, n, 0, n) != kNotUTF8;
}

// Long text is copied and checked in one pass: while it is ASCII, each block is stored where it
// goes and tested from the same registers, so the text is read once, as a plain copy reads it.
// The copy uses vector stores of its own rather than memcpy, whose string-move instruction is
// slow at some distances (see BBByteCopy.h). From the first block that is not ASCII on, the rest
// is copied and then checked in full.
#if defined(__x86_64__)
// The stores are aligned (after a first unaligned vector): stores that cross cache lines cost
// more than loads that do.
__attribute__((target("avx2"))) std::size_t copyASCIIRunAVX2(char* to, const unsigned char* p, std::size_t n) {
    if (n < 32) return 0;
    const __m256i first = _mm256_loadu_si256(reinterpret_cast<const __m256i*>(p));
    if (_mm256_movemask_epi8(first) != 0) return 0;
    _mm256_storeu_si256(reinterpret_cast<__m256i*>(to), first);
    std::size_t i = 32 - (reinterpret_cast<std::uintptr_t>(to) & 31);
    for (; i + 128 <= n; i += 128) {
        const auto* v = reinterpret_cast<const __m256i*>(p + i);
        const __m256i a = _mm256_loadu_si256(v), b = _mm256_loadu_si256(v + 1);
        const __m256i c = _mm256_loadu_si256(v + 2), d = _mm256_loadu_si256(v + 3);
        if (_mm256_movemask_epi8(_mm256_or_si256(_mm256_or_si256(a, b), _mm256_or_si256(c, d))) != 0) break;
        auto* w = reinterpret_cast<__m256i*>(to + i);
        _mm256_store_si256(w, a);
        _mm256_store_si256(w + 1, b);
        _mm256_store_si256(w + 2, c);
        _mm256_store_si256(w + 3, d);
    }
    return i;
}
#endif

std::size_t copyASCIIRunSSE2(char* to, const unsigned char* p, std::size_t n) {
    std::size_t i = 0;
#if defined(__x86_64__)
    for (; i + 64 <= n; i += 64) {
        const auto* v = reinterpret_cast<const __m128i*>(p + i);
        const __m128i a = _mm_loadu_si128(v), b = _mm_loadu_si128(v + 1);
        const __m128i c = _mm_loadu_si128(v + 2), d = _mm_loadu_si128(v + 3);
        if (_mm_movemask_epi8(_mm_or_si128(_mm_or_si128(a, b), _mm_or_si128(c, d))) != 0) break;
        auto* w = reinterpret_cast<__m128i*>(to + i);
        _mm_storeu_si128(w, a);
        _mm_storeu_si128(w + 1, b);
        _mm_storeu_si128(w + 2, c);
        _mm_storeu_si128(w + 3, d);
    }
#else
    (void)to;
    (void)p;
    (void)n;
#endif
    return i;
}

// Copies the n bytes at p to `to`: whether they are UTF-8.
bool copyText(char* to, const unsigned char* p, std::size_t n) {
#if defined(__x86_64__)
    static const bool avx2 = __builtin_cpu_supports("avx2");
    const std::size_t ascii = avx2 ? copyASCIIRunAVX2(to, p, n) : copyASCIIRunSSE2(to, p, n);
#else
    const std::size_t ascii = copyASCIIRunSSE2(to, p, n);
#endif
    bb_copy_bytes(to + ascii, p + ascii, n - ascii);
    return checkUTF8(p, n, ascii, n) != kNotUTF8;
}

// The keys of a map being built, for telling at once that none of them repeats (nearly every map)
// without the dictionary's full check: each key that is ASCII text of up to 16 bytes, as read,
// zeroed past its end. Different keys look alike here only where one is the other followed by
// NULs; a map with such keys, a key of any other kind or more pairs than noted takes the full check.
class KeyTexts {
public:
    static constexpr std::uint32_t kLongest = 16;
    // The pairs compared with each other: up to about this many, that costs less than hashing.
    static constexpr std::size_t kCapacity = 16;

#if defined(__x86_64__)
    void add(std::size_t place, __m128i text, std::uint32_t length) {
        if (place >= kCapacity) {
            addOther();
            return;
        }
        const __m128i places = _mm_setr_epi8(0, 1, 2, 3, 4, 5, 6, 7, 8, 9, 10, 11, 12, 13, 14, 15);
        texts_[place] = _mm_and_si128(text, _mm_cmpgt_epi8(_mm_set1_epi8(static_cast<char>(length)), places));
    }
#endif
    void addOther() { others_ = true; }

    // Whether the first `count` keys are surely all different.
    bool allDifferent(std::size_t count) const {
#if defined(__x86_64__)
        if (others_) return false;
        for (std::size_t i = 1; i < count; ++i) {
            for (std::size_t j = 0; j < i; ++j) {
                if (_mm_movemask_epi8(_mm_cmpeq_epi8(texts_[i], texts_[j])) == 0xffff) return false;
            }
        }
        return true;
#else
        (void)count;
        return false;
#endif
    }

private:
#if defined(__x86_64__)
    __m128i texts_[kCapacity];
#endif
    bool others_ = false;
};

}  // namespace

// Builds an object graph straight from the bytes, with the position in a register rather than in
// the reader (whose every field would be stored and loaded again for each item), and each value
// where it will stay: every value starts as the null object (which owns nothing) and is filled in
// place, so no value is moved after it was read. It notes where the last item it looked at began,
// so that the reader can be left on that item as pulling the items one by one would leave it.
class BBMessagePackBuilder {
public:
    BBMessagePackBuilder(const unsigned char* end, BBArena* arena) : end_(end), arena_(arena) {}

    const unsigned char* lastItem() const { return last_; }

    // Builds the item at p into `out`: the position after it, or null when the input is malformed.
    // Inlined into the loops over the children of arrays and maps, so that a scalar child costs
    // no call. Each kind moves on by its own constant size, not by the size looked up with the
    // kind: the next item's position then waits only for the (predicted) branch, not for loads.
    __attribute__((always_inline)) const unsigned char* build(const unsigned char* p, BBValue& out, int depth) {
        using T = BBValue::Type;
        last_ = p;
        if (p == end_) return nullptr;
        switch (kLeads[p[0]].kind) {
            case BBMessagePackTypeNil: return p + 1;
            case BBMessagePackTypeFalse: return setBoolean(out, false, p + 1);
            case BBMessagePackTypeTrue: return setBoolean(out, true, p + 1);
            case BBMessagePackTypePositiveFixnum:
            case BBMessagePackTypeNegativeFixnum: return setFixnum(out, static_cast<std::int8_t>(p[0]), p + 1);
            case BBMessagePackTypeInt8: return number<std::uint8_t, std::int8_t>(p, out, T::Int8, &BBValue::int_);
            case BBMessagePackTypeUInt8: return number<std::uint8_t, std::uint8_t>(p, out, T::UInt8, &BBValue::uint_);
            case BBMessagePackTypeInt16: return number<std::uint16_t, std::int16_t>(p, out, T::Int16, &BBValue::int_);
            case BBMessagePackTypeUInt16: return number<std::uint16_t, std::uint16_t>(p, out, T::UInt16, &BBValue::uint_);
            case BBMessagePackTypeInt32: return number<std::uint32_t, std::int32_t>(p, out, T::Int32, &BBValue::int_);
            case BBMessagePackTypeUInt32: return number<std::uint32_t, std::uint32_t>(p, out, T::UInt32, &BBValue::uint_);
            case BBMessagePackTypeInt64: return number<std::uint64_t, std::int64_t>(p, out, T::Int64, &BBValue::int_);
            case BBMessagePackTypeUInt64: return number<std::uint64_t, std::uint64_t>(p, out, T::UInt64, &BBValue::uint_);
            case BBMessagePackTypeFloat: return number<std::uint32_t, float>(p, out, T::Float, &BBValue::float_);
            case BBMessagePackTypeDouble: return number<std::uint64_t, double>(p, out, T::Double, &BBValue::double_);
            case BBMessagePackTypeFixRaw: return buildFixString(p + 1, p[0] & 0x1fu, out);
            case BBMessagePackTypeRaw16: return has(p, 3) ? buildString(p + 3, loadBigEndian<std::uint16_t>(p + 1), out) : nullptr;
            case BBMessagePackTypeRaw32: return has(p, 5) ? buildString(p + 5, loadBigEndian<std::uint32_t>(p + 1), out) : nullptr;
            case BBMessagePackTypeFixArray: return buildArray(p + 1, p[0] & 0x0fu, out, depth);
            case BBMessagePackTypeArray16: return has(p, 3) ? buildArray(p + 3, loadBigEndian<std::uint16_t>(p + 1), out, depth) : nullptr;
            case BBMessagePackTypeArray32: return has(p, 5) ? buildArray(p + 5, loadBigEndian<std::uint32_t>(p + 1), out, depth) : nullptr;
            case BBMessagePackTypeFixMap: return buildMap(p + 1, p[0] & 0x0fu, out, depth);
            case BBMessagePackTypeMap16: return has(p, 3) ? buildMap(p + 3, loadBigEndian<std::uint16_t>(p + 1), out, depth) : nullptr;
            case BBMessagePackTypeMap32: return has(p, 5) ? buildMap(p + 5, loadBigEndian<std::uint32_t>(p + 1), out, depth) : nullptr;
            default: return nullptr;
        }
    }

private:
    // Whether the input holds `size` bytes from p on.
    bool has(const unsigned char* p, std::size_t size) const { return static_cast<std::size_t>(end_ - p) >= size; }

    static const unsigned char* setBoolean(BBValue& out, bool value, const unsigned char* next) {
        out.type_ = BBValue::Type::Boolean;
        out.bool_ = value;
        return next;
    }

    static const unsigned char* setFixnum(BBValue& out, std::int8_t value, const unsigned char* next) {
        out.type_ = BBValue::Type::Int8;
        out.int_ = value;
        return next;
    }

    // A number stored big-endian in the Word after the lead byte at p, taken as a Value.
    template <class Word, class Value, class Field>
    const unsigned char* number(const unsigned char* p, BBValue& out, BBValue::Type type, Field BBValue::*field) const {
        if (!has(p, 1 + sizeof(Word))) return nullptr;
        out.type_ = type;
        out.*field = std::bit_cast<Value>(loadBigEndian<Word>(p + 1));
        return p + 1 + sizeof(Word);
    }

    // Text of a fixed-size raw: names, keys and short values, the commonest items after numbers.
    // Text short enough to go inline is read as one vector where the input goes on that far: it is
    // checked for ASCII and stored whole, with no call and no copy of a varying length.
    __attribute__((always_inline)) const unsigned char* buildFixString(const unsigned char* bytes, std::uint32_t length,
                                                                       BBValue& out) {
#if defined(__x86_64__)
        __m128i text;
        if (length <= BBString::kInline && readShortASCII(bytes, length, text)) return storeShortText(text, bytes, length, out);
#endif
        return buildString(bytes, length, out);
    }

#if defined(__x86_64__)
    static_assert(sizeof(BBString::inline_) == 16);

    // Reads the `length` bytes at `bytes` (16 at most), with whatever follows them, as one vector:
    // whether they are in the input and ASCII.
    bool readShortASCII(const unsigned char* bytes, std::uint32_t length, __m128i& text) const {
        if (end_ - bytes >= 16) {
            text = _mm_loadu_si128(reinterpret_cast<const __m128i*>(bytes));
        } else if (!readNearTheEnd(bytes, length, text)) {
            return false;
        }
        return (static_cast<unsigned>(_mm_movemask_epi8(text)) & ((1u << length) - 1)) == 0;
    }

    // The last items of the input: not a byte past its end is read.
    __attribute__((noinline)) bool readNearTheEnd(const unsigned char* bytes, std::uint32_t length, __m128i& text) const {
        if (end_ - bytes < static_cast<std::ptrdiff_t>(length)) return false;
        alignas(16) unsigned char copy[16] = {};
        std::memcpy(copy, bytes, length);
        text = _mm_load_si128(reinterpret_cast<const __m128i*>(copy));
        return true;
    }

    static const unsigned char* storeShortText(__m128i text, const unsigned char* bytes, std::uint32_t length, BBValue& out) {
        BBString& string = *new (&out.string_) BBString();
        _mm_storeu_si128(reinterpret_cast<__m128i*>(string.inline_), text);
        string.inline_[length] = 0;
        string.size_ = length;
        out.type_ = BBValue::Type::String;
        return bytes + length;
    }
#endif

    // Text goes inline when short, into the document's arena otherwise; raws that are not UTF-8
    // become the description of data holding them.
    __attribute__((noinline)) const unsigned char* buildString(const unsigned char* bytes, std::uint32_t length, BBValue& out) {
        if (static_cast<std::size_t>(end_ - bytes) < length) return nullptr;
        BBString& text = *new (&out.string_) BBString();
        char* to;
        if (length <= BBString::kInline) {
            if (!isText(bytes, length)) return notText(bytes, length, out);
            to = text.inline_;
            std::memcpy(to, bytes, length);
        } else {
            to = static_cast<char*>(arena_->allocate(length + 1));
            if (length <= kShortText) {
                if (!copyShortASCII(to, bytes, length) && checkUTF8(bytes, length, 0, length) == kNotUTF8) {
                    return notText(bytes, length, out);
                }
            } else if (!copyText(to, bytes, length)) {
                return notText(bytes, length, out);
            }
            text.arena_ = reinterpret_cast<std::uintptr_t>(arena_);
        }
        to[length] = 0;
        text.data_ = to;
        text.size_ = length;
        out.type_ = BBValue::Type::String;
        return bytes + length;
    }

    __attribute__((noinline)) static const unsigned char* notText(const unsigned char* bytes, std::uint32_t length,
                                                                  BBValue& out) {
        out.string_ = BBString(BBData(bytes, length).description());
        out.type_ = BBValue::Type::String;
        return bytes + length;
    }

    // Keys are nearly always short strings: a plain test of the lead byte predicts better than
    // the dispatch on the kind, which the values that follow the keys keep changing. Short ASCII
    // keys are noted as they are read, for telling that no key of the map repeats.
    __attribute__((always_inline)) const unsigned char* buildKey(const unsigned char* p, BBValue& key, int depth,
                                                                 KeyTexts& keys, std::size_t place) {
        if (p == end_ || (p[0] & 0xe0) != 0xa0) {
            keys.addOther();
            return buildOtherKey(p, key, depth);
        }
        last_ = p;
        const std::uint32_t length = p[0] & 0x1fu;
#if defined(__x86_64__)
        __m128i text;
        if (length <= KeyTexts::kLongest && readShortASCII(p + 1, length, text)) {
            keys.add(place, text, length);
            return length <= BBString::kInline ? storeShortText(text, p + 1, length, key) : buildString(p + 1, length, key);
        }
#else
        (void)place;
#endif
        keys.addOther();
        return buildString(p + 1, length, key);
    }

    __attribute__((noinline)) const unsigned char* buildOtherKey(const unsigned char* p, BBValue& key, int depth) {
        return build(p, key, depth);
    }

    // Every child takes at least one byte, so the input bounds how many can follow.
    std::size_t plausibleCount(const unsigned char* p, std::uint32_t count, std::size_t bytesPerChild) const {
        return std::min<std::size_t>(count, static_cast<std::size_t>(end_ - p) / bytesPerChild);
    }

    __attribute__((noinline)) const unsigned char* buildArray(const unsigned char* p, std::uint32_t count, BBValue& out, int depth) {
        if (depth >= kBBMessagePackMaxDepth) return nullptr;
        BBArray& array = *new (&out.array_) BBArray(BBArenaAllocator<BBValue>::inDocument(arena_));
        out.type_ = BBValue::Type::Array;
        // The items are made null at once and built where they stand, through a pointer the loop
        // keeps in a register rather than the vector's end, which every item's build could change.
        const std::size_t fits = plausibleCount(p, count, 1);
        array.resize(fits);
        BBValue* items = array.data();
        for (std::size_t i = 0; i < fits && p; ++i) p = build(p, items[i], depth + 1);
        if (p && fits < count) p = buildMissingItems(p, count - fits, array, depth);
        return p;
    }

    __attribute__((noinline)) const unsigned char* buildMap(const unsigned char* p, std::uint32_t count, BBValue& out, int depth) {
        if (depth >= kBBMessagePackMaxDepth) return nullptr;
        BBDictionary& dictionary =
            *new (&out.dictionary_) BBDictionary(BBArenaAllocator<BBDictionary::Entry>::inDocument(arena_));
        out.type_ = BBValue::Type::Dictionary;
        auto& entries = dictionary.entries_;
        const std::size_t fits = plausibleCount(p, count, 2);
        entries.resize(fits);
        BBDictionary::Entry* pairs = entries.data();
        KeyTexts keys;
        for (std::size_t i = 0; i < fits && p; ++i) {
            p = buildKey(p, pairs[i].first, depth + 1, keys, i);
            if (p) p = build(p, pairs[i].second, depth + 1);
        }
        if (p && fits < count) p = buildMissingPairs(p, count - fits, entries, depth);
        if (p && entries.size() > 1 && !keys.allDifferent(entries.size())) dictionary.removeRepeatedKeys();
        return p;
    }

    // Children a container claims beyond what the input can hold: the input ends before them all.
    // They are read on until it does, so that the reader is left on the item at fault.
    __attribute__((noinline)) const unsigned char* buildMissingItems(const unsigned char* p, std::size_t missing,
                                                                     BBArray& array, int depth) {
        for (std::size_t i = 0; i < missing && p; ++i) p = build(p, array.emplace_back(), depth + 1);
        return p;
    }

    __attribute__((noinline)) const unsigned char* buildMissingPairs(const unsigned char* p, std::size_t missing,
                                                                     BBDictionary::Entries& entries, int depth) {
        KeyTexts ignored;
        for (std::size_t i = 0; i < missing && p; ++i) {
            auto& entry = entries.emplace_back();
            p = buildKey(p, entry.first, depth + 1, ignored, 0);
            if (p) p = build(p, entry.second, depth + 1);
        }
        return p;
    }

    const unsigned char* const end_;
    BBArena* const arena_;
    const unsigned char* last_ = nullptr;
};

// The builder's reference to a document's arena, dropped once the document was built (after the
// values that were built in it, as containers ask the arena which memory is its own).
struct ReleaseArena {
    void operator()(BBArena* arena) const { arena->release(); }
};
using DocumentArena = std::unique_ptr<BBArena, ReleaseArena>;

// Room for the whole of a small document in the first block: text takes about its packed size,
// numbers many times theirs; a document of one raw takes just the room of its text. Larger
// documents take further blocks.
std::size_t firstArenaBlock(const unsigned char* first, const unsigned char* end) {
    const auto inputSize = static_cast<std::size_t>(end - first);
    if (inputSize >= 5 && (first[0] == 0xda || first[0] == 0xdb)) {
        const std::size_t length = first[0] == 0xda ? loadBigEndian<std::uint16_t>(first + 1) : loadBigEndian<std::uint32_t>(first + 1);
        return std::min(length, inputSize) + 16;
    }
    return std::min(4 * inputSize + 512, BBArena::kBlockSize);
}

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

std::optional<BBValue> bb_mp_build_object(BBMessagePackReader& r) {
    if (r.remaining == 0 || r.kind == BBMessagePackTypeError) {
        r.kind = BBMessagePackTypeError;
        return std::nullopt;
    }
    const unsigned char* first = r.ptr + bb_mp_header_size(r.kind) + r.rawLength;
    const unsigned char* end = r.ptr + r.remaining;
    const DocumentArena arena(BBArena::create(firstArenaBlock(first, end)));
    BBValue out;
    BBMessagePackBuilder builder(end, arena.get());
    const bool built = builder.build(first, out, 0) != nullptr;
    arena->finishBuilding();
    // On the last item read (the one at fault, when the input is malformed), as bb_mp_reader_next
    // would have left the reader.
    r.ptr = builder.lastItem();
    r.remaining = static_cast<std::uint64_t>(end - r.ptr);
    classify(r);
    if (!built) return std::nullopt;
    // Moved out of the finished document, the root counts a reference of its own to the arena
    // (when its text or items lie there).
    return std::optional<BBValue>(std::move(out));
}

}  // namespace bb
