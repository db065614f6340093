#include "link/DeviceTypes.h"

#include <array>

#include "model/DeviceModels.h"

namespace qx::DeviceTypes {

static_assert(kLast == DeviceModels::kLast);

std::string modelName(unsigned type) { return DeviceModels::name(type); }

unsigned typeForModelName(const std::string& name) { return DeviceModels::typeForName(name); }

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
