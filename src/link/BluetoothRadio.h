#pragma once

#include <memory>
#include <string>
#include <vector>

#include "link/InstrumentSource.h"

namespace qx {

// The air between this machine and the Bluetooth LE instruments: which instruments advertise
// now and whether the adapter is powered. The demo instrument advertises here; VNBTLEManager
// listens. Main thread only.
class BluetoothRadio {
public:
    class Listener {
    public:
        virtual ~Listener() = default;
        virtual void radioDidStartAdvertising(const std::shared_ptr<InstrumentSource>& source) = 0;
        virtual void radioDidStopAdvertising(const std::shared_ptr<InstrumentSource>& source) = 0;
        virtual void radioDidChangePower(bool poweredOn) = 0;
    };

    static BluetoothRadio& shared();
    static void resetShared();

    // An instrument comes into reach (or is switched on) and advertises its service.
    void advertise(std::shared_ptr<InstrumentSource> source);
    // It goes out of reach: an open link to it is lost.
    void withdraw(const std::shared_ptr<InstrumentSource>& source);
    bool isAdvertising(const std::string& identifier) const;
    std::shared_ptr<InstrumentSource> advertisedSource(const std::string& identifier) const;
    const std::vector<std::shared_ptr<InstrumentSource>>& advertising() const { return advertising_; }

    bool isPoweredOn() const { return poweredOn_; }
    void setPoweredOn(bool on);

    // The single listener (the Bluetooth LE central); a plain pointer that it clears when it goes.
    void setListener(Listener* listener) { listener_ = listener; }
    Listener* listener() const { return listener_; }

private:
    std::vector<std::shared_ptr<InstrumentSource>> advertising_;
    bool poweredOn_ = true;
    Listener* listener_ = nullptr;
};

}  // namespace qx
