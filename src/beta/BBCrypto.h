#pragma once

#include <cstddef>
#include <optional>
#include <string>

namespace bb {

class BBCrypto {
public:
    // The SHA-1 of the text's UTF-8 bytes up to its first NUL, as 40 lower-case hexadecimal
    // digits; no text counts as the empty text.
    static std::string sha1(const std::optional<std::string>& text);
    // Bytes as lower-case hexadecimal digits, two a byte.
    static std::string lowerHex(const unsigned char* bytes, std::size_t length);
};

}  // namespace bb
