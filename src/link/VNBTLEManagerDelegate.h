#pragma once

namespace qx {

// What the Bluetooth LE central tells its delegate (the instrument list or DeviceManager);
// both operations are optional.
class VNBTLEManagerDelegate {
public:
    virtual ~VNBTLEManagerDelegate() = default;
    // The found peripherals or their connection states changed.
    virtual void managerDidRefresh() {}
    // The adapter was switched off.
    virtual void managerStatePoweredOff() {}
};

}  // namespace qx
