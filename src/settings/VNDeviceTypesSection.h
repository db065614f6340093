#pragma once

#include "shell/VNSection.h"

namespace qx {

// The check list of the history filter's device type: "All devices" (code 0) and the nine
// models, the chosen one ticked. Its screen's back button hands the choice to the filter.
class VNDeviceTypesSection : public VNSection {
public:
    static constexpr unsigned kTypeCount = 10;

    void initRows() override;
    void updateCellsTitles() override;

    unsigned deviceType() const { return deviceType_; }
    void setDeviceType(unsigned type) { deviceType_ = type; }

private:
    void choose(VNTableViewCell& cell);

    unsigned deviceType_ = 0;
};

}  // namespace qx
