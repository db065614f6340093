#pragma once

#include <cstddef>
#include <optional>

#include "link/Location.h"

namespace qx {

// One step of what the demo instrument plays: when, what it measures and where it is.
struct DemoSample {
    double offset = 0;            // seconds from the start of playing
    double der = 0;               // µSv/h
    std::optional<double> dose;   // µSv as recorded; the instrument integrates the dose rate without it
    std::optional<Location> fix;  // coordinate, altitude, speed (the time is set when played)
};

// A source of demo samples. Scripts never end: sample(i) exists for every i, with offsets that
// grow strictly with i.
class DemoScript {
public:
    virtual ~DemoScript() = default;
    virtual DemoSample sample(std::size_t index) const = 0;
};

}  // namespace qx
