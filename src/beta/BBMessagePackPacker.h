#pragma once

#include <cstdint>
#include <optional>
#include <string>

#include "beta/BBMessagePackBuffer.h"
#include "beta/BBValue.h"

namespace bb {

// Packs one object graph into one buffer; one instance serves one pack() call on one thread.
// Numbers keep the width they were declared with (no fixnums are written), strings and data are
// both raws, and data marked as MessagePack is copied verbatim.
class BBMessagePackPacker {
public:
    BBMessagePackPacker() = default;
    ~BBMessagePackPacker();
    BBMessagePackPacker(const BBMessagePackPacker&) = delete;
    BBMessagePackPacker& operator=(const BBMessagePackPacker&) = delete;

    // The packed bytes, marked as MessagePack; nothing when memory ran out.
    std::optional<BBData> pack(const BBValue& object);

    void packObject(const BBValue& object);
    void packNSArray(const BBArray& array);
    void packNSDictionary(const BBDictionary& dictionary);
    void packNSNumber(const BBValue& number);
    void packNSString(const std::string& string);
    void packNSData(const BBData& data);
    void packNSNull();

private:
    // The write position and the end of the buffer, kept in registers while a graph is packed:
    // kept in the buffer's fields, they would be loaded again after every byte stored, as a byte
    // store may alias anything. A null position means memory ran out; every later write fails.
    struct Cursor {
        char* at;
        char* end;
    };
    Cursor cursor() const { return {buffer_.raw_data_idx, buffer_.raw_data + buffer_.current_length}; }
    void keep(Cursor c) { buffer_.raw_data_idx = c.at; }

    // Inlined into the loops over arrays and dictionaries, so that a scalar in them costs no call.
    [[gnu::always_inline]] inline Cursor packValue(const BBValue& object, Cursor c);
    [[gnu::noinline]] Cursor packArray(const BBArray& array, Cursor c);
    [[gnu::noinline]] Cursor packDictionary(const BBDictionary& dictionary, Cursor c);
    // The writers of single items are inlined into the loops over the graph.
    [[gnu::always_inline]] inline Cursor packRaw(const void* bytes, std::uint64_t length, Cursor c);
    [[gnu::always_inline]] inline Cursor packBytes(const void* bytes, std::uint64_t length, Cursor c);
    template <int Width>
    [[gnu::always_inline]] inline Cursor packLead(std::uint8_t lead, std::uint64_t value, Cursor c);
    [[gnu::always_inline]] inline Cursor packSizedHeader(std::uint32_t n, std::uint32_t fixMax, std::uint8_t fixBase,
                                                         std::uint8_t lead16, std::uint8_t lead32, Cursor c);
    // Room for n more bytes from the position: the cursor, moved with the buffer when it grew.
    Cursor reserve(Cursor c, std::uint64_t n) {
        return static_cast<std::uint64_t>(c.end - c.at) >= n ? c : grow(c, n);
    }
    [[gnu::noinline]] Cursor grow(Cursor c, std::uint64_t n);

    void releaseBuffer();
    BBMessagePackBuffer buffer_;
};

}  // namespace bb
