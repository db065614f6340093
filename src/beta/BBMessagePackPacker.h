#pragma once

#include <cstddef>
#include <cstdint>
#include <memory>
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
    void packNSString(std::string_view string);
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

    // A container being packed: the items (or pairs) still to go. The walk over a graph keeps
    // these on a stack of its own, so that how deep a graph nests never decides how much of the
    // thread's stack packing takes.
    struct Frame {
        const BBValue* item;  // next array item, or null in a dictionary
        const BBValue* itemsEnd;
        const BBDictionary::Entry* pair;  // next pair of a dictionary
        const BBDictionary::Entry* pairsEnd;
    };
    class FrameStack {
    public:
        FrameStack() = default;
        FrameStack(const FrameStack&) = delete;
        FrameStack& operator=(const FrameStack&) = delete;
        bool empty() const { return size_ == 0; }
        std::size_t size() const { return size_; }
        Frame& top() { return frames_[size_ - 1]; }
        Frame& at(std::size_t i) { return frames_[i]; }
        void pop() { --size_; }
        // False when memory ran out.
        bool push(const Frame& frame);

    private:
        // Most graphs nest a few levels: those frames need no allocation.
        static constexpr std::size_t kInlineFrames = 16;
        Frame inline_[kInlineFrames];
        std::unique_ptr<Frame[]> heap_;
        Frame* frames_ = inline_;
        std::size_t size_ = 0;
        std::size_t capacity_ = kInlineFrames;
    };

    // Packs what the frames on the stack still hold (the items of the containers whose headers
    // were written), walking into nested containers with the stack rather than by recursion.
    Cursor packItems(FrameStack& stack, Cursor c);
    Cursor packArrayHeader(const BBArray& array, Cursor c, FrameStack& stack);
    Cursor packDictionaryHeader(const BBDictionary& dictionary, Cursor c, FrameStack& stack);
    // Releases the buffer: every later write fails.
    Cursor outOfMemory();
    // One value: a scalar, a string or data whole; a container's header only, its items pushed.
    [[gnu::always_inline]] inline Cursor packValue(const BBValue& object, Cursor c, FrameStack& stack);
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
