#include "link/DeviceTypes.h"

#include <array>

namespace qx::DeviceTypes {

namespace {
constexpr std::array<const char*, kLast + 1> kNames{
    "", "VN2560", "VN2450", "VN2450A", "VN2340A", "VN2340A-M", "VN2340A-GN", "VN2340A-GNM", "VN2230RX1", "VN2110BT"};
}

std::string modelName(unsigned type) { return type <= kLast ? kNames[type] : ""; }

unsigned typeForModelName(const std::string& name) {
    if (name.empty()) return kNone;
    for (unsigned t = 1; t <= kLast; ++t) {
        if (name == kNames[t]) return t;
    }
    return kNone;
}

std::string modelPartOfName(const std::string& advertisedName) {
    return advertisedName.substr(0, advertisedName.find('$'));
}

std::array<float, 4> factoryThresholds(unsigned type) {
    static constexpr std::array<std::array<float, 4>, kLast + 1> kTable{{
        {1, 10, 10, 10'000},
        {10, 10, 10, 10'000},
        {10'000, 10'000'000, 10'000, 10'000'000},
        {1, 10, 100'000, 10'000'000},
        {100, 100, 10, 10'000},
        {10'000'000, 10'000'000, 1'000'000, 1'000'000},
        {100, 100, 10, 10'000},
        {10'000'000, 10'000'000, 1'000'000, 1'000'000},
        {0.5f, 1'000, 10'000'000, 10'000'000},
        {9'990'000, 9'990'000, 9'990'000, 9'990'000},
    }};
    return kTable[type <= kLast ? type : 0];
}

}  // namespace qx::DeviceTypes
