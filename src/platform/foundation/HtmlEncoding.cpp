#include "platform/foundation/HtmlEncoding.h"

#include <unicode/ucnv.h>

#include <algorithm>
#include <array>
#include <memory>

#include "platform/foundation/HtmlTokenizer.h"
#include "platform/foundation/Utf8Text.h"

namespace plat {

namespace {

std::string lowered(std::string_view s) {
    std::string out(s);
    std::transform(out.begin(), out.end(), out.begin(), [](unsigned char c) { return static_cast<char>(std::tolower(c)); });
    return out;
}

// The value of "charset=" in a Content-Type or a meta's content, quoted or not; empty when none.
std::string charsetOf(std::string_view value) {
    const std::string lower = lowered(value);
    const std::size_t at = lower.find("charset");
    if (at == std::string::npos) return {};
    std::size_t from = lower.find_first_not_of(" \t", at + 7);
    if (from == std::string::npos || lower[from] != '=') return {};
    from = lower.find_first_not_of(" \t", from + 1);
    if (from == std::string::npos) return {};
    if (lower[from] == '"' || lower[from] == '\'') {
        const std::size_t end = lower.find(lower[from], from + 1);
        return end == std::string::npos ? std::string() : lower.substr(from + 1, end - from - 1);
    }
    const std::size_t end = lower.find_first_of(" \t;", from);
    return lower.substr(from, end == std::string::npos ? std::string::npos : end - from);
}

// The encoding a page's name for it means, as browsers read the name.
std::string canonical(std::string label) {
    const auto blank = [](char c) { return c == ' ' || c == '\t' || c == '\n' || c == '\r' || c == '\f'; };
    while (!label.empty() && blank(label.back())) label.pop_back();
    label.erase(0, std::min(label.size(), static_cast<std::size_t>(std::find_if_not(label.begin(), label.end(), blank) -
                                                                   label.begin())));
    static const std::array<std::pair<std::string_view, std::string_view>, 24> kAliases{{
        {"ascii", "windows-1252"},        {"us-ascii", "windows-1252"},      {"iso-8859-1", "windows-1252"},
        {"iso8859-1", "windows-1252"},    {"iso88591", "windows-1252"},      {"iso_8859-1", "windows-1252"},
        {"latin1", "windows-1252"},       {"l1", "windows-1252"},            {"cp1252", "windows-1252"},
        {"x-cp1252", "windows-1252"},     {"cp819", "windows-1252"},         {"ibm819", "windows-1252"},
        {"csisolatin1", "windows-1252"},  {"iso-ir-100", "windows-1252"},    {"shift_jis", "windows-31j"},
        {"shift-jis", "windows-31j"},     {"sjis", "windows-31j"},           {"x-sjis", "windows-31j"},
        {"ms932", "windows-31j"},         {"ms_kanji", "windows-31j"},       {"csshiftjis", "windows-31j"},
        {"gb2312", "gb18030"},            {"gbk", "gb18030"},                {"x-gbk", "gb18030"},
    }};
    for (const auto& [alias, name] : kAliases) {
        if (label == alias) return std::string(name);
    }
    return label;
}

// The encoding a <meta> among the page's first bytes declares; empty when none does.
std::string metaCharset(std::string_view page) {
    HtmlTokenizer tokens(page.substr(0, HtmlEncoding::kPrescanBytes));
    for (HtmlToken token = tokens.next(); token.kind != HtmlToken::Kind::End; token = tokens.next()) {
        if (token.kind != HtmlToken::Kind::StartTag || token.text != "meta") continue;
        std::string charset, httpEquiv, content;
        for (const auto& [name, value] : token.attributes) {
            if (name == "charset" && charset.empty()) charset = lowered(value);
            if (name == "http-equiv") httpEquiv = lowered(value);
            if (name == "content") content = value;
        }
        if (charset.empty() && httpEquiv == "content-type") charset = charsetOf(content);
        // A page that could be read this far is no UTF-16 page, whatever it says.
        if (charset.rfind("utf-16", 0) == 0) return "utf-8";
        if (!charset.empty()) return charset;
    }
    return {};
}

std::string converted(std::string_view bytes, const std::string& encoding) {
    UErrorCode error = U_ZERO_ERROR;
    std::unique_ptr<UConverter, decltype(&ucnv_close)> from(ucnv_open(encoding.c_str(), &error), &ucnv_close);
    if (U_FAILURE(error)) return Utf8Text::valid(bytes);
    std::unique_ptr<UConverter, decltype(&ucnv_close)> to(ucnv_open("UTF-8", &error), &ucnv_close);
    // Each byte becomes at most one character of at most three bytes (U+FFFD among them), and a
    // pair of bytes at most four.
    std::string out(bytes.size() * 3 + 4, '\0');
    char* target = out.data();
    const char* source = bytes.data();
    ucnv_convertEx(to.get(), from.get(), &target, out.data() + out.size(), &source, bytes.data() + bytes.size(),
                   nullptr, nullptr, nullptr, nullptr, true, true, &error);
    if (U_FAILURE(error)) return Utf8Text::valid(bytes);
    out.resize(static_cast<std::size_t>(target - out.data()));
    return Utf8Text::valid(out);
}

}  // namespace

std::string HtmlEncoding::declared(std::string_view page, std::string_view contentType) {
    if (page.substr(0, 3) == "\xEF\xBB\xBF") return "utf-8";
    if (page.substr(0, 2) == "\xFE\xFF") return "utf-16be";
    if (page.substr(0, 2) == "\xFF\xFE") return "utf-16le";
    std::string label = charsetOf(contentType);
    if (label.empty()) label = metaCharset(page);
    return label.empty() ? std::string() : canonical(std::move(label));
}

std::string HtmlEncoding::decoded(std::string_view page, std::string_view contentType) {
    const std::string encoding = declared(page, contentType);
    if (encoding.empty() || encoding == "utf-8" || encoding == "utf8") {
        if (page.substr(0, 3) == "\xEF\xBB\xBF") page.remove_prefix(3);
        return Utf8Text::valid(page);
    }
    if (encoding.rfind("utf-16", 0) == 0 && page.size() >= 2 && (page[0] == '\xFE' || page[0] == '\xFF')) {
        page.remove_prefix(2);
    }
    return converted(page, encoding);
}

}  // namespace plat
