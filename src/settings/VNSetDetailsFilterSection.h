#pragma once

#include "settings/VNSetFilterSection.h"

namespace qx {

// "Filter by" of one day's details: the history filter without the day range. Its screen
// starts it with alarms only off, whatever is stored; the day range is never written.
class VNSetDetailsFilterSection : public VNSetFilterSection {
public:
    // Alarms, devices, and detectors when there is a choice. Cells already made are kept and
    // show the current values.
    void initRows() override;

    void readSettings(const Settings& settings) override;
    void applyToSettings(Settings& settings) const override;
};

}  // namespace qx
