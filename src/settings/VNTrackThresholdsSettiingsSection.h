#pragma once

#include <memory>
#include <string>

#include "shell/VNSection.h"
#include "shell/VNTableViewSwitchCell.h"
#include "shell/VNThresholdTableViewCell.h"

namespace qx {

class ThresholdController;

// "Dose rate thresholds" of the Track Settings screen: whether a recording track follows the
// general dose-rate thresholds or a pair of its own, that pair and its alarm sound. While the
// general thresholds are used the section is that one switch row. The switches change the
// preferences without saving them (the Track tab saves when its settings screen closes); an
// applied threshold edit is saved at once.
class VNTrackThresholdsSettiingsSection : public VNSection {
public:
    std::string title() const override;
    void initRows() override;
    void updateCellsTitles() override;

    // Opens the threshold editor on the track's own pair, scaled for the connected model.
    void showThresholdController();
    // Shows the track's thresholds in the two threshold rows.
    void updateValues();

    std::shared_ptr<VNTableViewSwitchCell> useDoseRateSettingsCell();
    std::shared_ptr<VNThresholdTableViewCell> firstThresholdCell();
    std::shared_ptr<VNThresholdTableViewCell> secondThresholdCell();
    std::shared_ptr<VNTableViewSwitchCell> soundAlarmCell();
    // Replace a row's cell (none: made anew on next use).
    void setUseDoseRateSettingsCell(std::shared_ptr<VNTableViewSwitchCell> c) { useDoseRateSettingsCell_ = std::move(c); }
    void setFirstThresholdCell(std::shared_ptr<VNThresholdTableViewCell> c) { firstThresholdCell_ = std::move(c); }
    void setSecondThresholdCell(std::shared_ptr<VNThresholdTableViewCell> c) { secondThresholdCell_ = std::move(c); }
    void setSoundAlarmCell(std::shared_ptr<VNTableViewSwitchCell> c) { soundAlarmCell_ = std::move(c); }

private:
    std::shared_ptr<VNThresholdTableViewCell> makeThresholdCell(std::uint64_t type);
    void applyEditor(ThresholdController& editor);

    std::shared_ptr<VNTableViewSwitchCell> useDoseRateSettingsCell_, soundAlarmCell_;
    std::shared_ptr<VNThresholdTableViewCell> firstThresholdCell_, secondThresholdCell_;
};

}  // namespace qx
