#include "platform/graphics/Font.h"

#include <cstdio>

namespace plat {

namespace {

bool nameHas(const std::string& name, const char* word) { return name.find(word) != std::string::npos; }

std::size_t codePoints(const std::string& text, std::size_t from, std::size_t to) {
    std::size_t n = 0;
    for (std::size_t i = from; i < to; ++i) {
        if ((static_cast<unsigned char>(text[i]) & 0xC0) != 0x80) ++n;
    }
    return n;
}

}  // namespace

bool Font::isBold() const { return nameHas(name, "Bold") || nameHas(name, "bold"); }

bool Font::isItalic() const { return nameHas(name, "Italic") || nameHas(name, "Oblique"); }

double Font::widthOf(const std::string& text) const {
    double advance = size * (isBold() ? 0.6 : 0.55);
    return static_cast<double>(codePoints(text, 0, text.size())) * advance;
}

Size Font::measure(const std::string& text) const {
    if (text.empty()) return {0, 0};
    double advance = size * (isBold() ? 0.6 : 0.55);
    double width = 0;
    int lines = 0;
    std::size_t start = 0;
    while (true) {
        std::size_t end = text.find('\n', start);
        if (end == std::string::npos) end = text.size();
        width = std::max(width, static_cast<double>(codePoints(text, start, end)) * advance);
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
