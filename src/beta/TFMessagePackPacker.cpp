#include "beta/TFMessagePackPacker.h"

#include <cstdlib>

namespace bb {

namespace {
// Room for a typical event at once: growing from a few bytes by half again each time would
// reallocate a dozen times for one kilobyte. What a small result leaves unused is given back.
constexpr std::uint64_t kInitialCapacity = 4096;
constexpr std::uint64_t kKeptSlack = 512;
}

TFMessagePackPacker::~TFMessagePackPacker() { releaseBuffer(); }

void TFMessagePackPacker::releaseBuffer() {
    std::free(buffer_.raw_data);
    buffer_ = BBMessagePackBuffer{};
}

std::optional<BBData> TFMessagePackPacker::pack(const BBValue& object) {
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

void TFMessagePackPacker::packObject(const BBValue& object) {
    using T = BBValue::Type;
    // One dispatch on the type for every kind of value, numbers included: this runs per value.
    switch (object.type()) {
        case T::Array: packNSArray(object.array_); return;
        case T::Dictionary: packNSDictionary(object.dictionary_); return;
        case T::Data:
            if (object.data_.bb_isMessagePack()) {
                bb_mp_write_bytes(buffer_, object.data_.bytes(), object.data_.size());
            } else {
                packNSData(object.data_);
            }
            return;
        case T::String: packNSString(object.string_); return;
        case T::Null: packNSNull(); return;
        case T::Boolean: bb_mp_write_bool(buffer_, object.bool_); return;
        case T::Int8: bb_mp_write_int8(buffer_, static_cast<std::int8_t>(object.int_)); return;
        case T::Int16: bb_mp_write_int16(buffer_, static_cast<std::int16_t>(object.int_)); return;
        case T::Int32: bb_mp_write_int32(buffer_, static_cast<std::int32_t>(object.int_)); return;
        case T::Int64: bb_mp_write_int64(buffer_, object.int_); return;
        case T::UInt8: bb_mp_write_uint8(buffer_, static_cast<std::uint8_t>(object.uint_)); return;
        case T::UInt16: bb_mp_write_uint16(buffer_, static_cast<std::uint16_t>(object.uint_)); return;
        case T::UInt32: bb_mp_write_uint32(buffer_, static_cast<std::uint32_t>(object.uint_)); return;
        case T::UInt64: bb_mp_write_uint64(buffer_, object.uint_); return;
        case T::Float: bb_mp_write_float(buffer_, object.float_); return;
        case T::Double: bb_mp_write_double(buffer_, object.double_); return;
    }
}

void TFMessagePackPacker::packNSArray(const BBArray& array) {
    // A count no header can carry writes an empty array, so the output stays well formed.
    if (array.size() > 0xffffffffu) {
        bb_mp_write_array_header(buffer_, 0);
        return;
    }
    bb_mp_write_array_header(buffer_, static_cast<std::uint32_t>(array.size()));
    for (const BBValue& item : array) packObject(item);
}

void TFMessagePackPacker::packNSDictionary(const BBDictionary& dictionary) {
    if (dictionary.size() > 0xffffffffu) {
        bb_mp_write_map_header(buffer_, 0);
        return;
    }
    bb_mp_write_map_header(buffer_, static_cast<std::uint32_t>(dictionary.size()));
    for (const auto& [key, value] : dictionary) {
        // Keys are nearly always strings: a plain test predicts better than the type dispatch.
        if (key.type() == BBValue::Type::String) {
            packNSString(key.string_);
        } else {
            packObject(key);
        }
        packObject(value);
    }
}

void TFMessagePackPacker::packNSNumber(const BBValue& number) {
    if (number.isNumber()) packObject(number);
}

void TFMessagePackPacker::packNSString(const std::string& string) {
    bb_mp_write_raw(buffer_, string.data(), string.size());
}

void TFMessagePackPacker::packNSData(const BBData& data) { bb_mp_write_raw(buffer_, data.bytes(), data.size()); }

void TFMessagePackPacker::packNSNull() { bb_mp_write_nil(buffer_); }

}  // namespace bb
