#include "beta/BBString.h"

#include <cstring>

namespace bb {

BBString::BBString(std::string_view text) : size_(text.size()) {
    char* bytes;
    if (size_ <= kInline) {
        bytes = inline_;
    } else {
        bytes = new char[size_ + 1];
        arena_ = 0;
    }
    if (size_) std::memcpy(bytes, text.data(), size_);
    bytes[size_] = 0;
    data_ = bytes;
}

BBString::BBString(BBString&& other) noexcept { takeFrom(other); }

BBString& BBString::operator=(const BBString& other) {
    if (this != &other) *this = BBString(other);
    return *this;
}

BBString& BBString::operator=(BBString&& other) noexcept {
    if (this != &other) {
        if (data_ != inline_) releaseStorage();
        takeFrom(other);
    }
    return *this;
}

void BBString::takeFrom(BBString& other) noexcept {
    size_ = other.size_;
    if (other.data_ == other.inline_) {
        std::memcpy(inline_, other.inline_, sizeof inline_);
        data_ = inline_;
        return;
    }
    data_ = other.data_;
    arena_ = other.arena_;
    // Text of a document that leaves it once it is built counts a reference of its own. The string
    // moved from is left empty either way: it may outlive the document.
    if (arena_ != 0 && !(arena_ & kCounted) && !arena()->building()) {
        arena()->retain();
        arena_ |= kCounted;
    }
    other.data_ = other.inline_;
    other.size_ = 0;
    other.inline_[0] = 0;
}

void BBString::releaseStorage() noexcept {
    if (arena_ == 0) {
        delete[] data_;
    } else if (arena_ & kCounted) {
        arena()->release();
    }
}

}  // namespace bb
