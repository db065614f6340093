#include "link/BluetoothRadio.h"

#include <algorithm>

namespace qx {

namespace {
std::unique_ptr<BluetoothRadio>& slot() {
    static std::unique_ptr<BluetoothRadio> radio;
    return radio;
}
}  // namespace

BluetoothRadio& BluetoothRadio::shared() {
    if (!slot()) slot() = std::make_unique<BluetoothRadio>();
    return *slot();
}

void BluetoothRadio::resetShared() { slot().reset(); }

void BluetoothRadio::advertise(std::shared_ptr<InstrumentSource> source) {
    if (!source || isAdvertising(source->identifier())) return;
    advertising_.push_back(source);
    if (listener_ && poweredOn_) listener_->radioDidStartAdvertising(source);
}

void BluetoothRadio::withdraw(const std::shared_ptr<InstrumentSource>& source) {
    if (!source) return;
    const auto it = std::find(advertising_.begin(), advertising_.end(), source);
    if (it == advertising_.end()) return;
    advertising_.erase(it);
    if (listener_ && poweredOn_) listener_->radioDidStopAdvertising(source);
}

bool BluetoothRadio::isAdvertising(const std::string& identifier) const {
    return advertisedSource(identifier) != nullptr;
}

std::shared_ptr<InstrumentSource> BluetoothRadio::advertisedSource(const std::string& identifier) const {
    for (const auto& s : advertising_) {
        if (s->identifier() == identifier) return s;
    }
    return nullptr;
}

void BluetoothRadio::setPoweredOn(bool on) {
    if (poweredOn_ == on) return;
    poweredOn_ = on;
    if (listener_) listener_->radioDidChangePower(on);
}

}  // namespace qx
