#include "platform/foundation/HtmlTokenizer.h"

#include <algorithm>

#include "platform/foundation/HtmlReference.h"

namespace plat {

namespace {

constexpr std::string_view kReplacement = "\xEF\xBF\xBD";

bool isSpace(char c) { return c == ' ' || c == '\n' || c == '\r' || c == '\t' || c == '\f'; }
bool isAlpha(char c) { return (c >= 'a' && c <= 'z') || (c >= 'A' && c <= 'Z'); }
char lower(char c) { return c >= 'A' && c <= 'Z' ? static_cast<char>(c - 'A' + 'a') : c; }

// Adds a character of a name: ASCII in lower case, nul as U+FFFD.
void appendNameCharacter(std::string& name, char c) {
    if (c == '\0') {
        name += kReplacement;
    } else {
        name += lower(c);
    }
}

void replaceNuls(std::string& text) {
    for (std::size_t at = text.find('\0'); at != std::string::npos; at = text.find('\0', at)) {
        text.replace(at, 1, kReplacement);
    }
}

}  // namespace

bool HtmlTokenizer::startsWithCaseless(std::size_t at, std::string_view word) const {
    if (html_.size() - at < word.size()) return false;
    for (std::size_t k = 0; k < word.size(); ++k) {
        if (lower(html_[at + k]) != word[k]) return false;
    }
    return true;
}

HtmlToken HtmlTokenizer::next() {
    while (pos_ < html_.size()) {
        if (content_ != Content::Markup) return elementText();
        if (html_[pos_] != '<') return markupText();
        HtmlToken token;
        if (markup(token)) return token;
    }
    return HtmlToken{};
}

HtmlToken HtmlTokenizer::markupText() {
    HtmlToken token;
    token.kind = HtmlToken::Kind::Text;
    while (pos_ < html_.size() && html_[pos_] != '<') {
        const std::size_t stop = std::min(html_.find_first_of(std::string_view("<&\0", 3), pos_), html_.size());
        token.text.append(html_.substr(pos_, stop - pos_));
        pos_ = stop;
        if (pos_ == html_.size() || html_[pos_] == '<') break;
        if (html_[pos_] == '\0') {
            if (foreign_) token.text += kReplacement;
            ++pos_;
            continue;
        }
        const std::size_t taken = HtmlReference::read(html_, pos_, false, token.text);
        if (taken == 0) token.text += '&';
        pos_ += std::max<std::size_t>(taken, 1);
    }
    return token;
}

HtmlToken HtmlTokenizer::elementText() {
    const std::size_t end = content_ == Content::PlainText ? html_.size()
                            : element_ == "script"                 ? scriptEnd()
                                                                   : textEnd();
    const std::string_view raw = html_.substr(pos_, end - pos_);
    HtmlToken token;
    token.kind = HtmlToken::Kind::Text;
    token.text = content_ == Content::Text ? HtmlReference::decoded(raw) : std::string(raw);
    replaceNuls(token.text);
    pos_ = end;
    if (end < html_.size()) content_ = Content::Markup;  // the end tag is read as markup next
    if (token.text.empty()) return next();
    return token;
}

bool HtmlTokenizer::markup(HtmlToken& token) {
    const std::size_t lt = pos_;
    const char c = lt + 1 < html_.size() ? html_[lt + 1] : '\0';
    if (isAlpha(c)) {
        pos_ = lt + 1;
        tag(token, false);
        return token.kind != HtmlToken::Kind::End;
    }
    if (c == '/' && lt + 2 < html_.size()) {
        const char d = html_[lt + 2];
        if (isAlpha(d)) {
            pos_ = lt + 2;
            tag(token, true);
            return token.kind != HtmlToken::Kind::End;
        }
        if (d == '>') {
            pos_ = lt + 3;  // "</>" says nothing
            return false;
        }
        pos_ = lt + 2;
        skipPast(">");  // "</ ...>" is a comment
        return false;
    }
    if (c == '!') {
        if (html_.compare(lt + 2, 2, "--") == 0) {
            pos_ = lt + 4;
            // "<!-->" and "<!--->" are whole comments; others end at "-->" or "--!>".
            if (pos_ < html_.size() && html_[pos_] == '>') {
                ++pos_;
            } else if (html_.compare(pos_, 2, "->") == 0) {
                pos_ += 2;
            } else {
                std::size_t at = html_.find("--", pos_);
                while (at != std::string_view::npos && html_.compare(at + 2, 1, ">") != 0 &&
                       html_.compare(at + 2, 2, "!>") != 0) {
                    at = html_.find("--", at + 1);
                }
                pos_ = at == std::string_view::npos ? html_.size() : html_.find('>', at) + 1;
            }
            return false;
        }
        if (foreign_ && html_.compare(lt + 2, 7, "[CDATA[") == 0) {
            const std::size_t from = lt + 9, end = std::min(html_.find("]]>", from), html_.size());
            token.kind = HtmlToken::Kind::Text;
            token.text = std::string(html_.substr(from, end - from));
            replaceNuls(token.text);
            pos_ = std::min(end + 3, html_.size());
            return !token.text.empty();
        }
        // A DOCTYPE ends at its first '>', quoted or not; so does any other declaration.
        pos_ = lt + 2;
        skipPast(">");
        return false;
    }
    if (c == '?') {
        pos_ = lt + 1;
        skipPast(">");
        return false;
    }
    // A '<' that starts no markup is text.
    pos_ = lt + 1;
    token.kind = HtmlToken::Kind::Text;
    token.text.assign(1, '<');
    return true;
}

bool HtmlTokenizer::isTagOf(std::size_t at, std::string_view element) const {
    const std::size_t after = at + element.size();
    return startsWithCaseless(at, element) &&
           (after == html_.size() || isSpace(html_[after]) || html_[after] == '/' || html_[after] == '>');
}

std::size_t HtmlTokenizer::textEnd() const {
    for (std::size_t at = html_.find("</", pos_); at != std::string_view::npos; at = html_.find("</", at + 2)) {
        if (isTagOf(at + 2, element_)) return at;
    }
    return html_.size();
}

std::size_t HtmlTokenizer::scriptEnd() const {
    // A script may hold "<!--" ... "-->", inside which "<script>" ... "</script>" does not end it.
    enum { Plain, Escaped, DoubleEscaped } state = Plain;
    for (std::size_t at = pos_; at < html_.size(); ++at) {
        if (html_[at] == '-' && state != Plain && html_.compare(at, 3, "-->") == 0) {
            state = Plain;
            at += 2;
        } else if (html_[at] != '<') {
            continue;
        } else if (state == Plain && html_.compare(at, 4, "<!--") == 0) {
            state = Escaped;
            at += 1;  // its dashes may end it too: "<!-->"
        } else if (state != DoubleEscaped && html_.compare(at, 2, "</") == 0 && isTagOf(at + 2, "script")) {
            return at;
        } else if (state == Escaped && isTagOf(at + 1, "script")) {
            state = DoubleEscaped;
        } else if (state == DoubleEscaped && html_.compare(at, 2, "</") == 0 && isTagOf(at + 2, "script")) {
            state = Escaped;
        }
    }
    return html_.size();
}

void HtmlTokenizer::skipPast(std::string_view end) {
    const std::size_t at = html_.find(end, pos_);
    pos_ = at == std::string_view::npos ? html_.size() : at + end.size();
}

void HtmlTokenizer::tag(HtmlToken& token, bool end) {
    token.kind = end ? HtmlToken::Kind::EndTag : HtmlToken::Kind::StartTag;
    while (pos_ < html_.size() && !isSpace(html_[pos_]) && html_[pos_] != '/' && html_[pos_] != '>') {
        appendNameCharacter(token.text, html_[pos_++]);
    }
    attributes(token);
    if (end) {
        token.attributes.clear();
        token.selfClosing = false;
    }
}

void HtmlTokenizer::attributes(HtmlToken& token) {
    while (pos_ < html_.size()) {
        const char c = html_[pos_];
        if (isSpace(c)) {
            ++pos_;
        } else if (c == '>') {
            ++pos_;
            return;
        } else if (c == '/') {
            ++pos_;
            if (pos_ < html_.size() && html_[pos_] == '>') {
                token.selfClosing = true;
                ++pos_;
                return;
            }
        } else {
            std::string name;
            appendNameCharacter(name, html_[pos_++]);  // a first '=' belongs to the name
            while (pos_ < html_.size() && !isSpace(html_[pos_]) && html_[pos_] != '/' && html_[pos_] != '>' &&
                   html_[pos_] != '=') {
                appendNameCharacter(name, html_[pos_++]);
            }
            while (pos_ < html_.size() && isSpace(html_[pos_])) ++pos_;
            std::string value;
            if (pos_ < html_.size() && html_[pos_] == '=') {
                ++pos_;
                value = attributeValue();
            }
            token.attributes.emplace_back(std::move(name), std::move(value));
        }
    }
    // A tag cut off by the document's end is no tag.
    token.kind = HtmlToken::Kind::End;
}

std::string HtmlTokenizer::attributeValue() {
    while (pos_ < html_.size() && isSpace(html_[pos_])) ++pos_;
    if (pos_ == html_.size()) return {};
    const char quote = html_[pos_];
    std::size_t from = pos_, end = 0;
    if (quote == '"' || quote == '\'') {
        from = pos_ + 1;
        end = std::min(html_.find(quote, from), html_.size());
        pos_ = std::min(end + 1, html_.size());
    } else {
        end = from;
        while (end < html_.size() && !isSpace(html_[end]) && html_[end] != '>') ++end;
        pos_ = end;
    }
    std::string value = HtmlReference::decoded(html_.substr(from, end - from), true);
    replaceNuls(value);
    return value;
}

}  // namespace plat
