#include "TerminalText.h"

#include <cstdio>

namespace qx::app {

namespace {

void appendCode(std::string& out, const char* format, unsigned code) {
    char escape[8];
    std::snprintf(escape, sizeof escape, format, code);
    out += escape;
}

}  // namespace

std::string TerminalText::printable(std::string_view text) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const auto byte = static_cast<unsigned char>(text[i]);
        if (byte == '\n' || byte == '\t') {
            out += text[i];
        } else if (byte == 0x1b) {
            out += "\\e";
        } else if (byte < 0x20 || byte == 0x7f) {
            appendCode(out, "\\x%02x", byte);
        } else if (byte == 0xc2 && i + 1 < text.size() && static_cast<unsigned char>(text[i + 1]) < 0xa0 &&
                   static_cast<unsigned char>(text[i + 1]) >= 0x80) {
            // U+0080 to U+009F: some terminals take U+009B as the start of an order, as ESC [.
            appendCode(out, "\\u%04x", static_cast<unsigned char>(text[++i]));
        } else {
            out += text[i];
        }
    }
    return out;
}

}  // namespace qx::app
