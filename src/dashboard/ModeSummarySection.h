#pragma once

#include "shell/VNSection.h"

namespace qx {

// The plain mode-settings section the dashboard shows until the settings layer gives the
// editing ones: the current mode's thresholds (dose rate or dose) or the search coefficient,
// read from the preferences.
class ModeSummarySection : public VNSection {
public:
    explicit ModeSummarySection(unsigned mode) : mode_(mode) {}

    unsigned mode() const { return mode_; }
    std::string title() const override;
    void initRows() override;
    void updateCellsTitles() override;

private:
    unsigned mode_;
};

}  // namespace qx
