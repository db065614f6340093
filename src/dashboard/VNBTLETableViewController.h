#pragma once

#include <memory>

#include "link/VNBTLEManagerDelegate.h"
#include "shell/VNTableViewController.h"

namespace qx {

// A table screen that follows the Bluetooth LE manager: while it is shown it is the manager's
// delegate and scans, and every refresh rebuilds its sections' rows and reloads the table.
class VNBTLETableViewController : public VNTableViewController, public VNBTLEManagerDelegate {
public:
    static std::shared_ptr<VNBTLETableViewController> make() { return std::make_shared<VNBTLETableViewController>(); }

    void managerDidRefresh() override;
    void viewWillAppear(bool animated) override;

    // Gives the manager back to the device manager (for the screen's back block).
    static void returnManagerToDeviceManager();
};

}  // namespace qx
