#pragma once

#include <optional>

#include "link/Location.h"

namespace qx {

// The live screen that shows the current reading; both operations are optional.
class DeviceManagerDelegate {
public:
    virtual ~DeviceManagerDelegate() = default;
    // A new reading is available from DeviceManager's getters.
    virtual void valueUpdate() {}
    // The instrument's system mode changed.
    virtual void stateUpdate() {}
};

// The receiver of position fixes while an instrument is connected (the Track tab).
class DeviceManagerLocationDelegate {
public:
    virtual ~DeviceManagerLocationDelegate() = default;
    // `oldLocation` is the fix before this one on the same connection; the first fix after an
    // instrument connected has none.
    virtual void didUpdateLocation(const Location& newLocation, const std::optional<Location>& oldLocation) = 0;
};

}  // namespace qx
