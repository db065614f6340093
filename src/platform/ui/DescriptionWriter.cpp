#include "platform/ui/DescriptionWriter.h"

namespace plat {

void DescriptionWriter::line(const std::string& text) {
    text_.append(static_cast<std::size_t>(depth_) * 2, ' ');
    text_ += text;
    text_ += '\n';
}

std::string DescriptionWriter::quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '"') {
            out += "\\\"";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

std::string DescriptionWriter::shortened(const std::string& text, std::size_t characters) {
    const auto startsCharacter = [&](std::size_t i) { return (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80; };
    std::size_t seen = 0;
    for (std::size_t i = 0; i < text.size(); ++i) {
        if (!startsCharacter(i)) continue;
        if (seen == characters) {
            // Room for the three dots comes out of the characters kept.
            std::size_t cut = i;
            for (int dots = 0; dots < 3 && cut > 0;) {
                --cut;
                if (startsCharacter(cut)) ++dots;
            }
            return text.substr(0, cut) + "...";
        }
        ++seen;
    }
    return text;
}

}  // namespace plat
