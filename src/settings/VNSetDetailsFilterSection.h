#pragma once

#include "settings/VNSetFilterSection.h"

namespace qx {

// "Filter by" of one day's details: the history filter without the day range, which is never
// written. It opens on the stored values, the alarms box included, so that applying without a
// change leaves the filter as it was.
class VNSetDetailsFilterSection : public VNSetFilterSection {
public:
    // Alarms, devices, and detectors when there is a choice. Cells already made are kept and
    // show the current values.
    void initRows() override;

    void applyToSettings(Settings& settings) const override;
};

}  // namespace qx
