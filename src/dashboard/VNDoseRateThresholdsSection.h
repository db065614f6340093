#pragma once

#include <memory>
#include <string>

#include "model/Threshold.h"
#include "shell/VNSection.h"
#include "shell/VNTableViewSwitchCell.h"
#include "shell/VNThresholdTableViewCell.h"

namespace qx {

class ThresholdController;

// The two dose-rate alarm thresholds: their values (opening the threshold editor), the alarm
// sound, and the connected model's defaults. Every change is stored in the preferences, saved
// and written to the instrument.
class VNDoseRateThresholdsSection : public VNSection {
public:
    std::string title() const override;
    void initRows() override;

    // Opens the editor on the visible screen; both threshold rows run it.
    void showThresholdController();
    // Shows the current values in the threshold rows.
    void updateValues();

    std::shared_ptr<VNThresholdTableViewCell> firstThresholdCell();
    std::shared_ptr<VNThresholdTableViewCell> secondThresholdCell();
    std::shared_ptr<VNTableViewSwitchCell> soundAlarmCell();
    std::shared_ptr<VNTableViewCell> restoreDefaultsCell();

protected:
    struct Defaults {
        double first, second;
    };

    virtual Threshold& threshold() const;
    virtual int unitKind() const;
    virtual const char* titleKey() const { return "     Dose rate thresholds"; }
    // The instrument's index of the first threshold; the second follows it.
    virtual int firstIndex() const { return 0; }
    virtual std::uint64_t firstCellType() const { return 0; }
    // The editor's mode, single-handle mode and scale for the connected model.
    virtual void configureEditor(ThresholdController& editor, unsigned deviceType) const;
    virtual void applyEditor(ThresholdController& editor);
    virtual Defaults defaultsFor(unsigned deviceType) const;

    // Steps of applying: the values into the preferences and the instrument, the scale decade,
    // saved, shown.
    void storeEditorValues(ThresholdController& editor);
    std::string valueText(const DoseUnit& value) const;
    // Makes the cells anew on their next use.
    void dropCells();

private:
    void restoreDefaults();
    std::shared_ptr<VNThresholdTableViewCell> makeThresholdCell(std::uint64_t type, const DoseUnit& value);

    std::shared_ptr<VNThresholdTableViewCell> firstCell_, secondCell_;
    std::shared_ptr<VNTableViewSwitchCell> soundCell_;
    std::shared_ptr<VNTableViewCell> restoreCell_;
};

}  // namespace qx
