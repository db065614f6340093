#pragma once

#include <optional>
#include <string_view>

#include "beta/BBValue.h"

namespace bb {

// Reads an XML property list (the form embedded in provisioning profiles) into a value: dict,
// array, string, key, integer, real, true, false, date (as its text) and data (decoded).
// Nothing when the text is not a well-formed property list.
class BBPropertyList {
public:
    static std::optional<BBValue> parseXML(std::string_view text);
};

}  // namespace bb
