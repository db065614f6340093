#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>

#include "link/InstrumentSource.h"

namespace qx {

// One Bluetooth LE instrument found by scanning.
class VNBTLEPeripheral {
public:
    enum class State { disconnected, connecting, connected };

    explicit VNBTLEPeripheral(std::shared_ptr<InstrumentSource> source) : source_(std::move(source)) {}

    std::string name() const { return source_->name(); }
    std::string identifier() const { return source_->identifier(); }
    State state() const { return state_; }

    // Asks the connected instrument for the signal strength; the answer updates RSSI() and
    // reaches the data service's delegate. Nothing happens while not connected.
    void readRSSI();
    // The strength last read, in dBm; none before the first read.
    std::optional<int> RSSI() const { return rssi_; }

    const std::shared_ptr<InstrumentSource>& source() const { return source_; }

private:
    friend class VNBTLEManager;
    friend class VNBTLEDataService;

    std::shared_ptr<InstrumentSource> source_;
    State state_ = State::disconnected;
    std::optional<int> rssi_;
};

}  // namespace qx
