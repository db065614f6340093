#pragma once

#include <cstddef>
#include <cstdint>

namespace bb {

// One line of text built in fixed storage on the stack, for the crash path: it allocates nothing
// and never grows past its capacity (what does not fit is dropped). The text stays terminated.
class BBTextLine {
public:
    static constexpr std::size_t kCapacity = 1024;

    BBTextLine() = default;
    BBTextLine(const BBTextLine&) = delete;
    BBTextLine& operator=(const BBTextLine&) = delete;

    BBTextLine& append(const char* text);
    // At most `maxLength` bytes of the text.
    BBTextLine& append(const char* text, std::size_t maxLength);
    BBTextLine& appendDecimal(std::int64_t value);
    BBTextLine& appendUnsigned(std::uint64_t value);
    // Exactly `digits` lower-case hexadecimal digits.
    BBTextLine& appendHex(std::uint64_t value, std::size_t digits);
    // Spaces until the text counted from `start` is `width` bytes long.
    BBTextLine& padFrom(std::size_t start, std::size_t width);

    const char* c_str() const { return text_; }
    std::size_t size() const { return length_; }
    bool truncated() const { return truncated_; }

private:
    char text_[kCapacity] = {};
    std::size_t length_ = 0;
    bool truncated_ = false;
};

}  // namespace bb
