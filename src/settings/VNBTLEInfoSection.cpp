#include "settings/VNBTLEInfoSection.h"

#include "link/VNBTLEManager.h"
#include "model/Language.h"
#include "settings/SettingsRows.h"
#include "shell/VNTableViewController.h"

namespace qx {

std::string VNBTLEInfoSection::title() const { return Language::get("    Detector Info"); }

VNTableViewCellPtr VNBTLEInfoSection::manufacturerCell() {
    return infoCell(manufacturerCell_, service_ ? service_->manufacturer() : std::string{});
}

VNTableViewCellPtr VNBTLEInfoSection::modelCell() {
    return infoCell(modelCell_, service_ ? service_->modelNumber() : std::string{});
}

VNTableViewCellPtr VNBTLEInfoSection::serialNumberCell() {
    return infoCell(serialNumberCell_, service_ ? service_->serialNumber() : std::string{});
}

VNTableViewCellPtr VNBTLEInfoSection::hardwareRevisionCell() {
    return infoCell(hardwareRevisionCell_, service_ ? service_->hardwareRevision() : std::string{});
}

VNTableViewCellPtr VNBTLEInfoSection::firmwareRevisionCell() {
    return infoCell(firmwareRevisionCell_, service_ ? service_->firmwareRevision() : std::string{});
}

VNTableViewCellPtr VNBTLEInfoSection::rssiCell() {
    if (!rssiCell_) {
        infoCell(rssiCell_, {});
        // The strength shown is the one known now; the answer to this read is not waited for.
        if (service_ && service_->peripheral()) {
            const auto& peripheral = service_->peripheral();
            peripheral->readRSSI();
            if (const auto rssi = peripheral->RSSI()) updateRSSI(*rssi);
        }
    }
    return rssiCell_;
}

void VNBTLEInfoSection::updateRSSI(long rssi) {
    char text[32];
    std::snprintf(text, sizeof text, "%li db", rssi);
    rssiCell()->detailTextLabel().setText(text);
}

std::shared_ptr<VNActionTableViewCell> VNBTLEInfoSection::disconnectCell() {
    if (!disconnectCell_) disconnectCell_ = actionCell(Language::get("Disconnect"), &VNBTLEInfoSection::disconnect);
    return disconnectCell_;
}

void VNBTLEInfoSection::initRows() {
    if (!service_) {
        setRows({});
    } else {
        setRows({manufacturerCell(), modelCell(), serialNumberCell(), hardwareRevisionCell(), firmwareRevisionCell(),
                 rssiCell(), disconnectCell()});
    }
    updateCellsTitles();
}

void VNBTLEInfoSection::updateCellsTitles() {
    if (!service_) return;
    manufacturerCell()->textLabel().setText(Language::get("Manufaturer Name:"));
    modelCell()->textLabel().setText(Language::get("Model:"));
    serialNumberCell()->textLabel().setText(Language::get("Serial Number:"));
    hardwareRevisionCell()->textLabel().setText(Language::get("Hardware:"));
    firmwareRevisionCell()->textLabel().setText(Language::get("Firmware:"));
    rssiCell()->textLabel().setText(Language::get("RSSI:"));
    disconnectCell()->textLabel().setText(Language::get("Disconnect"));
}

void VNBTLEInfoSection::disconnect() {
    disconnectConnectedInstrument();
    if (auto parent = parentController()) parent->dismissViewController(true);
}

}  // namespace qx
