#pragma once

#include <bit>
#include <cmath>
#include <cstdint>

#include "platform/foundation/Date.h"

namespace qx {

// One event of the instrument's own history. Value events carry their figure as the bit pattern
// of a single-precision float in `data`; other kinds carry an event code.
struct DetectorHistoryItem {
    enum Kind : std::uint8_t {
        doseRateKind = 1,  // data: dose rate, µSv/h
        doseKind = 2,      // data: accumulated dose, µSv
        powerOnKind = 3,
        powerOffKind = 4,
        alarmKind = 5,     // data: alarm code
    };

    std::uint8_t type = 0;
    std::uint32_t data = 0;
    plat::Date date;  // minute resolution

    static DetectorHistoryItem value(Kind kind, float figure, plat::Date date) {
        return {kind, std::bit_cast<std::uint32_t>(figure), minute(date)};
    }
    float figure() const { return std::bit_cast<float>(data); }
    bool isValue() const { return type == doseRateKind || type == doseKind; }

    // The date cut to the whole minute, as the instrument keeps it.
    static plat::Date minute(plat::Date date) {
        return plat::Date(std::floor(date.timeIntervalSince1970() / 60.0) * 60.0);
    }

    bool operator==(const DetectorHistoryItem&) const = default;
};

}  // namespace qx
