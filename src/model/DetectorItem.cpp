#include "model/DetectorItem.h"

#include <cmath>

#include "model/Language.h"

namespace qx {

std::string DetectorItem::accumulationTimeString() const {
    const auto total = accumulationTime > 0 && std::isfinite(accumulationTime)
                           ? static_cast<unsigned long>(accumulationTime)
                           : 0UL;
    const auto hours = total / 60;
    const auto minutes = total % 60;
    if (hours == 0) return std::to_string(minutes) + " " + Language::get("min");
    return std::to_string(hours) + " " + Language::get("h") + " " + std::to_string(minutes) + " " +
           Language::get("min");
}

}  // namespace qx
