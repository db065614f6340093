#include "platform/foundation/HtmlReference.h"

#include <algorithm>
#include <cstdint>
#include <iterator>

#include "platform/foundation/HtmlText.h"

namespace plat {

namespace {

struct Entity {
    std::string_view name;
    std::string_view characters;
};

constexpr Entity kEntities[] = {
#include "platform/foundation/HtmlEntities.inc"
};

// The longest name of the table has 32 characters with its ';'.
constexpr std::size_t kLongestName = 32;

bool isAlnum(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z') || (c >= '0' && c <= '9'); }

const Entity* find(std::string_view name) {
    const auto it = std::lower_bound(std::begin(kEntities), std::end(kEntities), name,
                                     [](const Entity& e, std::string_view n) { return e.name < n; });
    return it != std::end(kEntities) && it->name == name ? it : nullptr;
}

// What the numbers 128 to 159 name on pages written for windows-1252; 0 where it names nothing.
constexpr std::uint16_t kWindows1252[32] = {0x20AC, 0,      0x201A, 0x0192, 0x201E, 0x2026, 0x2020, 0x2021,
                                            0x02C6, 0x2030, 0x0160, 0x2039, 0x0152, 0,      0x017D, 0,
                                            0,      0x2018, 0x2019, 0x201C, 0x201D, 0x2022, 0x2013, 0x2014,
                                            0x02DC, 0x2122, 0x0161, 0x203A, 0x0153, 0,      0x017E, 0x0178};

std::size_t readNumber(std::string_view text, std::size_t amp, std::string& out) {
    std::size_t at = amp + 2;
    const bool hex = at < text.size() && (text[at] == 'x' || text[at] == 'X');
    if (hex) ++at;
    const std::size_t digitsFrom = at;
    unsigned long value = 0;
    for (; at < text.size(); ++at) {
        const char c = text[at];
        int digit = -1;
        if (c >= '0' && c <= '9') digit = c - '0';
        else if (hex && c >= 'a' && c <= 'f') digit = c - 'a' + 10;
        else if (hex && c >= 'A' && c <= 'F') digit = c - 'A' + 10;
        if (digit < 0) break;
        // Past Unicode the number is no character however long it goes on.
        value = std::min(value * (hex ? 16 : 10) + static_cast<unsigned long>(digit), 0x110000UL);
    }
    if (at == digitsFrom) return 0;
    if (at < text.size() && text[at] == ';') ++at;
    if (value == 0 || value > 0x10FFFF || (value >= 0xD800 && value <= 0xDFFF)) {
        value = 0xFFFD;
    } else if (value >= 0x80 && value <= 0x9F && kWindows1252[value - 0x80] != 0) {
        value = kWindows1252[value - 0x80];
    }
    appendUtf8(out, value);
    return at - amp;
}

std::size_t readName(std::string_view text, std::size_t amp, bool inAttribute, std::string& out) {
    std::size_t end = amp + 1;
    while (end < text.size() && end - amp <= kLongestName && isAlnum(text[end])) ++end;
    const bool semicolon = end < text.size() && text[end] == ';';
    // The longest name that starts here: the whole run with its ';', else the longest of the
    // old names without one.
    for (std::size_t length = end - amp - 1 + (semicolon ? 1 : 0); length > 0; --length) {
        const Entity* entity = find(text.substr(amp + 1, length));
        if (!entity) continue;
        const std::size_t after = amp + 1 + length;
        if (inAttribute && entity->name.back() != ';' && after < text.size() &&
            (text[after] == '=' || isAlnum(text[after]))) {
            return 0;
        }
        out += entity->characters;
        return length + 1;
    }
    return 0;
}

}  // namespace

std::size_t HtmlReference::read(std::string_view text, std::size_t amp, bool inAttribute, std::string& out) {
    if (amp + 1 >= text.size()) return 0;
    if (text[amp + 1] == '#') return readNumber(text, amp, out);
    return isAlnum(text[amp + 1]) ? readName(text, amp, inAttribute, out) : 0;
}

std::string HtmlReference::decoded(std::string_view text, bool inAttribute) {
    std::string out;
    out.reserve(text.size());
    std::size_t pos = 0;
    while (pos < text.size()) {
        const std::size_t amp = text.find('&', pos);
        out.append(text.substr(pos, amp == std::string_view::npos ? std::string_view::npos : amp - pos));
        if (amp == std::string_view::npos) break;
        const std::size_t taken = read(text, amp, inAttribute, out);
        if (taken == 0) out += '&';
        pos = amp + std::max<std::size_t>(taken, 1);
    }
    return out;
}

}  // namespace plat
