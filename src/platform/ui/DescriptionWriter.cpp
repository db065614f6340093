#include "platform/ui/DescriptionWriter.h"

namespace plat {

void DescriptionWriter::line(const std::string& text) {
    text_.append(static_cast<std::size_t>(depth_) * 2, ' ');
    text_ += text;
    text_ += '\n';
}

std::string DescriptionWriter::quoted(const std::string& text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '\n') {
            out += "\\n";
        } else if (c == '"') {
            out += "\\\"";
        } else {
            out += c;
        }
    }
    return out + "\"";
}

}  // namespace plat
