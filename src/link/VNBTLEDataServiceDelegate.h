#pragma once

#include <array>

#include "link/InstrumentMessages.h"

namespace qx {

class VNBTLEDataService;

// What the data service of the connected Bluetooth LE instrument reports; every operation is
// optional.
class VNBTLEDataServiceDelegate {
public:
    virtual ~VNBTLEDataServiceDelegate() = default;

    // The instrument's service is ready / the link to it went down (lost or disconnected).
    virtual void dataServiceDidConnect(VNBTLEDataService&) {}
    virtual void dataServiceDidDisconnect(VNBTLEDataService&) {}
    // Status record: the battery percentage.
    virtual void dataServiceDidUpdateStatus(VNBTLEDataService&, unsigned /*batteryLevel*/) {}
    virtual void dataServiceDidReceiveReading(VNBTLEDataService&, const InstrumentReading&) {}
    // The instrument's thresholds (µSv/h, µSv), indexed as in DeviceParams.
    virtual void dataServiceDidReceiveSettings(VNBTLEDataService&, const std::array<float, 4>&) {}
    virtual void dataServiceDidReceiveHistoryItem(VNBTLEDataService&, const DetectorHistoryItem&) {}
    virtual void dataServiceDidFinishHistory(VNBTLEDataService&) {}
    virtual void dataServiceDidUpdateDeviceInformation(VNBTLEDataService&) {}
    virtual void dataServiceDidReadRSSI(VNBTLEDataService&, int /*rssi*/) {}
    // The instrument confirmed a dose reset.
    virtual void dataServiceDidReset(VNBTLEDataService&) {}
};

}  // namespace qx
