#pragma once

#include <memory>
#include <string>

#include "shell/VNSection.h"
#include "shell/VNTableViewSwitchCell.h"

namespace qx {

class CoeffNPickerController;

// The search mode's settings: the coefficient N (on its wheel picker), the search alarm sound,
// the background calibration and the defaults.
class VNSearchSettingSection : public VNSection {
public:
    static constexpr float kDefaultCoeffN = 5.3f;

    std::string title() const override;
    void initRows() override;

    std::shared_ptr<VNTableViewCell> coeffNCell();
    std::shared_ptr<VNTableViewSwitchCell> soundAlarmCell();
    std::shared_ptr<VNTableViewCell> calibrationCell();
    std::shared_ptr<VNTableViewCell> restoreDefaultsCell();

    // The picker's back action: stores the shown coefficient and closes the picker.
    void applyPicker(CoeffNPickerController& picker);

private:
    void openPicker();
    void confirmCalibration();
    void restoreDefaults();
    void showCoefficient();

    std::shared_ptr<VNTableViewCell> coeffCell_, calibrationCell_, restoreCell_;
    std::shared_ptr<VNTableViewSwitchCell> soundCell_;
};

}  // namespace qx
