#pragma once

#include <array>
#include <string>

namespace qx {

// The instrument models by their device-type code: 0 none; 1 and 2 reached over the accessory
// session, 3 to 9 over Bluetooth LE.
namespace DeviceTypes {

inline constexpr unsigned kNone = 0;
inline constexpr unsigned kLast = 9;

// The model name of a code ("VN2340A"); empty for 0 and unknown codes.
std::string modelName(unsigned type);
// The code of a model name; 0 when the name is no known model.
unsigned typeForModelName(const std::string& name);
// The model part of an advertised Bluetooth LE name: the text before the first "$".
std::string modelPartOfName(const std::string& advertisedName);

inline bool isKnown(unsigned type) { return type >= 1 && type <= kLast; }
inline bool isAccessory(unsigned type) { return type == 1 || type == 2; }
inline bool isBluetooth(unsigned type) { return type >= 3 && type <= kLast; }
// Models that reset their dose through the Bluetooth LE data service.
inline bool resetsDoseOverBluetooth(unsigned type) {
    return type == 3 || type == 5 || type == 7 || type == 8 || type == 9;
}
// Every model reports its battery but the VN2230RX1 and the VN2560.
inline bool reportsBattery(unsigned type) { return isKnown(type) && type != 8 && type != 1; }
// How many instrument units the parameter block holds per micro-sievert (per hour): the
// VN2450 keeps sievert, the VN2560 micro-sievert.
inline double parameterBlockScale(unsigned type) { return type == 2 ? 1e-6 : 1.0; }

// The thresholds a model leaves the factory with: first and second dose rate (µSv/h), first and
// second dose (µSv). Unknown codes take the row of code 0.
std::array<float, 4> factoryThresholds(unsigned type);

}  // namespace DeviceTypes
}  // namespace qx
