#pragma once

#include "link/DemoScript.h"

namespace qx {

// The built-in walk: round and round a circular path of one kilometre at walking pace, one
// sample a second. Half-way round lies a hot spot whose dose rate rises from the background well
// above the default dose-rate thresholds (0.3 and 1.2 µSv/h), so every alarm and autosave trigger
// can be seen on a walk.
class DemoWalk final : public DemoScript {
public:
    static constexpr double kLoopLength = 1000;     // metres
    static constexpr double kSpeed = 1.25;          // metres per second
    static constexpr double kBackground = 0.1;      // µSv/h
    static constexpr double kHotSpotPeak = 2.5;     // µSv/h at the hot spot, background included
    static constexpr double kHotSpotWidth = 30;     // metres (Gaussian width)
    static constexpr double kHotSpotAt = 500;       // metres along the loop from the start
    static constexpr double kBaseAltitude = 120;    // metres

    explicit DemoWalk(double centreLatitude = 47.3769, double centreLongitude = 8.5417)
        : centreLatitude_(centreLatitude), centreLongitude_(centreLongitude) {}

    DemoSample sample(std::size_t index) const override;
    // The dose rate at a distance along the loop.
    static double doseRateAt(double metresAlong);

private:
    double centreLatitude_;
    double centreLongitude_;
};

}  // namespace qx
