#include "store/io/XmlText.h"

#include <cstdint>

namespace qx {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

// Length of the well-formed UTF-8 sequence at `p` that XML allows, 0 when there is none.
std::size_t validSequence(std::string_view s, std::size_t p) {
    const auto byte = [&](std::size_t i) { return static_cast<unsigned char>(s[i]); };
    const unsigned char b0 = byte(p);
    std::size_t len = 0;
    std::uint32_t cp = 0;
    if (b0 >= 0xC2 && b0 <= 0xDF) {
        len = 2;
        cp = b0 & 0x1Fu;
    } else if (b0 >= 0xE0 && b0 <= 0xEF) {
        len = 3;
        cp = b0 & 0x0Fu;
    } else if (b0 >= 0xF0 && b0 <= 0xF4) {
        len = 4;
        cp = b0 & 0x07u;
    } else {
        return 0;
    }
    if (p + len > s.size()) return 0;
    for (std::size_t i = 1; i < len; ++i) {
        if ((byte(p + i) & 0xC0u) != 0x80u) return 0;
        cp = (cp << 6) | (byte(p + i) & 0x3Fu);
    }
    const bool overlong = (len == 3 && cp < 0x800) || (len == 4 && cp < 0x10000);
    const bool surrogate = cp >= 0xD800 && cp <= 0xDFFF;
    const bool nonCharacter = cp == 0xFFFE || cp == 0xFFFF || cp > 0x10FFFF;
    return overlong || surrogate || nonCharacter ? 0 : len;
}

}  // namespace

void XmlText::append(std::string& out, std::string_view text) {
    for (std::size_t p = 0; p < text.size();) {
        const char c = text[p];
        const auto u = static_cast<unsigned char>(c);
        if (u < 0x80) {
            switch (c) {
                case '&': out += "&amp;"; break;
                case '<': out += "&lt;"; break;
                case '>': out += "&gt;"; break;
                case '"': out += "&quot;"; break;
                case '\'': out += "&apos;"; break;
                case '\r': out += "&#13;"; break;  // a raw one would be read back as a line feed
                default:
                    if (u >= 0x20 || c == '\t' || c == '\n') out += c;
            }
            ++p;
            continue;
        }
        const std::size_t len = validSequence(text, p);
        if (len == 0) {
            out += kReplacement;
            ++p;
        } else {
            out.append(text.substr(p, len));
            p += len;
        }
    }
}

std::string XmlText::escape(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    append(out, text);
    return out;
}

}  // namespace qx
