#pragma once

#include <string>
#include <string_view>

namespace plat {

// The encoding a web page is in, as a browser finds it: a byte-order mark, else the charset of
// the reply's Content-Type, else a <meta charset> or <meta http-equiv="Content-Type"> near the
// page's start. Names are those pages use: "latin1", "iso-8859-1" and "ascii" mean windows-1252,
// "shift_jis" and "sjis" mean Windows' Shift_JIS, as in browsers.
class HtmlEncoding {
public:
    // How far into a page its <meta> is looked for.
    static constexpr std::size_t kPrescanBytes = 1024;

    // The encoding's name as ICU knows it, in lower case; empty when nothing declares one.
    static std::string declared(std::string_view page, std::string_view contentType = {});
    // The page in UTF-8. A page that declares nothing, or an encoding that is not known, is taken
    // as UTF-8; bytes that are no character become U+FFFD.
    static std::string decoded(std::string_view page, std::string_view contentType = {});
};

}  // namespace plat
