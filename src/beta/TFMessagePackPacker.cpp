#include "beta/TFMessagePackPacker.h"

#include <cstdlib>

namespace bb {

namespace {
constexpr std::uint64_t kInitialCapacity = 5;
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
    BBData data = BBData::adoptingMalloced(buffer_.raw_data, buffer_.used());
    buffer_ = BBMessagePackBuffer{};
    data.bb_setMessagePack(true);
    return data;
}

void TFMessagePackPacker::packObject(const BBValue& object) {
    switch (object.type()) {
        case BBValue::Type::Array: packNSArray(*object.asArray()); return;
        case BBValue::Type::Dictionary: packNSDictionary(*object.asDictionary()); return;
        case BBValue::Type::Data: {
            const BBData& data = *object.asData();
            if (data.bb_isMessagePack()) {
                bb_mp_write_bytes(buffer_, data.bytes(), data.size());
            } else {
                packNSData(data);
            }
            return;
        }
        case BBValue::Type::String: packNSString(*object.asString()); return;
        case BBValue::Type::Null: packNSNull(); return;
        default: packNSNumber(object); return;
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
        packObject(key);
        packObject(value);
    }
}

void TFMessagePackPacker::packNSNumber(const BBValue& number) {
    using T = BBValue::Type;
    switch (number.type()) {
        case T::Boolean: bb_mp_write_bool(buffer_, number.boolValue()); return;
        case T::Int8: bb_mp_write_int8(buffer_, static_cast<std::int8_t>(number.int64Value())); return;
        case T::Int16: bb_mp_write_int16(buffer_, static_cast<std::int16_t>(number.int64Value())); return;
        case T::Int32: bb_mp_write_int32(buffer_, static_cast<std::int32_t>(number.int64Value())); return;
        case T::Int64: bb_mp_write_int64(buffer_, number.int64Value()); return;
        case T::UInt8: bb_mp_write_uint8(buffer_, static_cast<std::uint8_t>(number.uint64Value())); return;
        case T::UInt16: bb_mp_write_uint16(buffer_, static_cast<std::uint16_t>(number.uint64Value())); return;
        case T::UInt32: bb_mp_write_uint32(buffer_, static_cast<std::uint32_t>(number.uint64Value())); return;
        case T::UInt64: bb_mp_write_uint64(buffer_, number.uint64Value()); return;
        case T::Float: bb_mp_write_float(buffer_, number.floatValue()); return;
        case T::Double: bb_mp_write_double(buffer_, number.doubleValue()); return;
        default: return;
    }
}

void TFMessagePackPacker::packNSString(const std::string& string) {
    bb_mp_write_raw(buffer_, string.data(), string.size());
}

void TFMessagePackPacker::packNSData(const BBData& data) { bb_mp_write_raw(buffer_, data.bytes(), data.size()); }

void TFMessagePackPacker::packNSNull() { bb_mp_write_nil(buffer_); }

}  // namespace bb
