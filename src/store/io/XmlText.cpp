#include "store/io/XmlText.h"

#include "platform/foundation/Utf8Text.h"

namespace qx {

namespace {

// Length of the well-formed UTF-8 sequence at `p` that XML allows, 0 when there is none: XML
// leaves out U+FFFE and U+FFFF as well.
std::size_t validSequence(std::string_view s, std::size_t p) {
    const std::size_t len = plat::Utf8Text::sequenceLength(s, p);
    const bool nonCharacter = len == 3 && s.substr(p, 2) == "\xEF\xBF" && static_cast<unsigned char>(s[p + 2]) >= 0xBE;
    return nonCharacter ? 0 : len;
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
            out += plat::Utf8Text::kReplacement;
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
