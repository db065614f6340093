#pragma once

#include <cstddef>
#include <string>
#include <string_view>

namespace plat {

// A character reference in HTML text, read as browsers read one: named references from the whole
// table of HTML (the longest name that starts there, with or without its ';' where the old form
// exists: "&notit;" is "¬it;"), decimal and hexadecimal ones with or without their ';'. A number
// that is no character becomes U+FFFD; one of 128 to 159 is the windows-1252 character it names
// on old pages ("&#x80;" is "€").
class HtmlReference {
public:
    // Reads the reference whose '&' is at `text[amp]`, appends its characters to `out` and
    // returns how many bytes it takes; 0 when none starts there (the '&' is text). In an
    // attribute value a name without ';' followed by '=' or a letter or digit is no reference,
    // so that "?a=1&copy=2" keeps its "&copy".
    static std::size_t read(std::string_view text, std::size_t amp, bool inAttribute, std::string& out);

    // The text with its references read.
    static std::string decoded(std::string_view text, bool inAttribute = false);
};

}  // namespace plat
