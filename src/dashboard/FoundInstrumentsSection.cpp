#include "dashboard/FoundInstrumentsSection.h"

#include "link/DeviceManager.h"
#include "link/VNBTLEManager.h"
#include "model/Language.h"
#include "shell/VNTableViewController.h"

namespace qx {

namespace {

bool isConnected(const std::shared_ptr<VNBTLEPeripheral>& peripheral) {
    const auto& service = VNBTLEManager::sharedInstance().dataService();
    return service && service->peripheral() == peripheral;
}

}  // namespace

std::string FoundInstrumentsSection::title() const { return Language::get("Discovery instruments"); }

std::string FoundInstrumentsSection::displayName(const std::string& advertisedName) {
    return advertisedName.substr(0, advertisedName.find('$'));
}

void FoundInstrumentsSection::initRows() {
    peripherals_ = VNBTLEManager::sharedInstance().foundPeripherals();
    std::vector<VNTableViewCellPtr> cells;
    std::weak_ptr<VNSection> weak = weak_from_this();
    for (const auto& peripheral : peripherals_) {
        auto cell = VNTableViewCell::loadFromNib();
        std::weak_ptr<VNBTLEPeripheral> chosen = peripheral;
        cell->setOnSelectCellBlock([weak, chosen](VNTableViewCell&) {
            auto self = std::static_pointer_cast<FoundInstrumentsSection>(weak.lock());
            if (auto p = chosen.lock(); self && p) self->choose(p);
        });
        cells.push_back(cell);
    }
    setRows(std::move(cells));
    updateCellsTitles();
}

void FoundInstrumentsSection::updateCellsTitles() {
    for (std::size_t i = 0; i < numRows() && i < peripherals_.size(); ++i) {
        auto cell = cellForRowAtIndex(i);
        const bool connected = isConnected(peripherals_[i]);
        cell->textLabel().setText(displayName(peripherals_[i]->name()));
        cell->detailTextLabel().setText(Language::get(connected ? "Connected" : "Not Connected"));
    }
}

void FoundInstrumentsSection::choose(const std::shared_ptr<VNBTLEPeripheral>& peripheral) {
    if (isConnected(peripheral)) return;
    auto& manager = VNBTLEManager::sharedInstance();
    manager.setDelegate(DeviceManager::sharedPointer());
    manager.stopScanning();
    manager.connectPeripheral(peripheral);
    if (auto parent = parentController()) parent->dismissViewController(true);
}

}  // namespace qx
