#include "platform/foundation/Utf8Text.h"

#include <cstdint>

namespace plat {

namespace {

// The length a lead byte announces and the range its first continuation byte must fall in,
// which is what rules out overlong forms, surrogates and code points past U+10FFFF.
struct Lead {
    std::size_t length = 0;
    unsigned char low = 0x80, high = 0xBF;
};

Lead leadOf(unsigned char b) {
    if (b >= 0xC2 && b <= 0xDF) return {2};
    if (b == 0xE0) return {3, 0xA0, 0xBF};
    if (b == 0xED) return {3, 0x80, 0x9F};
    if (b >= 0xE1 && b <= 0xEF) return {3};
    if (b == 0xF0) return {4, 0x90, 0xBF};
    if (b >= 0xF1 && b <= 0xF3) return {4};
    if (b == 0xF4) return {4, 0x80, 0x8F};
    return {0};
}

// How many bytes from `at` on fit the sequence its lead byte announces (the lead included).
std::size_t fitting(std::string_view text, std::size_t at, const Lead& lead) {
    std::size_t n = 1;
    for (; n < lead.length && at + n < text.size(); ++n) {
        const auto b = static_cast<unsigned char>(text[at + n]);
        const bool fits = n == 1 ? b >= lead.low && b <= lead.high : (b & 0xC0u) == 0x80u;
        if (!fits) break;
    }
    return n;
}

}  // namespace

std::size_t Utf8Text::sequenceLength(std::string_view text, std::size_t at) {
    const auto b = static_cast<unsigned char>(text[at]);
    if (b < 0x80) return 1;
    const Lead lead = leadOf(b);
    if (lead.length == 0) return 0;
    return fitting(text, at, lead) == lead.length ? lead.length : 0;
}

bool Utf8Text::isCutSequence(std::string_view text, std::size_t at) {
    const Lead lead = leadOf(static_cast<unsigned char>(text[at]));
    const std::size_t n = fitting(text, at, lead);
    return lead.length != 0 && n < lead.length && at + n == text.size();
}

bool Utf8Text::isValid(std::string_view text) {
    for (std::size_t p = 0; p < text.size();) {
        const std::size_t n = sequenceLength(text, p);
        if (n == 0) return false;
        p += n;
    }
    return true;
}

std::string Utf8Text::valid(std::string_view text, std::size_t* replaced) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t p = 0; p < text.size();) {
        const std::size_t n = sequenceLength(text, p);
        if (n == 0) {
            out += kReplacement;
            if (replaced) ++*replaced;
            ++p;
        } else {
            out.append(text.substr(p, n));
            p += n;
        }
    }
    return out;
}

}  // namespace plat
