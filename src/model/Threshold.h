#pragma once

#include <memory>

#include "model/DoseUnit.h"

namespace qx {

// A pair of alarm thresholds (dose rate in µSv/h or dose in µSv) with the editor's scale decade.
struct Threshold {
    std::shared_ptr<DoseUnit> firstThreshold = std::make_shared<DoseUnit>();
    std::shared_ptr<DoseUnit> secondThreshold = std::make_shared<DoseUnit>();
    bool mute = false;           // silences the alarm where the alarm logic reads it
    int scaleRange = 0;          // signed decade of the threshold editor's scale
    bool singleThresMode = false;

    Threshold() = default;
    Threshold(double first, double second) {
        firstThreshold->setValue(first);
        secondThreshold->setValue(second);
    }
};

}  // namespace qx
