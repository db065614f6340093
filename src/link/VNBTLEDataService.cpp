#include "link/VNBTLEDataService.h"

#include <utility>

#include "link/DeviceTypes.h"
#include "platform/foundation/Log.h"

namespace qx {

VNBTLEDataService::VNBTLEDataService(std::shared_ptr<VNBTLEPeripheral> peripheral)
    : peripheral_(std::move(peripheral)) {}

VNBTLEDataService::~VNBTLEDataService() {
    if (peripheral_->source_->isOpen()) peripheral_->source_->close();
}

void VNBTLEDataService::start(std::weak_ptr<VNBTLEDataServiceDelegate> delegate, std::function<void()> onLinkDown) {
    delegate_ = std::move(delegate);
    onLinkDown_ = std::move(onLinkDown);
    std::weak_ptr<VNBTLEDataService> weak = shared_from_this();
    peripheral_->source_->open([weak](const InstrumentEvent& event) {
        if (auto self = weak.lock()) self->handle(event);
    });
}

void VNBTLEDataService::stop() {
    ready_ = false;
    onLinkDown_ = nullptr;
    peripheral_->source_->close();
}

unsigned VNBTLEDataService::deviceType() const {
    const unsigned byName = DeviceTypes::typeForModelName(DeviceTypes::modelPartOfName(peripheral_->name()));
    return byName != DeviceTypes::kNone ? byName : DeviceTypes::typeForModelName(info_.modelNumber);
}

template <class F>
void VNBTLEDataService::tellDelegate(F&& f) {
    if (auto d = delegate_.lock()) f(*d);
}

void VNBTLEDataService::handle(const InstrumentEvent& event) {
    auto self = shared_from_this();  // a delegate may drop the service while we report
    std::visit(
        [this](const auto& e) {
            using E = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<E, event::Connected>) {
                ready_ = true;
                send(command::ReadDeviceInformation{});
                // The strength is known from the start, as a scan reports it with every find:
                // a page opened later shows it at once.
                send(command::ReadSignalStrength{});
                tellDelegate([this](auto& d) { d.dataServiceDidConnect(*this); });
            } else if constexpr (std::is_same_v<E, event::Lost>) {
                ready_ = false;
                if (auto down = std::exchange(onLinkDown_, nullptr)) down();
            } else if constexpr (std::is_same_v<E, event::Reading>) {
                tellDelegate([&](auto& d) { d.dataServiceDidReceiveReading(*this, e.reading); });
            } else if constexpr (std::is_same_v<E, event::Battery>) {
                tellDelegate([&](auto& d) { d.dataServiceDidUpdateStatus(*this, e.percent); });
            } else if constexpr (std::is_same_v<E, event::Information>) {
                info_ = e.info;
                tellDelegate([this](auto& d) { d.dataServiceDidUpdateDeviceInformation(*this); });
            } else if constexpr (std::is_same_v<E, event::Thresholds>) {
                thresholds_ = e.values;
                tellDelegate([&](auto& d) { d.dataServiceDidReceiveSettings(*this, e.values); });
            } else if constexpr (std::is_same_v<E, event::History>) {
                for (const auto& item : e.items) {
                    tellDelegate([&](auto& d) { d.dataServiceDidReceiveHistoryItem(*this, item); });
                }
                if (e.finished) tellDelegate([this](auto& d) { d.dataServiceDidFinishHistory(*this); });
            } else if constexpr (std::is_same_v<E, event::DoseReset>) {
                tellDelegate([this](auto& d) { d.dataServiceDidReset(*this); });
            } else if constexpr (std::is_same_v<E, event::SignalStrength>) {
                peripheral_->rssi_ = e.rssi;
                tellDelegate([&](auto& d) { d.dataServiceDidReadRSSI(*this, e.rssi); });
            } else {
                // Serial, version and parameter blocks belong to the accessory session.
                plat::Log::line("VNBTLEDataService: ignored an accessory-session record");
            }
        },
        event);
}

void VNBTLEDataService::send(const InstrumentCommand& command) {
    if (!ready_) return;
    peripheral_->source_->send(command);
}

void VNBTLEDataService::writeThreshold(int index, float value) {
    if (index < 0 || index > 3) {
        plat::Log::line("VNBTLEDataService writeThreshold: no threshold " + std::to_string(index));
        return;
    }
    send(command::WriteThreshold{index, value});
}

void VNBTLEDataService::resetDose() { send(command::ResetDose{}); }
void VNBTLEDataService::factoryDefaults() { send(command::FactoryDefaults{}); }
void VNBTLEDataService::writeHistoryPeriod(double minutes) { send(command::WriteHistoryPeriod{minutes}); }
void VNBTLEDataService::writeJobMode(unsigned mode) { send(command::WriteJobMode{mode}); }
void VNBTLEDataService::readHistory() { send(command::ReadHistory{}); }
void VNBTLEDataService::clearHistory() { send(command::ClearHistory{}); }

}  // namespace qx
