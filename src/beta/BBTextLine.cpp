#include "beta/BBTextLine.h"

#include "beta/BBSignalSafeText.h"

namespace bb {

BBTextLine& BBTextLine::append(const char* text) { return append(text, kCapacity); }

BBTextLine& BBTextLine::append(const char* text, std::size_t maxLength) {
    if (!text) return *this;
    for (std::size_t i = 0; i < maxLength && text[i] != '\0'; ++i) {
        if (length_ + 1 >= kCapacity) {
            truncated_ = true;
            break;
        }
        text_[length_++] = text[i];
    }
    text_[length_] = '\0';
    return *this;
}

BBTextLine& BBTextLine::appendDecimal(std::int64_t value) {
    char digits[24];
    bb_ltoa(value, digits, sizeof digits);
    return append(digits);
}

BBTextLine& BBTextLine::appendUnsigned(std::uint64_t value) {
    char digits[24];
    bb_utoa(value, digits, sizeof digits);
    return append(digits);
}

BBTextLine& BBTextLine::appendHex(std::uint64_t value, std::size_t digits) {
    char text[17];
    if (digits > 16) digits = 16;
    bb_hex(value, digits, text, sizeof text);
    return append(text);
}

BBTextLine& BBTextLine::padFrom(std::size_t start, std::size_t width) {
    if (start > length_) start = length_;
    char* end = bb_pad(text_ + start, width, kCapacity - start);
    const auto newLength = static_cast<std::size_t>(end - text_);
    if (newLength < start + width) truncated_ = true;
    length_ = newLength;
    return *this;
}

}  // namespace bb
