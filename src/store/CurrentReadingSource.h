#pragma once

#include <functional>
#include <string>

namespace qx {

// What the connected instrument reads now, as the store needs it for new records.
struct CurrentReading {
    double dose = 0;  // accumulated dose, µSv
    unsigned deviceType = 0;
    std::string deviceName;
    std::string deviceSerial;
    std::string accumulation;  // accumulation time as display text
};

// Where the store asks for the current reading. The instrument link installs its provider;
// until then there is no instrument (dose 0, device type 0, empty names). Called on the main
// thread.
class CurrentReadingSource {
public:
    using Provider = std::function<CurrentReading()>;
    static void setProvider(Provider provider);
    static CurrentReading current();
};

}  // namespace qx
