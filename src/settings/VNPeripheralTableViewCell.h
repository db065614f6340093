#pragma once

#include <memory>

#include "platform/ui/Slider.h"
#include "shell/VNTableViewCell.h"

namespace qx {

class VNBTLEPeripheral;

// The row of a found Bluetooth LE instrument, with a spinner that runs while it connects.
class VNPeripheralTableViewCell : public VNTableViewCell {
public:
    static constexpr const char* kNibName = "VNPeripheralTableViewCell";

    VNPeripheralTableViewCell() : VNTableViewCell(plat::CellStyle::Value1, kNibName) {}
    static std::shared_ptr<VNPeripheralTableViewCell> loadFromNib();

    const std::shared_ptr<VNBTLEPeripheral>& peripheral() const { return peripheral_; }
    void setPeripheral(std::shared_ptr<VNBTLEPeripheral> peripheral) { peripheral_ = std::move(peripheral); }
    plat::ActivityIndicator& activityIndicator() { return *activityIndicator_; }
    const std::shared_ptr<plat::ActivityIndicator>& activityIndicatorPtr() const { return activityIndicator_; }

    void startAnimating() { activityIndicator_->startAnimating(); }

    void buildContent();

private:
    std::shared_ptr<VNBTLEPeripheral> peripheral_;
    std::shared_ptr<plat::ActivityIndicator> activityIndicator_;
};

}  // namespace qx
