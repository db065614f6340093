#include "link/VNBTLEManager.h"

#include <algorithm>
#include <utility>

#include "platform/foundation/Log.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"

namespace qx {

namespace {
std::shared_ptr<VNBTLEManager>& slot() {
    static std::shared_ptr<VNBTLEManager> manager;
    return manager;
}
}  // namespace

VNBTLEManager& VNBTLEManager::sharedInstance() {
    if (!slot()) slot() = std::make_shared<VNBTLEManager>();
    return *slot();
}

void VNBTLEManager::resetShared() { slot().reset(); }

VNBTLEManager::VNBTLEManager() { BluetoothRadio::shared().setListener(this); }

VNBTLEManager::~VNBTLEManager() {
    auto& radio = BluetoothRadio::shared();
    if (radio.listener() == this) radio.setListener(nullptr);
    if (dataService_) dataService_->stop();
}

bool VNBTLEManager::isPoweredOn() const { return BluetoothRadio::shared().isPoweredOn(); }

std::optional<std::string> VNBTLEManager::pairedPeripheralIdentifier() const {
    return plat::UserDefaults::standard().optionalStringForKey(kPairedPeripheralUUIDKey);
}

void VNBTLEManager::rememberPaired(const std::string& identifier) {
    auto& defaults = plat::UserDefaults::standard();
    if (defaults.optionalStringForKey(kPairedPeripheralUUIDKey) == identifier) return;
    defaults.setString(kPairedPeripheralUUIDKey, identifier);
    defaults.synchronize();
}

void VNBTLEManager::forgetPaired() {
    auto& defaults = plat::UserDefaults::standard();
    if (!defaults.contains(kPairedPeripheralUUIDKey)) return;
    defaults.remove(kPairedPeripheralUUIDKey);
    defaults.synchronize();
}

void VNBTLEManager::refresh() {
    if (auto d = delegate_.lock()) d->managerDidRefresh();
}

void VNBTLEManager::setDataDelegate(std::weak_ptr<VNBTLEDataServiceDelegate> delegate) {
    dataDelegate_ = std::move(delegate);
    if (dataService_) dataService_->setDelegate(dataDelegate_);
}

std::shared_ptr<VNBTLEPeripheral> VNBTLEManager::discover(const std::shared_ptr<InstrumentSource>& source) {
    const auto id = source->identifier();
    auto it = std::find_if(found_.begin(), found_.end(), [&](const auto& p) { return p->identifier() == id; });
    if (it != found_.end()) {
        if ((*it)->state_ == VNBTLEPeripheral::State::disconnected) (*it)->source_ = source;
        return *it;
    }
    found_.push_back(std::make_shared<VNBTLEPeripheral>(source));
    refresh();
    return found_.back();
}

void VNBTLEManager::startScanning() {
    scanning_ = true;
    if (!isPoweredOn()) return;
    const auto paired = pairedPeripheralIdentifier();
    const auto advertising = BluetoothRadio::shared().advertising();  // discovery may change it
    for (const auto& source : advertising) {
        auto peripheral = discover(source);
        if (paired == peripheral->identifier() && !dataService_ && !connecting_) connectPeripheral(peripheral);
    }
}

void VNBTLEManager::stopScanning() { scanning_ = false; }

void VNBTLEManager::connectPeripheral(const std::shared_ptr<VNBTLEPeripheral>& peripheral) {
    if (!peripheral) return;
    if (dataService_ && dataService_->peripheral() == peripheral) return;
    if (dataService_) dropConnection(false);
    if (connecting_ && connecting_ != peripheral) connecting_->state_ = VNBTLEPeripheral::State::disconnected;
    connecting_ = peripheral;
    peripheral->state_ = VNBTLEPeripheral::State::connecting;
    rememberPaired(peripheral->identifier());
    connectWhenInReach(peripheral);
    refresh();
}

void VNBTLEManager::connectWhenInReach(const std::shared_ptr<VNBTLEPeripheral>& peripheral) {
    if (!isPoweredOn() || !BluetoothRadio::shared().isAdvertising(peripheral->identifier())) return;
    std::weak_ptr<VNBTLEManager> weak = shared_from_this();
    plat::RunLoop::main().post([weak, peripheral] {
        if (auto self = weak.lock()) self->completeConnection(peripheral);
    });
}

void VNBTLEManager::completeConnection(const std::shared_ptr<VNBTLEPeripheral>& peripheral) {
    if (connecting_ != peripheral || dataService_) return;  // cancelled or superseded meanwhile
    connecting_ = nullptr;
    peripheral->state_ = VNBTLEPeripheral::State::connected;
    dataService_ = std::make_shared<VNBTLEDataService>(peripheral);
    std::weak_ptr<VNBTLEManager> weak = shared_from_this();
    dataService_->start(dataDelegate_, [weak] {
        if (auto self = weak.lock()) self->dropConnection(true);
    });
    refresh();
}

void VNBTLEManager::dropConnection(bool lost) {
    auto service = std::exchange(dataService_, nullptr);
    if (!service) return;
    auto peripheral = service->peripheral();
    peripheral->state_ = VNBTLEPeripheral::State::disconnected;
    service->stop();
    if (auto d = dataDelegate_.lock()) d->dataServiceDidDisconnect(*service);
    if (lost) {
        plat::Log::line("VNBTLEManager: lost " + peripheral->name());
        // A paired instrument that went out of reach is connected again once it is back.
        if (pairedPeripheralIdentifier() == peripheral->identifier() && !connecting_) {
            connecting_ = peripheral;
            peripheral->state_ = VNBTLEPeripheral::State::connecting;
            connectWhenInReach(peripheral);
        }
    }
    refresh();
}

void VNBTLEManager::disconnectPeripheral(const std::shared_ptr<VNBTLEPeripheral>& peripheral) {
    forgetPaired();
    // Without a peripheral (nothing connected) a reconnection still waiting is what is cancelled.
    if (connecting_ && (!peripheral || connecting_ == peripheral)) {
        connecting_->state_ = VNBTLEPeripheral::State::disconnected;
        connecting_ = nullptr;
        refresh();
    }
    if (peripheral && dataService_ && dataService_->peripheral() == peripheral) dropConnection(false);
}

void VNBTLEManager::radioDidStartAdvertising(const std::shared_ptr<InstrumentSource>& source) {
    if (connecting_ && connecting_->identifier() == source->identifier()) {
        connecting_->source_ = source;
        connectWhenInReach(connecting_);
        return;
    }
    if (!scanning_) return;
    auto peripheral = discover(source);
    if (!dataService_ && !connecting_ && pairedPeripheralIdentifier() == peripheral->identifier()) {
        connectPeripheral(peripheral);
    }
}

void VNBTLEManager::radioDidStopAdvertising(const std::shared_ptr<InstrumentSource>& source) {
    if (dataService_ && dataService_->peripheral()->identifier() == source->identifier()) dropConnection(true);
}

void VNBTLEManager::radioDidChangePower(bool poweredOn) {
    if (!poweredOn) {
        dropConnection(true);
        if (auto d = delegate_.lock()) d->managerStatePoweredOff();
        return;
    }
    if (scanning_) startScanning();
    if (connecting_) connectWhenInReach(connecting_);
}

}  // namespace qx
