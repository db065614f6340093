#include "beta/BBData.h"

#include <cstdlib>

namespace bb {

BBData::BBData(std::string bytes) : size_(bytes.size()) {
    if (bytes.empty()) return;
    // The shared string owns the bytes; the aliasing pointer avoids a copy.
    auto owner = std::make_shared<const std::string>(std::move(bytes));
    bytes_ = std::shared_ptr<const char>(owner, owner->data());
}

BBData::BBData(const void* bytes, std::size_t length)
    : BBData(length ? std::string(static_cast<const char*>(bytes), length) : std::string()) {}

BBData BBData::adoptingMalloced(char* bytes, std::size_t length) {
    BBData data;
    data.bytes_ = std::shared_ptr<const char>(bytes, [](const char* p) { std::free(const_cast<char*>(p)); });
    data.size_ = length;
    return data;
}

std::string BBData::description() const {
    static const char digits[] = "0123456789abcdef";
    std::string text = "<";
    text.reserve(2 + size_ * 2 + size_ / 4);
    const auto* p = reinterpret_cast<const unsigned char*>(bytes());
    for (std::size_t i = 0; i < size_; ++i) {
        if (i > 0 && i % 4 == 0) text += ' ';
        text += digits[p[i] >> 4];
        text += digits[p[i] & 0x0f];
    }
    text += '>';
    return text;
}

}  // namespace bb
