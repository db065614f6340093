#pragma once

#include <cstdint>
#include <memory>

#include "shell/VNSection.h"
#include "shell/VNThresholdTableViewCell.h"

namespace qx {

class Settings;

// The world map's dose-rate floor while the filter is edited: one threshold row that opens the
// threshold editor. Like the filter section it holds its values and touches no preferences.
class VNWMThresholdSection : public VNSection {
public:
    void initRows() override;
    void updateCellsTitles() override;

    // Copies the stored floor and scale decade in; run initRows afterwards to show them.
    void readSettings(const Settings& settings);
    // Writes them back (without saving).
    void applyToSettings(Settings& settings) const;

    // µSv/h.
    double thresholdValue() const { return thresholdValue_; }
    void setThresholdValue(double v) { thresholdValue_ = v; }
    std::int64_t thresholdScaleRange() const { return thresholdScaleRange_; }
    void setThresholdScaleRange(std::int64_t r) { thresholdScaleRange_ = r; }

    std::shared_ptr<VNThresholdTableViewCell> thresholdCell();
    // Shows the value with its dose-rate unit ("n/a" alone without a value).
    void updateThreshold();
    // Opens the threshold editor with one handle; applying keeps its value and scale decade.
    void showThresholdController();

private:
    double thresholdValue_ = 0;
    std::int64_t thresholdScaleRange_ = 0;
    std::shared_ptr<VNThresholdTableViewCell> thresholdCell_;
};

}  // namespace qx
