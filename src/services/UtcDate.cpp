#include "services/UtcDate.h"

#include <cmath>
#include <ctime>

namespace qx {

std::string utcDateText(plat::Date date, const char* format) {
    const auto seconds = static_cast<std::time_t>(std::floor(date.timeIntervalSince1970()));
    std::tm parts{};
    gmtime_r(&seconds, &parts);
    char text[64];
    const std::size_t length = std::strftime(text, sizeof text, format, &parts);
    return std::string(text, length);
}

}  // namespace qx
