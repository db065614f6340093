#pragma once

#include <memory>
#include <string>

#include "shell/VNSection.h"

namespace qx {

class VNBTLEPeripheral;

// The plain list of Bluetooth LE instruments the dashboard shows until the settings layer
// gives its own: one row per found instrument with its connection state; choosing one that is
// not connected connects it and closes the list.
class FoundInstrumentsSection : public VNSection {
public:
    std::string title() const override;
    void initRows() override;
    void updateCellsTitles() override;

    // The name shown for a peripheral: what comes before a "$" in its advertised name.
    static std::string displayName(const std::string& advertisedName);

private:
    void choose(const std::shared_ptr<VNBTLEPeripheral>& peripheral);

    std::vector<std::shared_ptr<VNBTLEPeripheral>> peripherals_;
};

}  // namespace qx
