#include "beta/BBURLRequest.h"

#include <strings.h>

namespace bb {

namespace {
bool sameField(const std::string& a, const std::string& b) {
    return a.size() == b.size() && ::strcasecmp(a.c_str(), b.c_str()) == 0;
}
}  // namespace

void BBURLRequest::setValueForHTTPHeaderField(const std::string& value, const std::string& field) {
    for (auto& [name, existing] : headerFields) {
        if (sameField(name, field)) {
            existing = value;
            return;
        }
    }
    headerFields.emplace_back(field, value);
}

std::optional<std::string> BBURLRequest::valueForHTTPHeaderField(const std::string& field) const {
    for (const auto& [name, value] : headerFields) {
        if (sameField(name, field)) return value;
    }
    return std::nullopt;
}

}  // namespace bb
