#pragma once

#include <memory>

#include "link/DeviceManagerDelegate.h"

namespace qx {

// What the dashboard reads of the instrument link: the current dose rate and dose, the
// connected model, and the one receiver of new readings.
class LiveReadings {
public:
    virtual ~LiveReadings() = default;
    virtual double doseRate() const = 0;  // µSv/h
    virtual double dose() const = 0;      // µSv
    virtual unsigned deviceType() const = 0;
    // Makes `delegate` the single receiver of valueUpdate.
    virtual void setDelegate(std::weak_ptr<DeviceManagerDelegate> delegate) = 0;

    // The shared device manager's readings.
    static std::shared_ptr<LiveReadings> deviceManager();
};

}  // namespace qx
