#pragma once

#include <cstddef>
#include <optional>

namespace qx {

// Where the demo instrument is at one step: degrees, metres, metres per second (negative:
// unknown). The time of the fix is the time it is played.
struct DemoFix {
    double latitude = 0;
    double longitude = 0;
    double altitude = 0;
    double speed = -1;
};

// One step of what the demo instrument plays: when, what it measures and where it is.
struct DemoSample {
    double offset = 0;            // seconds from the start of playing
    double der = 0;               // µSv/h
    std::optional<double> dose;   // µSv as recorded; the instrument integrates the dose rate without it
    std::optional<DemoFix> fix;
};

// A source of demo samples. Scripts never end: sample(i) exists for every i, with offsets that
// grow strictly with i.
class DemoScript {
public:
    virtual ~DemoScript() = default;
    virtual DemoSample sample(std::size_t index) const = 0;
};

}  // namespace qx
