#pragma once

#include <functional>
#include <optional>
#include <string>

#include "platform/map/Location.h"

namespace qx {

// What the connected instrument reads now, as the store needs it for new records.
struct CurrentReading {
    double dose = 0;  // accumulated dose, µSv
    double doseRate = 0;   // µSv/h
    double variation = 0;  // percent
    std::optional<plat::Location> location;  // the last fix, none without one
    unsigned deviceType = 0;
    std::string deviceName;
    std::string deviceSerial;
    std::string accumulation;  // accumulation time as display text
};

// Where the store asks for the current reading. The instrument link installs its provider;
// until then there is no instrument (no readings, device type 0, empty names, no fix). Called on the main
// thread.
class CurrentReadingSource {
public:
    using Provider = std::function<CurrentReading()>;
    static void setProvider(Provider provider);
    static CurrentReading current();
};

}  // namespace qx
