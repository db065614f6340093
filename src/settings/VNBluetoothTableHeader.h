#pragma once

#include <memory>

#include "platform/ui/Label.h"
#include "platform/ui/Slider.h"
#include "shell/VNView.h"

namespace qx {

// The header of the instrument list: a title and a spinner showing that the search goes on.
class VNBluetoothTableHeader : public VNView {
public:
    static constexpr const char* kNibName = "VNBluetoothTableHeader";
    static constexpr double kHeight = 32;

    static std::shared_ptr<VNBluetoothTableHeader> loadFromNib();
    VNBluetoothTableHeader();

    plat::Label& titleLabel() { return *titleLabel_; }
    const std::shared_ptr<plat::Label>& titleLabelPtr() const { return titleLabel_; }
    plat::ActivityIndicator& activityIndicator() { return *activityIndicator_; }
    const std::shared_ptr<plat::ActivityIndicator>& activityIndicatorPtr() const { return activityIndicator_; }

private:
    std::shared_ptr<plat::Label> titleLabel_;
    std::shared_ptr<plat::ActivityIndicator> activityIndicator_;
};

}  // namespace qx
