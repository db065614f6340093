#pragma once

#include <memory>

#include "platform/ui/PickerView.h"
#include "shell/VNBaseViewController.h"

namespace qx {

// The wheel picker of the search coefficient N: three wheels (2 to 9, tenths, hundredths) with
// a "." between the first two, offering 2.00 to 9.99. Closing the screen (its back button)
// runs the back block, which applies the shown value: there is no separate cancel.
class CoeffNPickerController : public VNBaseViewController,
                               public plat::PickerViewDataSource,
                               public plat::PickerViewDelegate {
public:
    static constexpr double kMinimum = 2.0;
    static constexpr float kMaximum = 9.99f;

    double value() const { return value_; }
    // Stores the value, from 2.00 to at most 9.99, and turns the wheels to it when they exist.
    void setValue(double value);
    std::shared_ptr<plat::PickerView> pickerView();
    // The close button.
    void close() { onBack(); }

    void viewDidLoad() override;

    long numberOfComponents(plat::PickerView&) override { return 3; }
    long numberOfRows(plat::PickerView&, long component) override { return component == 0 ? 8 : 10; }
    std::string titleForRow(plat::PickerView&, long row, long component) override;
    double widthForComponent(plat::PickerView&, long) override { return 100; }
    void didSelectRow(plat::PickerView& picker, long row, long component) override;

private:
    double value_ = 0;
    std::shared_ptr<plat::PickerView> picker_;
};

}  // namespace qx
