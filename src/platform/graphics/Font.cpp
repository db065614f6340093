#include "platform/graphics/Font.h"

#include <array>
#include <cstdint>
#include <cstdio>

namespace plat {

namespace {

bool nameHas(const std::string& name, const char* word) { return name.find(word) != std::string::npos; }

// Advances of the printable ASCII characters in thousandths of the font size, as the drawing
// faces of this project (DejaVu Sans, book and bold) set them, so that what layout measures is
// what the picture shows.
constexpr std::array<std::uint16_t, 95> kAsciiRegular = {
    318, 401, 460, 838, 636, 950, 780, 275, 390, 390, 500, 838, 318, 361, 318, 337,  //
    636, 636, 636, 636, 636, 636, 636, 636, 636, 636, 337, 337, 838, 838, 838, 531,  //
    1000, 684, 686, 698, 770, 632, 575, 775, 752, 295, 295, 656, 557, 863, 748, 787,  //
    603, 787, 695, 635, 611, 732, 684, 989, 685, 611, 685, 390, 337, 390, 838, 500,  //
    500, 613, 635, 550, 635, 615, 352, 635, 634, 278, 278, 579, 278, 974, 634, 612,  //
    635, 635, 411, 521, 392, 634, 592, 818, 592, 592, 525, 636, 337, 636, 838};
constexpr std::array<std::uint16_t, 95> kAsciiBold = {
    348, 456, 521, 838, 696, 1002, 872, 306, 457, 457, 523, 838, 380, 415, 380, 365,  //
    696, 696, 696, 696, 696, 696, 696, 696, 696, 696, 400, 400, 838, 838, 838, 580,  //
    1000, 774, 762, 734, 830, 683, 683, 821, 837, 372, 372, 775, 637, 995, 837, 850,  //
    733, 850, 770, 720, 682, 812, 774, 1103, 771, 724, 725, 457, 365, 457, 838, 500,  //
    500, 675, 716, 593, 716, 678, 435, 716, 712, 343, 343, 665, 343, 1042, 712, 687,  //
    716, 716, 493, 595, 478, 712, 652, 924, 645, 652, 582, 712, 365, 712, 838};

bool hasWide(const std::string& text) {
    for (std::size_t i = 0; i < text.size();) {
        if (isWideCharacter(nextCodePoint(text, i))) return true;
    }
    return false;
}

// Advance of one code point in thousandths of the size. A line with wide characters is drawn
// in the CJK face, whose Latin letters are narrower and whose ideographs fill the em.
double advance(char32_t cp, bool bold, bool cjkFace) {
    if (cjkFace) {
        if (isWideCharacter(cp)) return bold ? 1042 : 1000;
        return bold ? 600 : 560;
    }
    if (cp >= 0x20 && cp < 0x7F) return (bold ? kAsciiBold : kAsciiRegular)[cp - 0x20];
    if (cp >= 0x0410 && cp <= 0x042F) return bold ? 800 : 730;   // Cyrillic capitals
    if (cp >= 0x0400 && cp <= 0x04FF) return bold ? 720 : 650;   // other Cyrillic
    if (cp >= 0x00C0 && cp <= 0x017F) return bold ? 700 : 640;   // accented Latin
    if (cp == 0x2026 || cp == 0x2014) return 1000;                // ellipsis, em dash
    return bold ? 720 : 650;
}

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

double Font::widthOf(const std::string& text) const {
    const bool bold = isBold();
    const bool cjk = hasWide(text);
    double thousandths = 0;
    for (std::size_t i = 0; i < text.size();) thousandths += advance(nextCodePoint(text, i), bold, cjk);
    return thousandths * size / 1000;
}

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
