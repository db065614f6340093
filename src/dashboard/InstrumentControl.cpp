#include "dashboard/InstrumentControl.h"

#include "link/DeviceManager.h"

namespace qx {

namespace {

class DeviceManagerControl : public InstrumentControl {
public:
    unsigned deviceType() const override { return manager().deviceType(); }
    void saveDetectorThreshold(int index, float value) override { manager().saveDetectorThreshold(index, value); }
    void resetStat() override { manager().resetStat(); }
    void setCoeffN(float n) override { manager().setCoeffN(n); }
    void saveDeviceParams() override { manager().saveDeviceParams(); }
    void setCalibrationValue(std::uint16_t value) override { manager().setCalibrationValue(value); }

private:
    static DeviceManager& manager() { return DeviceManager::sharedDeviceManager(); }
};

std::shared_ptr<InstrumentControl>& slot() {
    static std::shared_ptr<InstrumentControl> control;
    return control;
}

}  // namespace

std::shared_ptr<InstrumentControl> InstrumentControl::shared() {
    if (!slot()) slot() = std::make_shared<DeviceManagerControl>();
    return slot();
}

void InstrumentControl::setShared(std::shared_ptr<InstrumentControl> control) { slot() = std::move(control); }

}  // namespace qx
