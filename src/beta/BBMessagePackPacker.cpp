#include "beta/BBMessagePackPacker.h"

#include "beta/BBByteCopy.h"

#include <algorithm>
#include <bit>
#include <cstdlib>
#include <new>

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
    // A lone string or data is packed at its size at once: growing to it would copy it again.
    std::uint64_t capacity = kInitialCapacity;
    if (object.type() == BBValue::Type::String) capacity = std::max(capacity, object.string_.size() + 5);
    if (object.type() == BBValue::Type::Data) capacity = std::max<std::uint64_t>(capacity, object.data_.size() + 5);
    buffer_.raw_data = static_cast<char*>(std::malloc(capacity));
    if (!buffer_.raw_data) return std::nullopt;
    buffer_.raw_data_idx = buffer_.raw_data;
    buffer_.current_length = capacity;
    packObject(object);
    if (!buffer_.raw_data || buffer_.used() == 0) {
        releaseBuffer();
        return std::nullopt;
    }
    const std::uint64_t used = buffer_.used();
    if (buffer_.current_length == capacity && capacity - used > kKeptSlack) {
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

bool BBMessagePackPacker::FrameStack::push(const Frame& frame) {
    if (size_ == capacity_) {
        const std::size_t capacity = capacity_ * 2;
        std::unique_ptr<Frame[]> grown(new (std::nothrow) Frame[capacity]);
        if (!grown) return false;
        std::copy(frames_, frames_ + size_, grown.get());
        heap_ = std::move(grown);
        frames_ = heap_.get();
        capacity_ = capacity;
    }
    frames_[size_++] = frame;
    return true;
}

BBMessagePackPacker::Cursor BBMessagePackPacker::packValue(const BBValue& object, Cursor c, FrameStack& stack) {
    using T = BBValue::Type;
    // One dispatch on the type for every kind of value, numbers included: this runs per value.
    switch (object.type()) {
        case T::Array: return packArrayHeader(object.array_, c, stack);
        case T::Dictionary: return packDictionaryHeader(object.dictionary_, c, stack);
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

// A count no header can carry writes an empty container, so the output stays well formed.
BBMessagePackPacker::Cursor BBMessagePackPacker::packArrayHeader(const BBArray& array, Cursor c, FrameStack& stack) {
    if (array.size() > 0xffffffffu) return packSizedHeader(0, 15, 0x90, 0xdc, 0xdd, c);
    c = packSizedHeader(static_cast<std::uint32_t>(array.size()), 15, 0x90, 0xdc, 0xdd, c);
    if (c.at && !array.empty() && !stack.push({array.data(), array.data() + array.size(), nullptr, nullptr})) {
        return outOfMemory();
    }
    return c;
}

BBMessagePackPacker::Cursor BBMessagePackPacker::packDictionaryHeader(const BBDictionary& dictionary, Cursor c,
                                                                      FrameStack& stack) {
    const auto& pairs = dictionary.entries_;
    if (pairs.size() > 0xffffffffu) return packSizedHeader(0, 15, 0x80, 0xde, 0xdf, c);
    c = packSizedHeader(static_cast<std::uint32_t>(pairs.size()), 15, 0x80, 0xde, 0xdf, c);
    if (c.at && !pairs.empty() && !stack.push({nullptr, nullptr, pairs.data(), pairs.data() + pairs.size()})) {
        return outOfMemory();
    }
    return c;
}

// The items of the top frame are packed in a loop of their own, with the position in registers,
// until one of them is a container (which pushed a frame of its own: its items come first) or
// the frame is done.
BBMessagePackPacker::Cursor BBMessagePackPacker::packItems(FrameStack& stack, Cursor c) {
    while (c.at && !stack.empty()) {
        const std::size_t depth = stack.size();
        Frame& frame = stack.top();
        if (frame.item) {
            const BBValue* item = frame.item;
            const BBValue* const end = frame.itemsEnd;
            while (item != end && c.at && stack.size() == depth) c = packValue(*item++, c, stack);
            stack.at(depth - 1).item = item;
            if (item == end && stack.size() == depth) stack.pop();
            continue;
        }
        const BBDictionary::Entry* pair = frame.pair;
        const BBDictionary::Entry* const end = frame.pairsEnd;
        while (pair != end && c.at && stack.size() == depth) {
            const BBDictionary::Entry& entry = *pair++;
            // Keys are nearly always strings: a plain test predicts better than the type dispatch.
            if (entry.first.type() == BBValue::Type::String) {
                c = packRaw(entry.first.string_.data(), entry.first.string_.size(), c);
                c = packValue(entry.second, c, stack);
                continue;
            }
            // A key of another type (a container even) is packed first; its pair's value waits in
            // a frame of its own, above the dictionary's and below any the key pushes.
            if (!stack.push({&entry.second, &entry.second + 1, nullptr, nullptr})) return outOfMemory();
            c = packValue(entry.first, c, stack);
            break;
        }
        stack.at(depth - 1).pair = pair;
        if (pair == end && stack.size() == depth) stack.pop();
    }
    return c;
}

BBMessagePackPacker::Cursor BBMessagePackPacker::outOfMemory() {
    releaseBuffer();
    return {nullptr, nullptr};
}

// The public steps pack through the cursor like the graph does, and leave the position in the
// buffer for the next step.
void BBMessagePackPacker::packObject(const BBValue& object) {
    FrameStack stack;
    keep(packItems(stack, packValue(object, cursor(), stack)));
}

void BBMessagePackPacker::packNSArray(const BBArray& array) {
    FrameStack stack;
    keep(packItems(stack, packArrayHeader(array, cursor(), stack)));
}

void BBMessagePackPacker::packNSDictionary(const BBDictionary& dictionary) {
    FrameStack stack;
    keep(packItems(stack, packDictionaryHeader(dictionary, cursor(), stack)));
}

void BBMessagePackPacker::packNSNumber(const BBValue& number) {
    if (number.isNumber()) packObject(number);
}

void BBMessagePackPacker::packNSString(std::string_view string) { keep(packRaw(string.data(), string.size(), cursor())); }
void BBMessagePackPacker::packNSData(const BBData& data) { keep(packRaw(data.bytes(), data.size(), cursor())); }
void BBMessagePackPacker::packNSNull() { keep(packLead<0>(0xc0, 0, cursor())); }

}  // namespace bb
