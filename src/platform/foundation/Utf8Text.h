#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace plat {

// UTF-8 as the program holds every text: well-formed sequences only (no overlong forms, no
// surrogates, nothing past U+10FFFF). Text from outside (files, file names, server replies) is
// made so before it is kept or shown.
class Utf8Text {
public:
    // What every byte that starts no well-formed sequence becomes.
    static constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

    // Length of the well-formed sequence starting at `text[at]`; 0 when none starts there.
    static std::size_t sequenceLength(std::string_view text, std::size_t at);
    // Whether the bytes from `at` on could begin a well-formed sequence that the text cuts short.
    static bool isCutSequence(std::string_view text, std::size_t at);
    static bool isValid(std::string_view text);
    // The text with each byte that starts no well-formed sequence replaced by U+FFFD; `replaced`,
    // when given, gains the number of bytes replaced.
    static std::string valid(std::string_view text, std::size_t* replaced = nullptr);
};

}  // namespace plat
