#include "platform/ui/MimeCoding.h"

#include <cctype>

namespace plat::mime {

namespace {

constexpr char kAlphabet[] = "ABCDEFGHIJKLMNOPQRSTUVWXYZabcdefghijklmnopqrstuvwxyz0123456789+/";
constexpr char kHex[] = "0123456789ABCDEF";

int base64Value(char c) {
    if (c >= 'A' && c <= 'Z') return c - 'A';
    if (c >= 'a' && c <= 'z') return c - 'a' + 26;
    if (c >= '0' && c <= '9') return c - '0' + 52;
    if (c == '+') return 62;
    if (c == '/') return 63;
    return -1;
}

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

bool isPlainAscii(std::string_view text) {
    for (unsigned char c : text) {
        if (c < 0x20 || c > 0x7E) return false;
    }
    // Text that looks like an encoded word must itself be encoded to survive decoding.
    return text.find("=?") == std::string_view::npos;
}

// Length of the UTF-8 character starting with byte c (1 for stray continuation bytes).
std::size_t utf8Length(unsigned char c) {
    if (c >= 0xF0) return 4;
    if (c >= 0xE0) return 3;
    if (c >= 0xC0) return 2;
    return 1;
}

}  // namespace

std::string base64Encode(std::string_view bytes, bool wrap) {
    std::string out;
    out.reserve(bytes.size() * 4 / 3 + bytes.size() / 38 + 4);
    std::size_t lineLength = 0;
    for (std::size_t i = 0; i < bytes.size(); i += 3) {
        unsigned v = static_cast<unsigned char>(bytes[i]) << 16;
        if (i + 1 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 1]) << 8;
        if (i + 2 < bytes.size()) v |= static_cast<unsigned char>(bytes[i + 2]);
        char quad[4] = {kAlphabet[(v >> 18) & 63], kAlphabet[(v >> 12) & 63],
                        i + 1 < bytes.size() ? kAlphabet[(v >> 6) & 63] : '=',
                        i + 2 < bytes.size() ? kAlphabet[v & 63] : '='};
        if (wrap && lineLength == 76) {
            out += "\r\n";
            lineLength = 0;
        }
        out.append(quad, 4);
        lineLength += 4;
    }
    return out;
}

std::optional<std::string> base64Decode(std::string_view text) {
    std::string out;
    unsigned acc = 0;
    int bits = 0;
    for (char c : text) {
        if (c == '\r' || c == '\n' || c == ' ' || c == '\t') continue;
        if (c == '=') break;
        int v = base64Value(c);
        if (v < 0) return std::nullopt;
        acc = (acc << 6) | static_cast<unsigned>(v);
        bits += 6;
        if (bits >= 8) {
            bits -= 8;
            out += static_cast<char>((acc >> bits) & 0xFF);
        }
    }
    return out;
}

std::string quotedPrintableEncode(std::string_view text) {
    std::string out, line;
    // Blanks before a hard line end or the end of the text must be escaped: mail systems strip
    // them. Lines are kept to 73 characters so that the escape and the soft break still fit.
    auto escapeTrailingBlank = [&] {
        if (line.empty() || (line.back() != ' ' && line.back() != '\t')) return;
        unsigned char c = static_cast<unsigned char>(line.back());
        line.pop_back();
        line += {'=', kHex[c >> 4], kHex[c & 15]};
    };
    for (std::size_t i = 0; i < text.size(); ++i) {
        unsigned char c = static_cast<unsigned char>(text[i]);
        if (c == '\r' && i + 1 < text.size() && text[i + 1] == '\n') continue;  // the LF ends the line
        if (c == '\n' || c == '\r') {
            escapeTrailingBlank();
            out += line + "\r\n";
            line.clear();
            continue;
        }
        std::string piece;
        if ((c >= 33 && c <= 126 && c != '=') || c == ' ' || c == '\t') {
            piece = static_cast<char>(c);
        } else {
            piece = {'=', kHex[c >> 4], kHex[c & 15]};
        }
        if (line.size() + piece.size() > 73) {
            out += line + "=\r\n";
            line.clear();
        }
        line += piece;
    }
    escapeTrailingBlank();
    return out + line;
}

std::string quotedPrintableDecode(std::string_view text) {
    std::string out;
    for (std::size_t i = 0; i < text.size(); ++i) {
        char c = text[i];
        if (c != '=') {
            out += c;
            continue;
        }
        if (i + 1 < text.size() && (text[i + 1] == '\r' || text[i + 1] == '\n')) {
            i += (text[i + 1] == '\r' && i + 2 < text.size() && text[i + 2] == '\n') ? 2 : 1;
            continue;
        }
        if (i + 2 < text.size() && hexValue(text[i + 1]) >= 0 && hexValue(text[i + 2]) >= 0) {
            out += static_cast<char>(hexValue(text[i + 1]) * 16 + hexValue(text[i + 2]));
            i += 2;
        } else {
            out += c;
        }
    }
    return out;
}

std::string headerSafe(std::string_view text) {
    std::string out(text);
    for (char& c : out) {
        if (c == '\r' || c == '\n') c = ' ';
    }
    return out;
}

std::string encodeHeaderText(std::string_view text) {
    std::string safe = headerSafe(text);
    if (isPlainAscii(safe)) return safe;
    // "=?UTF-8?B?" + payload + "?=" within 75 characters: at most 45 bytes of payload.
    const std::size_t maxBytes = 45;
    std::string out;
    std::size_t i = 0;
    while (i < safe.size()) {
        std::size_t end = i;
        while (end < safe.size()) {
            std::size_t len = utf8Length(static_cast<unsigned char>(safe[end]));
            if (end + len - i > maxBytes) break;
            end += len;
        }
        if (end == i) end = std::min(safe.size(), i + utf8Length(static_cast<unsigned char>(safe[i])));
        if (!out.empty()) out += "\r\n ";
        out += "=?UTF-8?B?" + base64Encode(std::string_view(safe).substr(i, end - i), false) + "?=";
        i = end;
    }
    return out;
}

namespace {

std::string_view trimmed(std::string_view text) {
    const auto first = text.find_first_not_of(" \t");
    if (first == std::string_view::npos) return {};
    return text.substr(first, text.find_last_not_of(" \t") - first + 1);
}

// A display name as an RFC 5322 quoted string: backslash and quote escaped.
std::string quotedPhrase(std::string_view name) {
    std::string out = "\"";
    for (char c : name) {
        if (c == '"' || c == '\\') out += '\\';
        out += c;
    }
    return out + "\"";
}

}  // namespace

std::string encodeMailbox(std::string_view mailbox) {
    const std::string safe = headerSafe(mailbox);
    const std::string_view text = trimmed(safe);
    const auto open = text.rfind('<');
    if (open == std::string_view::npos || text.back() != '>') return std::string(text);
    std::string_view name = trimmed(text.substr(0, open));
    const std::string_view address = text.substr(open);
    if (name.size() >= 2 && name.front() == '"' && name.back() == '"') name = name.substr(1, name.size() - 2);
    if (name.empty()) return std::string(address);
    const std::string phrase = isPlainAscii(name) ? quotedPhrase(name) : encodeHeaderText(name);
    return phrase + " " + std::string(address);
}

std::string foldHeader(std::string_view field, std::string_view value) {
    constexpr std::size_t kLineLimit = 78;
    std::string out = std::string(field) + ":";
    std::size_t lineStart = 0;
    std::size_t i = 0;
    while (i < value.size()) {
        // The next word with the blanks before it; an existing fold starts a new line.
        if (value.compare(i, 3, "\r\n ") == 0) {
            out += "\r\n";
            lineStart = out.size();
            i += 2;
            continue;
        }
        std::size_t wordStart = i;
        while (wordStart < value.size() && value[wordStart] == ' ') ++wordStart;
        std::size_t wordEnd = wordStart;
        while (wordEnd < value.size() && value[wordEnd] != ' ' && value[wordEnd] != '\r') ++wordEnd;
        const std::string_view blanks = value.substr(i, wordStart - i);
        const std::string_view word = value.substr(wordStart, wordEnd - wordStart);
        const bool first = out.size() == field.size() + 1;
        if (!first && out.size() - lineStart + 1 + word.size() > kLineLimit && out.size() > lineStart + 1) {
            out += "\r\n ";
            lineStart = out.size() - 1;
        } else {
            out += first ? std::string(" ") : std::string(blanks.empty() ? "" : blanks);
        }
        out += word;
        i = wordEnd;
    }
    return out;
}

std::string decodeHeaderText(std::string_view text) {
    std::string out;
    std::size_t i = 0;
    bool lastWasWord = false;
    while (i < text.size()) {
        std::size_t start = text.find("=?", i);
        std::string_view between = text.substr(i, start == std::string_view::npos ? std::string_view::npos : start - i);
        bool onlyBlanks = between.find_first_not_of(" \t\r\n") == std::string_view::npos;
        // Blanks between two encoded words are not part of the text.
        if (!(lastWasWord && onlyBlanks && start != std::string_view::npos)) out += between;
        if (start == std::string_view::npos) break;
        std::size_t q1 = text.find('?', start + 2);
        std::size_t q2 = q1 == std::string_view::npos ? q1 : text.find('?', q1 + 1);
        std::size_t end = q2 == std::string_view::npos ? q2 : text.find("?=", q2 + 1);
        if (end == std::string_view::npos) {
            out += text.substr(start);
            break;
        }
        char enc = static_cast<char>(std::toupper(static_cast<unsigned char>(text[q1 + 1])));
        std::string_view payload = text.substr(q2 + 1, end - q2 - 1);
        if (enc == 'B') {
            out += base64Decode(payload).value_or("");
        } else {
            std::string q(payload);
            for (char& c : q) {
                if (c == '_') c = ' ';
            }
            out += quotedPrintableDecode(q);
        }
        i = end + 2;
        lastWasWord = true;
    }
    return out;
}

}  // namespace plat::mime
