#pragma once

#include <cstddef>
#include <cstdint>
#include <string>
#include <string_view>

#include "beta/BBArena.h"

namespace bb {

// The text of a string value, always followed by a NUL. Short text is kept inline, longer text on
// the heap; the text of an unpacked document stays in the document's arena (see BBArena). A copy
// owns its bytes; a move out of a document takes a counted reference to the arena instead. A
// string moved from is empty.
class BBString {
public:
    BBString() noexcept : data_(inline_), size_(0) { inline_[0] = 0; }
    explicit BBString(std::string_view text);
    BBString(const BBString& other) : BBString(other.view()) {}
    BBString(BBString&& other) noexcept;
    BBString& operator=(const BBString& other);
    BBString& operator=(BBString&& other) noexcept;
    ~BBString() {
        // Text of a document that no value counted goes with the document.
        if (data_ != inline_ && (arena_ == 0 || (arena_ & kCounted))) releaseStorage();
    }

    const char* data() const { return data_; }
    const char* c_str() const { return data_; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string_view view() const { return {data_, size_}; }
    operator std::string_view() const { return view(); }
    std::string str() const { return std::string(data_, size_); }

    friend bool operator==(const BBString& a, const BBString& b) { return a.view() == b.view(); }
    friend bool operator==(const BBString& a, std::string_view b) { return a.view() == b; }
    friend bool operator==(const BBString& a, const char* b) { return a.view() == b; }

    // Text this short is kept inline.
    static constexpr std::size_t kInline = 15;

private:
    friend class BBMessagePackBuilder;  // places text in a document's arena

    static constexpr std::uintptr_t kCounted = 1;
    BBArena* arena() const { return reinterpret_cast<BBArena*>(arena_ & ~kCounted); }
    void releaseStorage() noexcept;
    void takeFrom(BBString& other) noexcept;

    const char* data_;
    std::size_t size_;
    union {
        char inline_[kInline + 1];
        // Outside: the arena holding the text (its low bit set when counted), or 0 for the heap.
        std::uintptr_t arena_;
    };
};

}  // namespace bb
