#include "dashboard/VNBTLETableViewController.h"

#include "link/DeviceManager.h"
#include "link/VNBTLEManager.h"

namespace qx {

void VNBTLETableViewController::viewWillAppear(bool animated) {
    VNTableViewController::viewWillAppear(animated);
    auto self = weak_from_this().lock();
    auto& manager = VNBTLEManager::sharedInstance();
    manager.setDelegate(std::shared_ptr<VNBTLEManagerDelegate>(self, this));
    manager.startScanning();
}

void VNBTLETableViewController::managerDidRefresh() {
    for (const auto& section : sections()) section->initRows();
    if (isViewLoaded()) tableView()->reloadData();
}

void VNBTLETableViewController::returnManagerToDeviceManager() {
    VNBTLEManager::sharedInstance().setDelegate(DeviceManager::sharedPointer());
}

}  // namespace qx
