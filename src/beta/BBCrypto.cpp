#include "beta/BBCrypto.h"

#include <openssl/evp.h>

#include <cstring>

namespace bb {

std::string BBCrypto::sha1(const std::optional<std::string>& text) {
    const char* bytes = text ? text->c_str() : "";
    unsigned char digest[EVP_MAX_MD_SIZE];
    unsigned int length = 0;
    if (EVP_Digest(bytes, std::strlen(bytes), digest, &length, EVP_sha1(), nullptr) != 1) return {};
    return lowerHex(digest, length);
}

std::string BBCrypto::lowerHex(const unsigned char* bytes, std::size_t length) {
    static const char digits[] = "0123456789abcdef";
    std::string hex;
    hex.reserve(length * 2);
    for (std::size_t i = 0; i < length; ++i) {
        hex += digits[bytes[i] >> 4];
        hex += digits[bytes[i] & 0x0f];
    }
    return hex;
}

}  // namespace bb
