#pragma once

#include <optional>
#include <string>
#include <string_view>

#include "platform/foundation/Date.h"

namespace qx {

// The texts of the values in a waypoint file, the same whatever the language or C locale:
// numbers with "." and no exponent, times in ISO 8601.
class FieldText {
public:
    // The shortest plain decimal that reads back as the same double ("0.00001", never "1e-05").
    static std::string number(double value);
    // A decimal or exponent number with optional surrounding blanks; none for anything else,
    // including an empty text, "nan" and "inf".
    static std::optional<double> parseNumber(std::string_view text);
    static std::optional<int> parseInteger(std::string_view text);

    // UTC with milliseconds when there are any.
    static std::string dateTime(plat::Date date);
    // "YYYY-MM-DDThh:mm:ss" with optional fraction and zone ("Z", "+hh:mm", "+hhmm", "+hh");
    // a time without zone is taken as UTC, as GPX does. A space may stand for the "T".
    static std::optional<plat::Date> parseDateTime(std::string_view text);

    static std::string_view trim(std::string_view text);
};

}  // namespace qx
