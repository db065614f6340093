#include "link/AccessoryPort.h"

namespace qx {

namespace {
std::unique_ptr<AccessoryPort>& slot() {
    static std::unique_ptr<AccessoryPort> port;
    return port;
}
}  // namespace

AccessoryPort& AccessoryPort::shared() {
    if (!slot()) slot() = std::make_unique<AccessoryPort>();
    return *slot();
}

void AccessoryPort::resetShared() { slot().reset(); }

void AccessoryPort::plugIn(std::shared_ptr<InstrumentSource> source) {
    if (source_.get() && source_.get() != source) unplug();
    source_.set(std::move(source));
}

void AccessoryPort::unplug() { source_.set(nullptr); }

}  // namespace qx
