#include "dashboard/LiveReadings.h"

#include "link/DeviceManager.h"

namespace qx {

namespace {

class DeviceManagerReadings : public LiveReadings {
public:
    double doseRate() const override { return DeviceManager::sharedDeviceManager().getDER().value(); }
    double dose() const override { return DeviceManager::sharedDeviceManager().getDE().value(); }
    unsigned deviceType() const override { return DeviceManager::sharedDeviceManager().deviceType(); }
    void setDelegate(std::weak_ptr<DeviceManagerDelegate> delegate) override {
        DeviceManager::sharedDeviceManager().setDelegate(std::move(delegate));
    }
};

}  // namespace

std::shared_ptr<LiveReadings> LiveReadings::deviceManager() { return std::make_shared<DeviceManagerReadings>(); }

}  // namespace qx
