#pragma once

#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plat {

// One piece of an HTML document as the tokenizer reads it: a run of text (references read), a
// start tag or an end tag. Comments, DOCTYPEs and processing instructions show nothing and are
// passed over.
struct HtmlToken {
    enum class Kind { Text, StartTag, EndTag, End };
    Kind kind = Kind::End;
    std::string text;  // a run of text, or a tag's name in lower case
    std::vector<std::pair<std::string, std::string>> attributes;  // names in lower case, as written
    bool selfClosing = false;
};

// Reads a document into tokens as browsers do, whatever it holds: every byte is text, markup or
// part of something passed over, and each is looked at a bounded number of times, so a page
// costs time in proportion to its size. What a tag's content is (markup, text with references,
// bare text) is for the tree builder to say after the tag.
class HtmlTokenizer {
public:
    enum class Content {
        Markup,     // ordinary content
        Text,       // text with references up to the element's end tag (title, textarea)
        RawText,    // text as it is up to the element's end tag (style, script, xmp...)
        PlainText,  // text as it is to the document's end
    };

    explicit HtmlTokenizer(std::string_view html) : html_(html) {}

    // The next token; Kind::End at the end of the document, and ever after.
    HtmlToken next();
    // What follows the start tag `element`, just read, up to its end tag.
    void setContent(Content content, std::string element) {
        content_ = content;
        element_ = std::move(element);
    }
    // Whether the element text goes into is of a drawing or formula, where "<![CDATA[...]]>" is
    // text and a nul character is U+FFFD (elsewhere it is left out).
    void setForeign(bool foreign) { foreign_ = foreign; }

private:
    HtmlToken markupText();
    HtmlToken elementText();
    // Reads what starts at the '<' at pos_; false when it was passed over (a comment...).
    bool markup(HtmlToken& token);
    void tag(HtmlToken& token, bool end);
    void attributes(HtmlToken& token);
    std::string attributeValue();
    // Where the text of the element ends: at its end tag, or at the document's end.
    std::size_t textEnd() const;
    std::size_t scriptEnd() const;
    // Whether the element's name starts at `at`, followed by a blank, '/' or '>'.
    bool isTagOf(std::size_t at, std::string_view element) const;
    void skipPast(std::string_view end);
    bool startsWithCaseless(std::size_t at, std::string_view word) const;

    std::string_view html_;
    std::size_t pos_ = 0;
    Content content_ = Content::Markup;
    std::string element_;
    bool foreign_ = false;
};

}  // namespace plat
