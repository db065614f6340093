#pragma once

#include <array>
#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "link/InstrumentSource.h"
#include "link/VNBTLEDataServiceDelegate.h"
#include "link/VNBTLEPeripheral.h"

namespace qx {

// The client of one connected Bluetooth LE instrument's service: live readings, thresholds,
// commands, history records and the Device Information texts.
class VNBTLEDataService : public std::enable_shared_from_this<VNBTLEDataService> {
public:
    explicit VNBTLEDataService(std::shared_ptr<VNBTLEPeripheral> peripheral);
    ~VNBTLEDataService();
    VNBTLEDataService(const VNBTLEDataService&) = delete;
    VNBTLEDataService& operator=(const VNBTLEDataService&) = delete;

    // Opens the link. `onLinkDown` runs when the link goes down by itself (not after stop()).
    void start(std::weak_ptr<VNBTLEDataServiceDelegate> delegate, std::function<void()> onLinkDown);
    void stop();
    bool isReady() const { return ready_; }
    void setDelegate(std::weak_ptr<VNBTLEDataServiceDelegate> delegate) { delegate_ = std::move(delegate); }

    const std::shared_ptr<VNBTLEPeripheral>& peripheral() const { return peripheral_; }
    // The model by the advertised name, else by the reported model number.
    unsigned deviceType() const;

    // Device Information, empty until read.
    const std::string& manufacturer() const { return info_.manufacturer; }
    const std::string& modelNumber() const { return info_.modelNumber; }
    const std::string& serialNumber() const { return info_.serialNumber; }
    const std::string& hardwareRevision() const { return info_.hardwareRevision; }
    const std::string& firmwareRevision() const { return info_.firmwareRevision; }
    // The thresholds the instrument last reported (µSv/h, µSv), none before the first report.
    const std::optional<std::array<float, 4>>& thresholds() const { return thresholds_; }

    // Writes one threshold (index 0 to 3 as in DeviceParams; others are refused).
    void writeThreshold(int index, float value);
    void resetDose();
    void factoryDefaults();
    void writeHistoryPeriod(double minutes);
    void writeJobMode(unsigned mode);
    void readHistory();
    void clearHistory();

private:
    void handle(const InstrumentEvent& event);
    void send(const InstrumentCommand& command);
    template <class F>
    void tellDelegate(F&& f);

    std::shared_ptr<VNBTLEPeripheral> peripheral_;
    std::weak_ptr<VNBTLEDataServiceDelegate> delegate_;
    std::function<void()> onLinkDown_;
    DeviceInformation info_;
    std::optional<std::array<float, 4>> thresholds_;
    bool ready_ = false;
};

}  // namespace qx
