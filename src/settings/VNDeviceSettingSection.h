#pragma once

#include <memory>
#include <string>

#include "platform/foundation/Observable.h"
#include "shell/VNActionTableViewCell.h"
#include "shell/VNSection.h"

namespace qx {

class VNBTLEDataService;

// The connected instrument on the settings screen: the accessory models show their battery
// (the one with a history) or a factory reset; a Bluetooth LE instrument shows its Device
// Information texts and, but for the model without one, its battery. The rows are fixed when
// the section is built; only the battery level follows the instrument.
class VNDeviceSettingSection : public VNSection {
public:
    // Make with VNSection::create<VNDeviceSettingSection>(service); the accessory models need
    // none.
    explicit VNDeviceSettingSection(std::shared_ptr<VNBTLEDataService> service = nullptr)
        : service_(std::move(service)) {}

    void initRows() override;
    void updateCellsTitles() override;

    const std::shared_ptr<VNBTLEDataService>& service() const { return service_; }

    std::shared_ptr<VNActionTableViewCell> resetDeviceCell();
    VNTableViewCellPtr batteryCell();
    VNTableViewCellPtr modelCell();
    VNTableViewCellPtr serialNumberCell();
    VNTableViewCellPtr hardwareRevisionCell();
    VNTableViewCellPtr firmwareRevisionCell();

    // Asks before sending the instrument its factory defaults.
    void confirmFactoryReset();

    // Whether a Bluetooth LE model reports its battery.
    static bool reportsBattery(unsigned deviceType);

private:
    void showBattery(unsigned level);

    std::shared_ptr<VNBTLEDataService> service_;
    std::shared_ptr<VNActionTableViewCell> resetDeviceCell_;
    VNTableViewCellPtr batteryCell_, modelCell_, serialNumberCell_, hardwareRevisionCell_, firmwareRevisionCell_;
    plat::Subscription batterySignalDisposable_;
};

}  // namespace qx
