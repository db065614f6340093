#pragma once

#include <memory>
#include <string>

#include "settings/VNPeripheralTableViewCell.h"
#include "shell/VNActionTableViewCell.h"
#include "shell/VNSection.h"

namespace qx {

class VNBTLEPeripheral;

// The list of Bluetooth LE instruments found by scanning, after a Demo Mode row. Choosing the
// connected instrument opens its detail page; choosing another connects it and closes the
// list; Demo Mode lets the connected instrument go. The hosting screen rebuilds the rows on
// every refresh of the Bluetooth LE manager.
class VNBluetoothDevicesSection : public VNSection {
public:
    static constexpr double kHeaderHeight = 32;
    static constexpr double kFooterHeight = 24;

    void initRows() override;
    void updateCellsTitles() override;

    std::shared_ptr<plat::View> viewForHeader() override;
    double headerHeight() const override { return kHeaderHeight; }
    double footerHeight() const override { return kFooterHeight; }

    VNTableViewCellPtr demoModeCell();
    // A new row for the peripheral.
    std::shared_ptr<VNPeripheralTableViewCell> cellWithCBPeripheral(const std::shared_ptr<VNBTLEPeripheral>& peripheral);

    // The name a peripheral is listed by: its advertised name up to a "$".
    static std::string displayName(const std::string& advertisedName);

private:
    void choosePeripheral(VNPeripheralTableViewCell& cell);
    void openConnectedInstrument(const std::string& title);
    void demoMode();
    void closeList();

    VNTableViewCellPtr demoModeCell_;
};

}  // namespace qx
