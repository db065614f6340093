#include "settings/VNDeviceSettingSection.h"

#include "link/DeviceManager.h"
#include "link/VNBTLEDataService.h"
#include "model/Language.h"
#include "platform/ui/AlertView.h"
#include "settings/SettingsRows.h"

namespace qx {

bool VNDeviceSettingSection::reportsBattery(unsigned deviceType) {
    return deviceType >= 2 && deviceType <= 9 && deviceType != 8;
}

std::shared_ptr<VNActionTableViewCell> VNDeviceSettingSection::resetDeviceCell() {
    if (!resetDeviceCell_) {
        resetDeviceCell_ = actionCell(Language::get("Reset Detector to Factory Defaults"),
                                      &VNDeviceSettingSection::confirmFactoryReset);
    }
    return resetDeviceCell_;
}

void VNDeviceSettingSection::showBattery(unsigned level) {
    if (batteryCell_) batteryCell_->detailTextLabel().setText(std::to_string(level) + "%");
}

VNTableViewCellPtr VNDeviceSettingSection::batteryCell() {
    if (!batteryCell_) {
        infoCell(batteryCell_, {});
        showBattery(DeviceManager::sharedDeviceManager().batteryLevel().get());
    }
    return batteryCell_;
}

VNTableViewCellPtr VNDeviceSettingSection::modelCell() {
    return infoCell(modelCell_, service_ ? service_->modelNumber() : std::string{});
}

VNTableViewCellPtr VNDeviceSettingSection::serialNumberCell() {
    return infoCell(serialNumberCell_, service_ ? service_->serialNumber() : std::string{});
}

VNTableViewCellPtr VNDeviceSettingSection::hardwareRevisionCell() {
    return infoCell(hardwareRevisionCell_, service_ ? service_->hardwareRevision() : std::string{});
}

VNTableViewCellPtr VNDeviceSettingSection::firmwareRevisionCell() {
    return infoCell(firmwareRevisionCell_, service_ ? service_->firmwareRevision() : std::string{});
}

void VNDeviceSettingSection::initRows() {
    const auto type = DeviceManager::sharedDeviceManager().deviceType();
    std::vector<VNTableViewCellPtr> rows;
    if (type == 2) {
        rows = {batteryCell()};
    } else if (type == 1) {
        rows = {resetDeviceCell()};
    } else if (service_) {
        rows = {modelCell(), serialNumberCell(), hardwareRevisionCell(), firmwareRevisionCell()};
        if (reportsBattery(type)) rows.push_back(batteryCell());
    }
    setRows(std::move(rows));
    if (!batterySignalDisposable_.isActive()) {
        std::weak_ptr<VNSection> weak = weak_from_this();
        batterySignalDisposable_ = DeviceManager::sharedDeviceManager().batteryLevel().subscribe([weak](unsigned level) {
            if (auto self = std::static_pointer_cast<VNDeviceSettingSection>(weak.lock())) self->showBattery(level);
        });
    }
    updateCellsTitles();
}

void VNDeviceSettingSection::updateCellsTitles() {
    // Only the rows made for this instrument are titled.
    auto title = [](const auto& cell, const char* key) {
        if (cell) cell->textLabel().setText(Language::get(key));
    };
    title(modelCell_, "Model:");
    title(serialNumberCell_, "Serial Number:");
    title(hardwareRevisionCell_, "Hardware:");
    title(firmwareRevisionCell_, "Firmware:");
    title(resetDeviceCell_, "Reset Detector to Factory Defaults");
    title(batteryCell_, "Battery");
}

void VNDeviceSettingSection::confirmFactoryReset() {
    plat::AlertView::show(Language::get("Are you sure?"), Language::get("Reset device settings to factory defaults?"),
                          Language::get("Cancel"), {Language::get("Reset")},
                          [](long) { DeviceManager::sharedDeviceManager().deviceFactoryDefaults(); });
}

}  // namespace qx
