#include "platform/graphics/Font.h"

#include <algorithm>
#include <cstdio>

#include "platform/graphics/TextShaper.h"

namespace plat {

namespace {

bool nameHas(const std::string& name, const char* word) { return name.find(word) != std::string::npos; }

}  // namespace

char32_t nextCodePoint(const std::string& text, std::size_t& i) {
    const auto lead = static_cast<unsigned char>(text[i++]);
    if (lead < 0x80) return lead;
    int extra = lead >= 0xF0 ? 3 : lead >= 0xE0 ? 2 : lead >= 0xC0 ? 1 : 0;
    if (extra == 0) return 0xFFFD;
    char32_t cp = lead & (0x3F >> extra);
    for (int k = 0; k < extra; ++k) {
        if (i >= text.size() || (static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) return 0xFFFD;
        cp = (cp << 6) | (static_cast<unsigned char>(text[i++]) & 0x3F);
    }
    return cp;
}

bool isWideCharacter(char32_t cp) {
    return (cp >= 0x2E80 && cp <= 0xA4CF) || (cp >= 0xAC00 && cp <= 0xD7A3) || (cp >= 0xF900 && cp <= 0xFAFF) ||
           (cp >= 0xFE30 && cp <= 0xFE4F) || (cp >= 0xFF00 && cp <= 0xFF60) || (cp >= 0xFFE0 && cp <= 0xFFE6) ||
           cp >= 0x20000;
}

bool Font::isBold() const { return nameHas(name, "Bold") || nameHas(name, "bold"); }

bool Font::isItalic() const { return nameHas(name, "Italic") || nameHas(name, "Oblique"); }

double Font::widthOf(const std::string& text) const { return TextShaper::width(*this, text); }

Size Font::measure(const std::string& text) const {
    if (text.empty()) return {0, 0};
    double width = 0;
    int lines = 0;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        width = std::max(width, widthOf(text.substr(start, end - start)));
        ++lines;
        if (end == text.size()) break;
        start = end + 1;
    }
    return {width, lines * lineHeight()};
}

std::string Font::description() const {
    char buf[32];
    std::snprintf(buf, sizeof buf, " %g", size);
    return name + buf;
}

}  // namespace plat
