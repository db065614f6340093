#pragma once

#include <string>

namespace qx {

// The instrument models' names by device-type code, the one list that the link, the settings
// and the history screens all name them from.
namespace DeviceModels {

inline constexpr unsigned kLast = 9;

// "VN2340A" for 4; empty for 0 and unknown codes.
const char* name(unsigned type);
// The code of a model name; 0 for no known model.
unsigned typeForName(const std::string& name);
// Whether the model's readings carry a dose (and an accumulation time).
bool reportsDose(long long type);
// The same for a reading's instrument by its name: a name of no known model measures none.
bool nameReportsDose(const std::string& name);

}  // namespace DeviceModels
}  // namespace qx
