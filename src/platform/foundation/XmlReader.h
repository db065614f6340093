#pragma once

#include <functional>
#include <string>
#include <string_view>
#include <utility>
#include <vector>

namespace plat {

// Reads an XML document from start to end, telling the handler about elements and text as they
// come. Names are as written, prefixes included ("s:Fault"). The text between two tags arrives
// in one piece, entities resolved. No external entity or document is ever loaded.
class XmlReader {
public:
    using Attributes = std::vector<std::pair<std::string, std::string>>;
    struct Handler {
        std::function<void(const std::string& name, const Attributes& attributes)> startElement;
        std::function<void(const std::string& name)> endElement;
        std::function<void(const std::string& text)> characters;
    };

    // False (and, when asked, where and why) for a document that is not well-formed; the
    // handler has then heard everything before the fault.
    static bool parse(std::string_view document, const Handler& handler, std::string* error = nullptr);
};

}  // namespace plat
