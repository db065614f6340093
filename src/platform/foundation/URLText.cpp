#include "platform/foundation/URLText.h"

#include <algorithm>
#include <cctype>

namespace plat::url {

namespace {

int hexValue(char c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    if (c >= 'A' && c <= 'F') return c - 'A' + 10;
    return -1;
}

std::string lower(std::string s) {
    std::transform(s.begin(), s.end(), s.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return s;
}

}  // namespace

std::string scheme(const std::string& url) {
    const auto colon = url.find(':');
    if (colon == std::string::npos || colon == 0) return {};
    const std::string head = url.substr(0, colon);
    if (!std::isalpha(static_cast<unsigned char>(head[0]))) return {};
    const bool valid = std::all_of(head.begin(), head.end(), [](unsigned char c) {
        return std::isalnum(c) || c == '+' || c == '-' || c == '.';
    });
    return valid ? lower(head) : std::string{};
}

std::string percentDecoded(const std::string& text, bool plusIsSpace) {
    std::string out;
    out.reserve(text.size());
    for (std::size_t i = 0; i < text.size(); ++i) {
        const char c = text[i];
        if (c == '%' && i + 2 < text.size()) {
            const int hi = hexValue(text[i + 1]), lo = hexValue(text[i + 2]);
            if (hi >= 0 && lo >= 0) {
                out += static_cast<char>(hi * 16 + lo);
                i += 2;
                continue;
            }
        }
        out += (plusIsSpace && c == '+') ? ' ' : c;
    }
    return out;
}

std::string percentEncoded(const std::string& text, std::string_view keep) {
    static const char* const hex = "0123456789ABCDEF";
    std::string out;
    for (const unsigned char c : text) {
        if (std::isalnum(c) || c == '-' || c == '.' || c == '_' || c == '~' || keep.find(static_cast<char>(c)) != std::string_view::npos) {
            out += static_cast<char>(c);
        } else {
            out += '%';
            out += hex[c >> 4];
            out += hex[c & 15];
        }
    }
    return out;
}

std::optional<std::string> filePath(const std::string& url) {
    if (scheme(url) != "file") return std::nullopt;
    std::string rest = url.substr(5);  // after "file:"
    if (rest.rfind("//", 0) == 0) {
        rest = rest.substr(2);
        const auto slash = rest.find('/');
        const std::string host = slash == std::string::npos ? rest : rest.substr(0, slash);
        if (!host.empty() && lower(host) != "localhost") return std::nullopt;
        rest = slash == std::string::npos ? std::string{} : rest.substr(slash);
    }
    const auto end = rest.find_first_of("?#");
    if (end != std::string::npos) rest = rest.substr(0, end);
    if (rest.empty() || rest[0] != '/') return std::nullopt;
    std::string path = percentDecoded(rest);
    // A NUL would cut the path short where the system reads it: refuse rather than open another file.
    if (path.find('\0') != std::string::npos) return std::nullopt;
    return path;
}

std::string fileURL(const std::string& absolutePath) { return "file://" + percentEncoded(absolutePath, "/"); }

std::map<std::string, std::string> formValues(const std::string& text) {
    std::map<std::string, std::string> values;
    std::size_t start = 0;
    while (start <= text.size()) {
        auto end = text.find('&', start);
        if (end == std::string::npos) end = text.size();
        const std::string pair = text.substr(start, end - start);
        if (!pair.empty()) {
            const auto eq = pair.find('=');
            const std::string key = pair.substr(0, eq);
            const std::string value = eq == std::string::npos ? std::string{} : pair.substr(eq + 1);
            values[percentDecoded(key, true)] = percentDecoded(value, true);
        }
        start = end + 1;
    }
    return values;
}

std::string fragment(const std::string& url) {
    const auto hash = url.find('#');
    return hash == std::string::npos ? std::string{} : url.substr(hash + 1);
}

std::string query(const std::string& url) {
    const auto hash = url.find('#');
    const auto q = url.find('?');
    if (q == std::string::npos || (hash != std::string::npos && q > hash)) return {};
    return url.substr(q + 1, hash == std::string::npos ? std::string::npos : hash - q - 1);
}

std::string resolved(const std::string& base, const std::string& reference) {
    if (!scheme(reference).empty()) return reference;
    const std::string baseScheme = scheme(base);
    if (reference.rfind("//", 0) == 0) return baseScheme + ":" + reference;
    // The base's "scheme://host" and its path without query or fragment.
    const auto hostStart = base.find("//");
    const auto pathStart = hostStart == std::string::npos ? base.find('/') : base.find('/', hostStart + 2);
    const auto pathEnd = base.find_first_of("?#", pathStart == std::string::npos ? 0 : pathStart);
    const std::string origin = base.substr(0, std::min(pathStart, pathEnd));
    if (reference.rfind('/', 0) == 0) return origin + reference;
    std::string path = pathStart == std::string::npos || pathStart >= pathEnd ? "/" : base.substr(pathStart, pathEnd - pathStart);
    path.erase(path.rfind('/') + 1);
    if (!reference.empty() && (reference[0] == '?' || reference[0] == '#')) {
        return base.substr(0, reference[0] == '?' ? pathEnd : base.find('#')) + reference;
    }
    return origin + path + reference;
}

}  // namespace plat::url
