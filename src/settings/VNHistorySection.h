#pragma once

#include <memory>

#include "platform/foundation/Date.h"
#include "shell/VNActionTableViewCell.h"
#include "shell/VNSection.h"
#include "shell/VNTableViewSwitchCell.h"

namespace qx {

class VNIntervalPickerView;

// The history recording of the accessory instrument that keeps one: reading it when the
// History tab opens, clearing it after reading, the recording mode and interval (also written to
// the instrument), and reading it now. Every change is saved at once.
class VNHistorySection : public VNSection {
public:
    // The longest recording interval the instrument takes, in minutes.
    static constexpr unsigned kMaxRecordingInterval = 1080;

    void initRows() override;
    void updateCellsTitles() override;

    std::shared_ptr<VNTableViewSwitchCell> autoLoadCell();
    std::shared_ptr<VNTableViewSwitchCell> clearCell();
    VNTableViewCellPtr modeCell();
    VNTableViewCellPtr intervalCell();
    std::shared_ptr<VNActionTableViewCell> loadCell();

    // Shows the interval picker over this section's screen.
    std::shared_ptr<VNIntervalPickerView> showIntervalPicker();
    // Stores and writes the interval of a picked duration.
    void intervalPicked(plat::TimeInterval seconds);

    // The recording interval in minutes for a picked duration.
    static unsigned recordingIntervalFor(plat::TimeInterval seconds);

private:
    void loadHistory();

    std::shared_ptr<VNTableViewSwitchCell> autoLoadCell_, clearCell_;
    VNTableViewCellPtr modeCell_, intervalCell_;
    std::shared_ptr<VNActionTableViewCell> loadCell_;
};

}  // namespace qx
