#pragma once

#include <cstdint>
#include <memory>

namespace qx {

// What the dashboard's settings sections write to the connected instrument. The shared one
// goes to DeviceManager; tests put their own in its place.
class InstrumentControl {
public:
    virtual ~InstrumentControl() = default;
    virtual unsigned deviceType() const = 0;
    // 0 first and 1 second dose rate (µSv/h), 2 first and 3 second dose (µSv).
    virtual void saveDetectorThreshold(int index, float value) = 0;
    virtual void resetStat() = 0;
    virtual void setCoeffN(float n) = 0;
    virtual void saveDeviceParams() = 0;
    virtual void setCalibrationValue(std::uint16_t value) = 0;

    static std::shared_ptr<InstrumentControl> shared();
    // Replaces the shared one; none goes back to DeviceManager.
    static void setShared(std::shared_ptr<InstrumentControl> control);
};

}  // namespace qx
