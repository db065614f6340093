#pragma once

#include <cstdint>
#include <string>

#include "model/DoseUnit.h"
#include "platform/foundation/Date.h"

namespace qx {

// The instrument's current reading: what the live screens draw and what a stored measurement
// is made of. Values are in micro-sievert per hour (dose rate) and micro-sievert (dose).
struct DetectorItem {
    DoseUnit der;                 // dose rate
    DoseUnit de;                  // accumulated dose
    double countRate = 0;         // counts per second
    double variation = 0;         // statistical error of the dose rate, percent
    double accumulationTime = 0;  // minutes the dose rate has been averaged over
    unsigned systemMode = 0;      // the instrument's own mode number
    // Alarm and emergency states as the instrument reports them.
    bool derAlarm = false;
    bool deAlarm = false;
    bool searchAlarm = false;
    bool overload = false;
    std::uint32_t serialNumber = 0;
    std::string serialNumberString;
    plat::Date date;

    // The accumulation time as display text: "12 min", "1 h 5 min".
    std::string accumulationTimeString() const;
};

}  // namespace qx
