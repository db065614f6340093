#include "beta/BBPropertyList.h"

#include <cerrno>
#include <cstdlib>
#include <string>

#include "platform/foundation/HtmlText.h"

namespace bb {

namespace {

constexpr int kMaxDepth = 256;

struct Tag {
    std::string name;
    bool closing = false;
    bool selfClosing = false;
};

int base64Digit(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

std::optional<std::string> decodeBase64(std::string_view text) {
    std::string out;
    unsigned buffer = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '=' || c == ' ' || c == '\n' || c == '\r' || c == '\t') continue;
        const int digit = base64Digit(c);
        if (digit < 0) return std::nullopt;
        buffer = (buffer << 6) | static_cast<unsigned>(digit);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((buffer >> bits) & 0xff);
        }
    }
    return out;
}

class Parser {
public:
    explicit Parser(std::string_view text) : s_(text) {}

    std::optional<BBValue> document() {
        skipMisc();
        auto root = readTag();
        if (!root || root->name != "plist" || root->closing || root->selfClosing) return std::nullopt;
        skipMisc();
        auto tag = readTag();
        if (!tag) return std::nullopt;
        auto value = valueOf(*tag, 0);
        skipMisc();
        auto end = readTag();
        if (!value || !end || end->name != "plist" || !end->closing) return std::nullopt;
        skipMisc();
        return pos_ == s_.size() ? value : std::nullopt;
    }

private:
    bool startsWith(std::string_view prefix) const { return s_.substr(pos_, prefix.size()) == prefix; }

    bool skipPast(std::string_view terminator) {
        const std::size_t at = s_.find(terminator, pos_);
        if (at == std::string_view::npos) return false;
        pos_ = at + terminator.size();
        return true;
    }

    // Whitespace, the XML declaration, the document type and comments.
    void skipMisc() {
        for (;;) {
            while (pos_ < s_.size() && (s_[pos_] == ' ' || s_[pos_] == '\n' || s_[pos_] == '\r' || s_[pos_] == '\t')) ++pos_;
            if (startsWith("<?") && skipPast("?>")) continue;
            if (startsWith("<!--") && skipPast("-->")) continue;
            if (startsWith("<!DOCTYPE") && skipPast(">")) continue;
            return;
        }
    }

    std::optional<Tag> readTag() {
        if (!startsWith("<")) return std::nullopt;
        const std::size_t end = s_.find('>', pos_);
        if (end == std::string_view::npos) return std::nullopt;
        std::string_view inside = s_.substr(pos_ + 1, end - pos_ - 1);
        pos_ = end + 1;
        Tag tag;
        if (!inside.empty() && inside.front() == '/') {
            tag.closing = true;
            inside.remove_prefix(1);
        } else if (!inside.empty() && inside.back() == '/') {
            tag.selfClosing = true;
            inside.remove_suffix(1);
        }
        tag.name = std::string(inside.substr(0, inside.find_first_of(" \t\r\n")));
        if (tag.name.empty()) return std::nullopt;
        return tag;
    }

    // Character data up to the closing tag of `name`, entities resolved.
    std::optional<std::string> textUntilClosing(const std::string& name) {
        std::string out;
        while (pos_ < s_.size() && s_[pos_] != '<') {
            if (s_[pos_] != '&') {
                out += s_[pos_++];
                continue;
            }
            const std::size_t end = s_.find(';', pos_);
            if (end == std::string_view::npos) return std::nullopt;
            if (!appendEntity(out, s_.substr(pos_ + 1, end - pos_ - 1))) return std::nullopt;
            pos_ = end + 1;
        }
        auto closing = readTag();
        if (!closing || !closing->closing || closing->name != name) return std::nullopt;
        return out;
    }

    static bool appendEntity(std::string& out, std::string_view entity) {
        if (entity == "lt") out += '<';
        else if (entity == "gt") out += '>';
        else if (entity == "amp") out += '&';
        else if (entity == "quot") out += '"';
        else if (entity == "apos") out += '\'';
        else if (entity.size() > 1 && entity[0] == '#') {
            const bool hex = entity[1] == 'x';
            const std::string digits(entity.substr(hex ? 2 : 1));
            char* end = nullptr;
            const unsigned long c = std::strtoul(digits.c_str(), &end, hex ? 16 : 10);
            if (digits.empty() || *end != '\0' || c > 0x10ffff) return false;
            plat::appendUtf8(out, c);
        } else {
            return false;
        }
        return true;
    }

    std::optional<std::string> textOf(const Tag& tag) {
        if (tag.selfClosing) return std::string();
        return textUntilClosing(tag.name);
    }

    std::optional<BBValue> valueOf(const Tag& tag, int depth) {
        if (tag.closing || depth > kMaxDepth) return std::nullopt;
        const std::string& n = tag.name;
        if (n == "dict") return dictionaryOf(tag, depth);
        if (n == "array") return arrayOf(tag, depth);
        if (n == "true" || n == "false") {
            if (!tag.selfClosing && !textUntilClosing(n)) return std::nullopt;
            return BBValue(n == "true");
        }
        auto text = textOf(tag);
        if (!text) return std::nullopt;
        if (n == "string" || n == "date") return BBValue(std::move(*text));
        if (n == "integer") return integerOf(*text);
        if (n == "real") return realOf(*text);
        if (n == "data") {
            auto bytes = decodeBase64(*text);
            if (!bytes) return std::nullopt;
            return BBValue(BBData(std::move(*bytes)));
        }
        return std::nullopt;
    }

    static std::optional<BBValue> integerOf(const std::string& text) {
        char* end = nullptr;
        errno = 0;
        if (!text.empty() && text[0] != '-') {
            const unsigned long long u = std::strtoull(text.c_str(), &end, 10);
            if (end == text.c_str() || *end != '\0' || errno) return std::nullopt;
            if (u <= static_cast<unsigned long long>(INT64_MAX)) return BBValue(static_cast<std::int64_t>(u));
            return BBValue(static_cast<std::uint64_t>(u));
        }
        const long long v = std::strtoll(text.c_str(), &end, 10);
        if (end == text.c_str() || *end != '\0' || errno) return std::nullopt;
        return BBValue(static_cast<std::int64_t>(v));
    }

    static std::optional<BBValue> realOf(const std::string& text) {
        char* end = nullptr;
        const double d = std::strtod(text.c_str(), &end);
        if (end == text.c_str() || *end != '\0') return std::nullopt;
        return BBValue(d);
    }

    std::optional<BBValue> dictionaryOf(const Tag& tag, int depth) {
        BBDictionary dictionary;
        if (tag.selfClosing) return BBValue(std::move(dictionary));
        for (;;) {
            skipMisc();
            auto key = readTag();
            if (!key) return std::nullopt;
            if (key->closing) return key->name == "dict" ? std::optional<BBValue>(std::move(dictionary)) : std::nullopt;
            if (key->name != "key") return std::nullopt;
            auto name = textOf(*key);
            skipMisc();
            auto valueTag = readTag();
            if (!name || !valueTag) return std::nullopt;
            auto value = valueOf(*valueTag, depth + 1);
            if (!value) return std::nullopt;
            dictionary.set(std::move(*name), std::move(*value));
        }
    }

    std::optional<BBValue> arrayOf(const Tag& tag, int depth) {
        BBArray array;
        if (tag.selfClosing) return BBValue(std::move(array));
        for (;;) {
            skipMisc();
            auto item = readTag();
            if (!item) return std::nullopt;
            if (item->closing) return item->name == "array" ? std::optional<BBValue>(std::move(array)) : std::nullopt;
            auto value = valueOf(*item, depth + 1);
            if (!value) return std::nullopt;
            array.push_back(std::move(*value));
        }
    }

    std::string_view s_;
    std::size_t pos_ = 0;
};

}  // namespace

std::optional<BBValue> BBPropertyList::parseXML(std::string_view text) { return Parser(text).document(); }

}  // namespace bb
