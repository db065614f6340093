#include "platform/graphics/Font.h"

#include <array>
#include <cstdint>
#include <cstdio>
#include <optional>

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

// The same for the Latin-1 letters and signs (U+00A0 on), the Cyrillic letters (U+0400 on) and
// the dashes, quotes and ellipsis (U+2010 on): the scripts of the interface's languages, which
// a flat advance measured narrower than drawn.
constexpr std::array<std::uint16_t, 96> kLatin1Regular = {
    318, 401, 636, 636, 636, 636, 337, 500, 500, 1000, 471, 612, 838, 361, 1000, 500,  //
    500, 838, 401, 401, 500, 636, 636, 318, 500, 401, 471, 612, 969, 969, 969, 531,  //
    684, 684, 684, 684, 684, 684, 974, 698, 632, 632, 632, 632, 295, 295, 295, 295,  //
    775, 748, 787, 787, 787, 787, 787, 838, 787, 732, 732, 732, 732, 611, 605, 630,  //
    613, 613, 613, 613, 613, 613, 982, 550, 615, 615, 615, 615, 278, 278, 278, 278,  //
    612, 634, 612, 612, 612, 612, 612, 838, 612, 634, 634, 634, 634, 592, 635, 592};
constexpr std::array<std::uint16_t, 96> kLatin1Bold = {
    348, 456, 696, 696, 636, 696, 365, 500, 500, 1000, 564, 646, 838, 415, 1000, 500,  //
    500, 838, 438, 438, 500, 736, 636, 380, 500, 438, 564, 646, 1035, 1035, 1035, 580,  //
    774, 774, 774, 774, 774, 774, 1085, 734, 683, 683, 683, 683, 372, 372, 372, 372,  //
    838, 837, 850, 850, 850, 850, 850, 838, 850, 812, 812, 812, 812, 724, 738, 719,  //
    675, 675, 675, 675, 675, 675, 1048, 593, 678, 678, 678, 678, 343, 343, 343, 343,  //
    687, 712, 687, 687, 687, 687, 687, 838, 687, 712, 712, 712, 712, 652, 716, 652};
constexpr std::array<std::uint16_t, 96> kCyrillicRegular = {
    632, 632, 786, 610, 698, 635, 295, 295, 295, 1094, 1045, 786, 710, 748, 609, 752,  //
    684, 686, 686, 610, 781, 632, 1077, 641, 748, 748, 710, 752, 863, 752, 787, 752,  //
    603, 698, 611, 609, 861, 685, 776, 686, 1069, 1094, 833, 882, 686, 698, 1080, 695,  //
    613, 617, 589, 525, 691, 615, 901, 532, 650, 650, 604, 639, 754, 654, 612, 654,  //
    635, 550, 583, 592, 855, 592, 681, 591, 915, 942, 707, 790, 589, 549, 842, 602,  //
    615, 615, 625, 525, 549, 521, 278, 278, 278, 902, 898, 652, 604, 650, 592, 654};
constexpr std::array<std::uint16_t, 96> kCyrillicBold = {
    683, 683, 878, 637, 734, 720, 372, 372, 372, 1154, 1130, 878, 817, 837, 771, 837,  //
    774, 762, 762, 637, 891, 683, 1224, 710, 837, 837, 817, 831, 995, 837, 850, 837,  //
    733, 734, 682, 771, 992, 771, 928, 808, 1235, 1326, 939, 1036, 762, 734, 1174, 770,  //
    675, 698, 633, 522, 808, 678, 995, 581, 701, 701, 679, 732, 817, 691, 687, 691,  //
    716, 593, 580, 652, 992, 645, 741, 687, 1062, 1105, 751, 904, 632, 593, 972, 642,  //
    678, 678, 714, 522, 593, 595, 343, 343, 343, 991, 956, 734, 679, 701, 652, 691};
constexpr std::array<std::uint16_t, 24> kPunctuationRegular = {
    361, 361, 636, 500, 1000, 1000, 500, 500, 318, 318, 318, 318, 518, 518, 518, 518,  //
    500, 500, 590, 590, 334, 667, 1000, 318};
constexpr std::array<std::uint16_t, 24> kPunctuationBold = {
    415, 415, 696, 500, 1000, 1000, 500, 500, 380, 380, 380, 380, 657, 657, 657, 657,  //
    500, 500, 639, 639, 333, 667, 1000, 348};

// The advance of a code point from a table starting at `first`, when the table holds it.
template <std::size_t N>
std::optional<double> fromTable(const std::array<std::uint16_t, N>& table, char32_t first, char32_t cp) {
    if (cp < first || cp - first >= N) return std::nullopt;
    return table[cp - first];
}

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
    if (auto w = fromTable(bold ? kLatin1Bold : kLatin1Regular, 0xA0, cp)) return *w;
    if (auto w = fromTable(bold ? kCyrillicBold : kCyrillicRegular, 0x400, cp)) return *w;
    if (auto w = fromTable(bold ? kPunctuationBold : kPunctuationRegular, 0x2010, cp)) return *w;
    if (cp >= 0x0460 && cp <= 0x04FF) return bold ? 800 : 730;  // the rarer Cyrillic letters
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
