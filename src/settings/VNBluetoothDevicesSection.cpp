#include "settings/VNBluetoothDevicesSection.h"

#include "link/DeviceManager.h"
#include "link/VNBTLEManager.h"
#include "model/Language.h"
#include "settings/VNBTLEInfoSection.h"
#include "settings/SettingsRows.h"
#include "settings/VNBluetoothTableHeader.h"
#include "shell/VNTableViewController.h"

namespace qx {

namespace {

bool isConnectedPeripheral(const std::shared_ptr<VNBTLEPeripheral>& peripheral) {
    const auto& service = VNBTLEManager::sharedInstance().dataService();
    return peripheral && service && service->peripheral() == peripheral;
}

}  // namespace

std::string VNBluetoothDevicesSection::displayName(const std::string& advertisedName) {
    return advertisedName.substr(0, advertisedName.find('$'));
}

VNTableViewCellPtr VNBluetoothDevicesSection::demoModeCell() {
    if (!demoModeCell_) {
        // An action row that also says what the mode means, under its title.
        demoModeCell_ = std::make_shared<VNTableViewCell>(plat::CellStyle::Subtitle);
        demoModeCell_->setFrame(plat::Rect{0, 0, 320, 52});
        demoModeCell_->awakeFromNib();
        demoModeCell_->textLabel().setTextColor(VNActionTableViewCell::kActionColor);
        demoModeCell_->detailTextLabel().setFont(plat::Font::named("HelveticaNeue", 13));
        demoModeCell_->setOnSelectCellBlock(selectionRunning(&VNBluetoothDevicesSection::demoMode));
    }
    return demoModeCell_;
}

std::shared_ptr<VNPeripheralTableViewCell> VNBluetoothDevicesSection::cellWithCBPeripheral(
    const std::shared_ptr<VNBTLEPeripheral>& peripheral) {
    auto cell = VNPeripheralTableViewCell::loadFromNib();
    cell->setPeripheral(peripheral);
    cell->textLabel().setText(displayName(peripheral ? peripheral->name() : std::string{}));
    const bool connected = isConnectedPeripheral(peripheral);
    cell->detailTextLabel().setText(Language::get(connected ? "Connected" : "Not Connected"));
    cell->setAccessoryType(connected ? plat::AccessoryType::DetailButton : plat::AccessoryType::None);
    std::weak_ptr<VNSection> weak = weak_from_this();
    cell->setOnSelectCellBlock([weak](VNTableViewCell& selected) {
        auto self = std::static_pointer_cast<VNBluetoothDevicesSection>(weak.lock());
        if (self) self->choosePeripheral(static_cast<VNPeripheralTableViewCell&>(selected));
    });
    return cell;
}

void VNBluetoothDevicesSection::initRows() {
    setFooter("");
    std::vector<VNTableViewCellPtr> rows{demoModeCell()};
    for (const auto& peripheral : VNBTLEManager::sharedInstance().foundPeripherals()) {
        rows.push_back(cellWithCBPeripheral(peripheral));
    }
    setRows(std::move(rows));
    updateCellsTitles();
}

void VNBluetoothDevicesSection::updateCellsTitles() {
    auto demo = demoModeCell();
    demo->textLabel().setText(Language::get("Demo Mode"));
    demo->detailTextLabel().setText(Language::get("Without radiometric data"));
}

std::shared_ptr<plat::View> VNBluetoothDevicesSection::viewForHeader() {
    auto header = VNBluetoothTableHeader::loadFromNib();
    header->titleLabel().setText(Language::get("Discovery instruments"));
    header->activityIndicator().startAnimating();
    return header;
}

void VNBluetoothDevicesSection::choosePeripheral(VNPeripheralTableViewCell& cell) {
    auto peripheral = cell.peripheral();
    if (!peripheral) return;
    if (isConnectedPeripheral(peripheral)) {
        openConnectedInstrument(cell.textLabel().text());
        return;
    }
    cell.startAnimating();
    auto& manager = VNBTLEManager::sharedInstance();
    manager.setDelegate(DeviceManager::sharedPointer());
    manager.stopScanning();
    manager.connectPeripheral(peripheral);
    closeList();
}

void VNBluetoothDevicesSection::openConnectedInstrument(const std::string& title) {
    auto parent = parentController();
    if (!parent) return;
    auto info = VNSection::create<VNBTLEInfoSection>(VNBTLEManager::sharedInstance().dataService());
    presentSectionPage(*parent, title, info, {});
}

void VNBluetoothDevicesSection::demoMode() {
    disconnectConnectedInstrument();
    closeList();
}

void VNBluetoothDevicesSection::closeList() {
    if (auto parent = parentController()) parent->dismissViewController(true);
}

}  // namespace qx
