#pragma once

#include <memory>
#include <string>

#include "shell/VNActionTableViewCell.h"
#include "shell/VNSection.h"

namespace qx {

class VNBTLEDataService;

// The detail page of the connected Bluetooth LE instrument: its Device Information texts, its
// signal strength when the page opened, and a Disconnect row.
class VNBTLEInfoSection : public VNSection {
public:
    // Make with VNSection::create<VNBTLEInfoSection>(service); without a service it has no rows.
    explicit VNBTLEInfoSection(std::shared_ptr<VNBTLEDataService> service = nullptr) : service_(std::move(service)) {}

    std::string title() const override;
    void initRows() override;
    void updateCellsTitles() override;

    const std::shared_ptr<VNBTLEDataService>& service() const { return service_; }

    VNTableViewCellPtr manufacturerCell();
    VNTableViewCellPtr modelCell();
    VNTableViewCellPtr serialNumberCell();
    VNTableViewCellPtr hardwareRevisionCell();
    VNTableViewCellPtr firmwareRevisionCell();
    VNTableViewCellPtr rssiCell();
    std::shared_ptr<VNActionTableViewCell> disconnectCell();

    // Shows a signal strength in dBm.
    void updateRSSI(long rssi);

private:
    void disconnect();

    std::shared_ptr<VNBTLEDataService> service_;
    VNTableViewCellPtr manufacturerCell_, modelCell_, serialNumberCell_, hardwareRevisionCell_, firmwareRevisionCell_,
        rssiCell_;
    std::shared_ptr<VNActionTableViewCell> disconnectCell_;
};

}  // namespace qx
