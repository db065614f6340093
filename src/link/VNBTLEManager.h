#pragma once

#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/BluetoothRadio.h"
#include "link/VNBTLEDataService.h"
#include "link/VNBTLEManagerDelegate.h"
#include "link/VNBTLEPeripheral.h"

namespace qx {

// The Bluetooth LE central: scans for the instruments' service, keeps the paired peripheral,
// connects, follows the adapter and owns the data service of the connected peripheral.
//
// Pairing: the peripheral last connected is remembered under "PairedPeripheralUUIDKey". While
// it is remembered the central connects it again whenever it is found or comes back after a
// loss; only the user's disconnect forgets it.
class VNBTLEManager : public BluetoothRadio::Listener, public std::enable_shared_from_this<VNBTLEManager> {
public:
    static constexpr const char* kPairedPeripheralUUIDKey = "PairedPeripheralUUIDKey";

    static VNBTLEManager& sharedInstance();
    static void resetShared();

    VNBTLEManager();
    ~VNBTLEManager() override;
    VNBTLEManager(const VNBTLEManager&) = delete;
    VNBTLEManager& operator=(const VNBTLEManager&) = delete;

    void startScanning();
    void stopScanning();
    bool isScanning() const { return scanning_; }

    // Every peripheral found since the manager was made, in discovery order.
    const std::vector<std::shared_ptr<VNBTLEPeripheral>>& foundPeripherals() const { return found_; }

    // Connects a found peripheral (at once when it is in reach, else as soon as it is) and
    // remembers it as the paired one. A peripheral connected before is let go.
    void connectPeripheral(const std::shared_ptr<VNBTLEPeripheral>& peripheral);
    // The user's disconnect: forgets the paired peripheral and cancels its connection.
    void disconnectPeripheral(const std::shared_ptr<VNBTLEPeripheral>& peripheral);

    void setDelegate(std::weak_ptr<VNBTLEManagerDelegate> delegate) { delegate_ = std::move(delegate); }
    std::shared_ptr<VNBTLEManagerDelegate> delegate() const { return delegate_.lock(); }
    // The receiver of the data service's reports (DeviceManager).
    void setDataDelegate(std::weak_ptr<VNBTLEDataServiceDelegate> delegate);

    // The data service of the connected peripheral, or none.
    const std::shared_ptr<VNBTLEDataService>& dataService() const { return dataService_; }
    std::optional<std::string> pairedPeripheralIdentifier() const;
    bool isPoweredOn() const;

    // BluetoothRadio::Listener
    void radioDidStartAdvertising(const std::shared_ptr<InstrumentSource>& source) override;
    void radioDidStopAdvertising(const std::shared_ptr<InstrumentSource>& source) override;
    void radioDidChangePower(bool poweredOn) override;

private:
    std::shared_ptr<VNBTLEPeripheral> discover(const std::shared_ptr<InstrumentSource>& source);
    void completeConnection(const std::shared_ptr<VNBTLEPeripheral>& peripheral);
    // Drops the connection of the connected peripheral; `lost` when it went down by itself.
    void dropConnection(bool lost);
    void rememberPaired(const std::string& identifier);
    void forgetPaired();
    void refresh();
    void connectWhenInReach(const std::shared_ptr<VNBTLEPeripheral>& peripheral);

    std::vector<std::shared_ptr<VNBTLEPeripheral>> found_;
    std::shared_ptr<VNBTLEPeripheral> connecting_;
    std::shared_ptr<VNBTLEDataService> dataService_;
    std::weak_ptr<VNBTLEManagerDelegate> delegate_;
    std::weak_ptr<VNBTLEDataServiceDelegate> dataDelegate_;
    bool scanning_ = false;
};

}  // namespace qx
