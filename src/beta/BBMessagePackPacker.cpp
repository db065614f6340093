#include "beta/BBMessagePackPacker.h"

#include "beta/BBByteCopy.h"

#include <bit>
#include <cstdlib>

namespace bb {

namespace {
// Room for a typical event at once: growing from a few bytes by half again each time would
// reallocate a dozen times for one kilobyte. What a small result leaves unused is given back.
constexpr std::uint64_t kInitialCapacity = 4096;
constexpr std::uint64_t kKeptSlack = 512;
}

BBMessagePackPacker::~BBMessagePackPacker() { releaseBuffer(); }

void BBMessagePackPacker::releaseBuffer() {
    std::free(buffer_.raw_data);
    buffer_ = BBMessagePackBuffer{};
}

std::optional<BBData> BBMessagePackPacker::pack(const BBValue& object) {
    releaseBuffer();
    buffer_.raw_data = static_cast<char*>(std::malloc(kInitialCapacity));
    if (!buffer_.raw_data) return std::nullopt;
    buffer_.raw_data_idx = buffer_.raw_data;
    buffer_.current_length = kInitialCapacity;
    packObject(object);
    if (!buffer_.raw_data || buffer_.used() == 0) {
        releaseBuffer();
        return std::nullopt;
    }
    const std::uint64_t used = buffer_.used();
    if (buffer_.current_length == kInitialCapacity && kInitialCapacity - used > kKeptSlack) {
        // Shrinking a small block keeps the bytes where they are.
        if (void* shrunk = std::realloc(buffer_.raw_data, used)) buffer_.raw_data = static_cast<char*>(shrunk);
    }
    BBData data = BBData::adoptingMalloced(buffer_.raw_data, used);
    buffer_ = BBMessagePackBuffer{};
    data.bb_setMessagePack(true);
    return data;
}

BBMessagePackPacker::Cursor BBMessagePackPacker::grow(Cursor c, std::uint64_t n) {
    keep(c);
    if (!bb_mp_buffer_reserve(buffer_, n)) return {nullptr, nullptr};
    return cursor();
}

template <int Width>
BBMessagePackPacker::Cursor BBMessagePackPacker::packLead(std::uint8_t lead, std::uint64_t value, Cursor c) {
    c = reserve(c, 1 + Width);
    if (!c.at) return c;
    auto* p = reinterpret_cast<unsigned char*>(c.at);
    p[0] = lead;
    if constexpr (Width > 0) mp_detail::storeBigEndian<Width>(p + 1, value);
    c.at += 1 + Width;
    return c;
}

// The fix form (fixBase + n) up to fixMax, else the 16-bit or the 32-bit form.
BBMessagePackPacker::Cursor BBMessagePackPacker::packSizedHeader(std::uint32_t n, std::uint32_t fixMax, std::uint8_t fixBase,
                                                                 std::uint8_t lead16, std::uint8_t lead32, Cursor c) {
    if (n <= fixMax) return packLead<0>(static_cast<std::uint8_t>(fixBase + n), 0, c);
    if (n < 65536) return packLead<2>(lead16, n, c);
    return packLead<4>(lead32, n, c);
}

BBMessagePackPacker::Cursor BBMessagePackPacker::packBytes(const void* bytes, std::uint64_t length, Cursor c) {
    c = reserve(c, length);
    if (!c.at) return c;
    bb_copy_bytes(c.at, bytes, length);
    c.at += length;
    return c;
}

// A length a raw cannot carry (above 32 bits) is written as the empty raw, without payload, so
// that the bytes after it still parse.
BBMessagePackPacker::Cursor BBMessagePackPacker::packRaw(const void* bytes, std::uint64_t length, Cursor c) {
    if (length > 0xffffffffu) return packSizedHeader(0, 31, 0xa0, 0xda, 0xdb, c);
    c = packSizedHeader(static_cast<std::uint32_t>(length), 31, 0xa0, 0xda, 0xdb, c);
    return packBytes(bytes, length, c);
}

BBMessagePackPacker::Cursor BBMessagePackPacker::packValue(const BBValue& object, Cursor c) {
    using T = BBValue::Type;
    // One dispatch on the type for every kind of value, numbers included: this runs per value.
    switch (object.type()) {
        case T::Array: return packArray(object.array_, c);
        case T::Dictionary: return packDictionary(object.dictionary_, c);
        case T::Data:
            if (object.data_.bb_isMessagePack()) return packBytes(object.data_.bytes(), object.data_.size(), c);
            return packRaw(object.data_.bytes(), object.data_.size(), c);
        case T::String: return packRaw(object.string_.data(), object.string_.size(), c);
        case T::Null: return packLead<0>(0xc0, 0, c);
        case T::Boolean: return packLead<0>(object.bool_ ? 0xc3 : 0xc2, 0, c);
        case T::Int8: return packLead<1>(0xd0, static_cast<std::uint8_t>(object.int_), c);
        case T::Int16: return packLead<2>(0xd1, static_cast<std::uint16_t>(object.int_), c);
        case T::Int32: return packLead<4>(0xd2, static_cast<std::uint32_t>(object.int_), c);
        case T::Int64: return packLead<8>(0xd3, static_cast<std::uint64_t>(object.int_), c);
        case T::UInt8: return packLead<1>(0xcc, static_cast<std::uint8_t>(object.uint_), c);
        case T::UInt16: return packLead<2>(0xcd, static_cast<std::uint16_t>(object.uint_), c);
        case T::UInt32: return packLead<4>(0xce, static_cast<std::uint32_t>(object.uint_), c);
        case T::UInt64: return packLead<8>(0xcf, object.uint_, c);
        case T::Float: return packLead<4>(0xca, std::bit_cast<std::uint32_t>(object.float_), c);
        case T::Double: return packLead<8>(0xcb, std::bit_cast<std::uint64_t>(object.double_), c);
    }
    return c;
}

BBMessagePackPacker::Cursor BBMessagePackPacker::packArray(const BBArray& array, Cursor c) {
    // A count no header can carry writes an empty array, so the output stays well formed.
    if (array.size() > 0xffffffffu) return packSizedHeader(0, 15, 0x90, 0xdc, 0xdd, c);
    c = packSizedHeader(static_cast<std::uint32_t>(array.size()), 15, 0x90, 0xdc, 0xdd, c);
    for (const BBValue& item : array) c = packValue(item, c);
    return c;
}

BBMessagePackPacker::Cursor BBMessagePackPacker::packDictionary(const BBDictionary& dictionary, Cursor c) {
    if (dictionary.size() > 0xffffffffu) return packSizedHeader(0, 15, 0x80, 0xde, 0xdf, c);
    c = packSizedHeader(static_cast<std::uint32_t>(dictionary.size()), 15, 0x80, 0xde, 0xdf, c);
    for (const auto& [key, value] : dictionary) {
        // Keys are nearly always strings: a plain test predicts better than the type dispatch.
        if (key.type() == BBValue::Type::String) {
            c = packRaw(key.string_.data(), key.string_.size(), c);
        } else {
            c = packValue(key, c);
        }
        c = packValue(value, c);
    }
    return c;
}

// The public steps pack through the cursor like the graph does, and leave the position in the
// buffer for the next step.
void BBMessagePackPacker::packObject(const BBValue& object) { keep(packValue(object, cursor())); }
void BBMessagePackPacker::packNSArray(const BBArray& array) { keep(packArray(array, cursor())); }
void BBMessagePackPacker::packNSDictionary(const BBDictionary& dictionary) { keep(packDictionary(dictionary, cursor())); }

void BBMessagePackPacker::packNSNumber(const BBValue& number) {
    if (number.isNumber()) packObject(number);
}

void BBMessagePackPacker::packNSString(const std::string& string) { keep(packRaw(string.data(), string.size(), cursor())); }
void BBMessagePackPacker::packNSData(const BBData& data) { keep(packRaw(data.bytes(), data.size(), cursor())); }
void BBMessagePackPacker::packNSNull() { keep(packLead<0>(0xc0, 0, cursor())); }

}  // namespace bb
