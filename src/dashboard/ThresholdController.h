#pragma once

#include <functional>
#include <memory>

#include "dashboard/ThresholdScaleView.h"
#include "platform/ui/Button.h"
#include "platform/ui/Label.h"
#include "shell/VNBaseViewController.h"

namespace qx {

// The threshold editor. Before presenting it the owner sets the two values, the mode (0 dose
// rate, 1 dose: the unit texts), the limits and the decade of the scale, whether only one
// handle is shown, the back block and the apply block. Moving a handle changes the editor's
// values at once; Apply runs the apply block with the editor, whose values and scale decade
// are then the chosen ones. Going back runs only the back block.
class ThresholdController : public VNBaseViewController {
public:
    using ApplyBlock = std::function<void(ThresholdController& editor)>;

    ThresholdController() = default;

    double firstThreshValue() const { return first_; }
    void setFirstThreshValue(double v);
    double secondThreshValue() const { return second_; }
    void setSecondThreshValue(double v);
    int mode() const { return mode_; }
    void setMode(int mode) { mode_ = mode; }
    double scaleMinValue() const { return scaleMin_; }
    void setScaleMinValue(double v) { scaleMin_ = v; }
    double scaleMaxValue() const { return scaleMax_; }
    void setScaleMaxValue(double v) { scaleMax_ = v; }
    int scaleRange() const { return scaleRange_; }
    void setScaleRange(int range) { scaleRange_ = range; }
    bool singleHandleMode() const { return singleHandle_; }
    void setSingleHandleMode(bool single) { singleHandle_ = single; }
    const ApplyBlock& onApply() const { return onApply_; }
    void setOnApply(ApplyBlock block) { onApply_ = std::move(block); }

    // What the person does: moves a handle to a value (as a drag would leave it), shifts the
    // scale a decade down or up, applies.
    bool moveHandle(int handle, double value);
    void shiftScale(int decades);
    void apply();

    // The parts of the screen (they load its view).
    std::shared_ptr<ThresholdScaleView> scaleView();
    plat::Label& firstValueLabel();
    plat::Label& secondValueLabel();
    const plat::BarButtonItemPtr& applyButton();

    void viewDidLoad() override;
    void initTitles() override;

private:
    void showOnScale();
    void showValues();
    std::string valueText(double value) const;

    double first_ = 0, second_ = 0;
    int mode_ = 0;
    double scaleMin_ = 0.1, scaleMax_ = 1e7;
    int scaleRange_ = 0;
    bool singleHandle_ = false;
    ApplyBlock onApply_;

    std::shared_ptr<ThresholdScaleView> scale_;
    std::shared_ptr<plat::Label> firstTitle_, secondTitle_, firstLabel_, secondLabel_;
    std::shared_ptr<plat::Button> lowerButton_, higherButton_;
    plat::BarButtonItemPtr applyButton_;
};

}  // namespace qx
