#pragma once

#include <string>
#include <string_view>

namespace qx {

// Text made safe for XML character data and attribute values: the five special characters
// become references, and what XML 1.0 cannot carry at all (control characters other than tab,
// line feed and carriage return, broken UTF-8) is dropped or replaced by U+FFFD, so that a
// stray byte in a name can never make the whole file unreadable.
class XmlText {
public:
    static void append(std::string& out, std::string_view text);
    static std::string escape(std::string_view text);
};

}  // namespace qx
