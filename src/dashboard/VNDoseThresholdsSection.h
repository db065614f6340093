#pragma once

#include "dashboard/VNDoseRateThresholdsSection.h"

namespace qx {

// The dose alarm thresholds: as the dose-rate section, with the dose's units and defaults, a
// single-threshold mode, and a row that resets the instrument's accumulated dose.
class VNDoseThresholdsSection : public VNDoseRateThresholdsSection {
public:
    void initRows() override;
    std::shared_ptr<VNTableViewCell> resetStatisticsCell();

protected:
    Threshold& threshold() const override;
    int unitKind() const override;
    const char* titleKey() const override { return "     Dose thresholds"; }
    int firstIndex() const override { return 2; }
    std::uint64_t firstCellType() const override;
    void configureEditor(ThresholdController& editor, unsigned deviceType) const override;
    void applyEditor(ThresholdController& editor) override;
    Defaults defaultsFor(unsigned deviceType) const override;

private:
    void confirmReset();

    std::shared_ptr<VNTableViewCell> resetCell_;
};

}  // namespace qx
