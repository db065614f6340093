#include "model/DeviceModels.h"

#include <array>

namespace qx::DeviceModels {

namespace {
constexpr std::array<const char*, kLast + 1> kNames{"",          "VN2560",     "VN2450",      "VN2450A",   "VN2340A",
                                                    "VN2340A-M", "VN2340A-GN", "VN2340A-GNM", "VN2230RX1", "VN2110BT"};
}

const char* name(unsigned type) {
    return type <= kLast ? kNames[type] : "";
}

unsigned typeForName(const std::string& model) {
    if (model.empty()) return 0;
    for (unsigned t = 1; t <= kLast; ++t) {
        if (model == kNames[t]) return t;
    }
    return 0;
}

bool reportsDose(long long type) {
    switch (type) {
        case 2:
        case 3:
        case 5:
        case 7:
        case 8:
        case 9:
            return true;
        default:
            return false;
    }
}

bool nameReportsDose(const std::string& model) { return reportsDose(typeForName(model)); }

}  // namespace qx::DeviceModels
