#pragma once

#include <cstddef>
#include <memory>
#include <string>
#include <string_view>
#include <utility>

namespace bb {

// An immutable byte buffer shared by its copies. It may carry the MessagePack mark: marked data
// already is MessagePack and goes verbatim into any enclosing pack, so that large bodies made of
// stored pieces are never decoded and encoded again.
class BBData {
public:
    BBData() = default;
    explicit BBData(std::string bytes);
    BBData(const void* bytes, std::size_t length);
    BBData(const BBData&) = default;
    BBData& operator=(const BBData&) = default;
    // Data moved from is empty, its size too.
    BBData(BBData&& other) noexcept
        : bytes_(std::move(other.bytes_)), size_(std::exchange(other.size_, 0)),
          messagePack_(std::exchange(other.messagePack_, false)) {}
    BBData& operator=(BBData&& other) noexcept {
        if (this != &other) {
            bytes_ = std::move(other.bytes_);
            size_ = std::exchange(other.size_, 0);
            messagePack_ = std::exchange(other.messagePack_, false);
        }
        return *this;
    }

    // Takes over a buffer from malloc/realloc without copying it; it is released with free.
    static BBData adoptingMalloced(char* bytes, std::size_t length);

    const char* bytes() const { return bytes_ ? bytes_.get() : ""; }
    std::size_t size() const { return size_; }
    bool empty() const { return size_ == 0; }
    std::string_view view() const { return {bytes(), size_}; }

    bool bb_isMessagePack() const { return messagePack_; }
    void bb_setMessagePack(bool messagePack) { messagePack_ = messagePack; }

    // The bytes as lower-case hexadecimal in angle brackets, a space after every fourth byte:
    // "<01020304 05>".
    std::string description() const;

    // Equal bytes; the mark does not take part.
    bool operator==(const BBData& other) const { return view() == other.view(); }

private:
    std::shared_ptr<const char> bytes_;
    std::size_t size_ = 0;
    bool messagePack_ = false;
};

}  // namespace bb
