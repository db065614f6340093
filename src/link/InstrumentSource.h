#pragma once

#include <functional>
#include <string>

#include "link/InstrumentMessages.h"

namespace qx {

// One instrument as the link sees it: something that can be opened, reports events and takes
// commands. The demo instrument is one; a driver for a real instrument is another. Everything
// above (the accessory session, the Bluetooth LE data service, DeviceManager) talks only to this.
class InstrumentSource {
public:
    using Listener = std::function<void(const InstrumentEvent&)>;

    virtual ~InstrumentSource() = default;

    virtual unsigned deviceType() const = 0;
    // The name the instrument announces ("VN2340A$01234" over Bluetooth LE).
    virtual std::string name() const = 0;
    // A stable identifier (the peripheral's UUID text over Bluetooth LE).
    virtual std::string identifier() const = 0;

    // Starts the link: events reach `listener` on the main run loop, beginning with Connected,
    // until close() or a Lost event. Opening an open source replaces its listener.
    virtual void open(Listener listener) = 0;
    virtual void close() = 0;
    virtual bool isOpen() const = 0;
    // Hands one command to the instrument; ignored while closed.
    virtual void send(const InstrumentCommand& command) = 0;
};

}  // namespace qx
