#include "link/VNBTLEPeripheral.h"

namespace qx {

void VNBTLEPeripheral::readRSSI() {
    if (state_ == State::connected) source_->send(command::ReadSignalStrength{});
}

}  // namespace qx
