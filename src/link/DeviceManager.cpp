#include "link/DeviceManager.h"

#include <algorithm>
#include <charconv>
#include <utility>

#include "link/AccessoryPort.h"
#include "link/DeviceTypes.h"
#include "link/LocationFeed.h"
#include "link/MeasurementStoreAdapter.h"
#include "link/VNBTLEDataService.h"
#include "link/VNBTLEManager.h"
#include "model/Settings.h"
#include "platform/foundation/Log.h"
#include "platform/foundation/NotificationCenter.h"
#include "platform/foundation/RunLoop.h"
#include "store/CurrentReadingSource.h"

namespace qx {

namespace {

std::shared_ptr<DeviceManager>& slot() {
    static std::shared_ptr<DeviceManager> manager;
    return manager;
}

std::uint32_t serialNumberOf(const std::string& text) {
    std::uint32_t number = 0;
    std::from_chars(text.data(), text.data() + text.size(), number);
    return number;
}

}  // namespace

DeviceManager& DeviceManager::sharedDeviceManager() { return *sharedPointer(); }

std::shared_ptr<DeviceManager> DeviceManager::sharedPointer() {
    if (!slot()) {
        slot() = std::make_shared<DeviceManager>();
        slot()->attach();
    }
    return slot();
}

void DeviceManager::resetShared() { slot().reset(); }

DeviceManager::DeviceManager() = default;

DeviceManager::~DeviceManager() {
    if (accessory_) accessory_->close();
}

// Listens to the accessory port and the position fixes, stores into the measurement store and
// tells the store what the instrument reads now; needs the object to be owned already.
void DeviceManager::attach() {
    std::weak_ptr<DeviceManager> weak = shared_from_this();
    store_ = std::make_shared<MeasurementStoreAdapter>();
    CurrentReadingSource::setProvider([weak] {
        auto self = weak.lock();
        return self ? self->currentReading() : CurrentReading{};
    });
    auto& port = AccessoryPort::shared();
    accessorySubscription_ = port.observe([weak](const std::shared_ptr<InstrumentSource>& source) {
        if (auto self = weak.lock()) self->accessoryChanged(source);
    });
    locationSubscription_ = LocationFeed::shared().subscribe([weak](const plat::Location& fix) {
        if (auto self = weak.lock()) self->applyFix(fix);
    });
    if (port.source()) accessoryChanged(port.source());
}

CurrentReading DeviceManager::currentReading() const {
    CurrentReading r;
    // The dose stays known after a loss, so that a track ended then still gets its dose.
    r.dose = item_.de.value();
    if (!isConnected()) return r;
    r.deviceType = deviceType_;
    r.deviceName = modelName();
    r.deviceSerial = serialNumberString_.get();
    r.accumulation = item_.accumulationTimeString();
    // A point stored by hand takes the reading and the position of the moment it was asked for.
    r.doseRate = item_.der.value();
    r.variation = item_.variation;
    r.location = location_;
    return r;
}

std::string DeviceManager::modelName() const { return DeviceTypes::modelName(deviceType_); }

// ---- connection ----

void DeviceManager::accessoryChanged(const std::shared_ptr<InstrumentSource>& source) {
    if (source == accessory_) return;
    if (auto old = std::exchange(accessory_, nullptr)) {
        old->close();
        lost(Link::accessory);
    }
    if (!source) return;
    accessory_ = source;
    std::weak_ptr<DeviceManager> weak = shared_from_this();
    const InstrumentSource* raw = source.get();
    source->open([weak, raw](const InstrumentEvent& event) {
        auto self = weak.lock();
        if (self && self->accessory_.get() == raw) self->handleAccessoryEvent(event);
    });
}

void DeviceManager::handleAccessoryEvent(const InstrumentEvent& event) {
    std::visit(
        [this](const auto& e) {
            using E = std::decay_t<decltype(e)>;
            if constexpr (std::is_same_v<E, event::Connected>) {
                connected(Link::accessory, accessory_->deviceType());
                enqueue(command::ReadParams{});
            } else if constexpr (std::is_same_v<E, event::Lost>) {
                // The session died: the port forgets the instrument, so plugging it in again
                // opens a new session.
                auto old = std::exchange(accessory_, nullptr);
                old->close();
                lost(Link::accessory);
                if (AccessoryPort::shared().source() == old) AccessoryPort::shared().unplug();
            } else if (link_ != Link::accessory) {
                return;
            } else if constexpr (std::is_same_v<E, event::Reading>) {
                applyReading(e.reading);
            } else if constexpr (std::is_same_v<E, event::Battery>) {
                batteryLevel_.set(e.percent);
            } else if constexpr (std::is_same_v<E, event::Serial>) {
                applySerial(e.number, e.text);
            } else if constexpr (std::is_same_v<E, event::Version>) {
                applyVersion(e.text);
            } else if constexpr (std::is_same_v<E, event::Params>) {
                params_ = e.params;
                paramsDirty_ = false;
            } else if constexpr (std::is_same_v<E, event::History>) {
                if (!historyPending_) return;
                history_.insert(history_.end(), e.items.begin(), e.items.end());
                if (e.finished) historyFinished();
            }
        },
        event);
}

void DeviceManager::connected(Link link, unsigned type) {
    if (link_ != Link::none && link_ != link) lost(link_);
    link_ = link;
    deviceType_ = type;
    hasReading_ = false;
    previousFix_.reset();
    params_.reset();
    paramsDirty_ = false;
    historyPending_ = false;
    history_.clear();
    autosave_.start(plat::Date::now());
    plat::Log::line("DeviceManager: " + modelName() + " connected");
    plat::NotificationCenter::defaultCenter().post(kDevicePresentNotification, modelName(), this);
}

void DeviceManager::lost(Link link) {
    if (link_ != link || link_ == Link::none) return;
    plat::Log::line("DeviceManager: " + modelName() + " lost");
    link_ = Link::none;
    deviceType_ = 0;
    previousFix_.reset();
    queue_.clear();
    params_.reset();
    paramsDirty_ = false;
    if (historyPending_) plat::Log::line("DeviceManager: history read broken off; the instrument keeps it");
    historyPending_ = false;
    history_.clear();
    plat::NotificationCenter::defaultCenter().post(kDevicePresentNotification, std::string(), this);
}

// ---- readings ----

void DeviceManager::applyReading(const InstrumentReading& r) {
    const bool modeChanged = !hasReading_ || item_.systemMode != r.systemMode;
    hasReading_ = true;
    item_.der.setValue(r.der);
    item_.de.setValue(r.de);
    item_.countRate = r.countRate;
    item_.variation = r.variation;
    item_.accumulationTime = r.accumulationTime;
    item_.systemMode = r.systemMode;
    item_.derAlarm = r.derAlarm;
    item_.deAlarm = r.deAlarm;
    item_.searchAlarm = r.searchAlarm;
    item_.overload = r.overload;
    item_.date = plat::Date::now();
    item_.location = previousFix_;
    if (auto d = delegate_.lock()) {
        d->valueUpdate();
        if (modeChanged) d->stateUpdate();
    }
    autosave();
}

void DeviceManager::applySerial(std::uint32_t number, const std::string& text) {
    item_.serialNumber = number;
    item_.serialNumberString = text;
    serialNumberString_.set(text);
}

void DeviceManager::applyVersion(const std::string& text) {
    version_ = text;
    plat::NotificationCenter::defaultCenter().post(kVersionReceivedNotification, text, this);
}

void DeviceManager::applyFix(const plat::Location& fix) {
    if (!isConnected()) return;  // positions are followed only while an instrument is connected
    location_ = fix;
    const auto old = std::exchange(previousFix_, fix);
    if (old) autosave_.addDistance(fix.distanceFromLocation(*old));
    if (auto d = trackDelegate_.lock()) d->didUpdateLocation(fix, old);
}

// ---- storing ----

InstrumentIdentity DeviceManager::identity() const {
    return {deviceType_, modelName(), serialNumberString_.get()};
}

bool DeviceManager::thresholdExceeded() const {
    auto& s = Settings::sharedSettings();
    return item_.der.value() > s.DERthreshold().firstThreshold->value() ||
           item_.de.value() > s.DEthreshold().firstThreshold->value();
}

void DeviceManager::autosave() {
    const auto now = plat::Date::now();
    auto& settings = Settings::sharedSettings();
    const bool recording = store_ && store_->isRecordingTrack();
    if (autosave_.evaluate(now, item_.der.value(), recording, settings) == AutosavePolicy::none || !store_) return;

    StoredReading reading;
    reading.der = item_.der.value();
    reading.de = item_.de.value();
    reading.variation = item_.variation;
    reading.accumulation = item_.accumulationTimeString();
    reading.instrument = identity();
    reading.location = item_.location;
    reading.date = now;
    store_->storeAutosavedWaypoint(reading);
    autosave_.noteSaved(now);

    // The radiation-reporting service gets every automatic waypoint in upload mode 1, and those
    // above a threshold in mode 2.
    const unsigned mode = settings.RRUploadMode();
    if (submitter_ && (mode == 1 || (mode == 2 && thresholdExceeded()))) submitter_(reading.der, reading.location, now);
}

void DeviceManager::loadHistory() {
    plat::Log::line("DeviceManager loadHistory...");
    if (deviceType_ != 2) return;
    if (historyPending_) return;  // one read at a time, or the records would be stored twice
    historyPending_ = true;
    history_.clear();
    enqueue(command::ReadHistory{});
}

void DeviceManager::historyFinished() {
    auto items = std::exchange(history_, {});
    historyPending_ = false;
    plat::Log::line("DeviceManager: history of " + std::to_string(items.size()) + " records read");
    if (items.empty()) return;
    if (!store_) {
        plat::Log::line("DeviceManager: no store for the history; the instrument keeps it");
        return;
    }
    // The instrument's copy is cleared only once the store has the records.
    std::weak_ptr<DeviceManager> weak = shared_from_this();
    const Link link = link_;
    store_->storeHistory(items, identity(), [weak, link](bool stored) {
        auto self = weak.lock();
        if (!self || !stored || !Settings::sharedSettings().clearHistory() || self->link_ != link) return;
        if (link == Link::accessory) {
            self->enqueue(command::ClearHistory{});
        } else if (auto service = self->bluetoothService()) {
            service->clearHistory();
        }
    });
}

// ---- Bluetooth LE reports ----

void DeviceManager::dataServiceDidConnect(VNBTLEDataService& service) {
    const unsigned type = service.deviceType();
    if (type == DeviceTypes::kNone) return;  // the model number will tell
    connected(Link::bluetooth, type);
}

void DeviceManager::dataServiceDidDisconnect(VNBTLEDataService&) { lost(Link::bluetooth); }

void DeviceManager::dataServiceDidUpdateStatus(VNBTLEDataService&, unsigned level) {
    if (link_ == Link::bluetooth) batteryLevel_.set(level);
}

void DeviceManager::dataServiceDidReceiveReading(VNBTLEDataService&, const InstrumentReading& reading) {
    if (link_ == Link::bluetooth) applyReading(reading);
}

void DeviceManager::dataServiceDidReceiveHistoryItem(VNBTLEDataService&, const DetectorHistoryItem& item) {
    if (link_ == Link::bluetooth && historyPending_) history_.push_back(item);
}

void DeviceManager::dataServiceDidFinishHistory(VNBTLEDataService&) {
    if (link_ == Link::bluetooth && historyPending_) historyFinished();
}

void DeviceManager::dataServiceDidUpdateDeviceInformation(VNBTLEDataService& service) {
    if (link_ != Link::bluetooth) {
        const unsigned type = service.deviceType();
        if (type == DeviceTypes::kNone) return;
        connected(Link::bluetooth, type);
    }
    applySerial(serialNumberOf(service.serialNumber()), service.serialNumber());
    if (!service.firmwareRevision().empty()) applyVersion(service.firmwareRevision());
}

std::shared_ptr<VNBTLEDataService> DeviceManager::bluetoothService() const {
    if (link_ != Link::bluetooth) return nullptr;
    return VNBTLEManager::sharedInstance().dataService();
}

// ---- writes to the instrument ----

void DeviceManager::enqueue(InstrumentCommand command) {
    if (link_ != Link::accessory || !accessory_) return;  // nothing to send it to
    queue_.push_back(std::move(command));
    scheduleFlush();
}

void DeviceManager::scheduleFlush() {
    if (flushPosted_ || link_ != Link::accessory) return;
    flushPosted_ = true;
    std::weak_ptr<DeviceManager> weak = shared_from_this();
    plat::RunLoop::main().post([weak] {
        if (auto self = weak.lock()) self->flushQueue();
    });
}

void DeviceManager::flushQueue() {
    flushPosted_ = false;
    if (link_ != Link::accessory || !accessory_) {
        queue_.clear();
        return;
    }
    if (paramsDirty_ && params_) {
        const bool queued = std::any_of(queue_.begin(), queue_.end(), [](const InstrumentCommand& c) {
            return std::holds_alternative<command::WriteParams>(c);
        });
        if (!queued) queue_.push_back(command::WriteParams{*params_});
        paramsDirty_ = false;
    }
    while (!queue_.empty() && accessory_) {
        auto command = std::move(queue_.front());
        queue_.pop_front();
        // A block write sends the block as it is now, with every change made since it was queued.
        if (auto* write = std::get_if<command::WriteParams>(&command); write && params_) write->params = *params_;
        accessory_->send(command);
    }
}

bool DeviceManager::parameterBlockReady(const char* operation) const {
    if (params_) return true;
    // Writing a block never read would overwrite the instrument's other settings with zeros.
    plat::Log::line(std::string("DeviceManager ") + operation + ": the parameter block has not been read yet");
    return false;
}

void DeviceManager::saveDetectorThreshold(int index, float value) {
    if (index < 0 || index > 3) {
        plat::Log::line("DeviceManager saveDetectorThreshold: no threshold " + std::to_string(index));
        return;
    }
    if (DeviceTypes::isBluetooth(deviceType_)) {
        if (auto service = bluetoothService()) service->writeThreshold(index, value);
        return;
    }
    if (deviceType_ == 1 && index == 1) {
        Settings::sharedSettings().DERthreshold().secondThreshold->setValue(value);
        return;
    }
    if (!DeviceTypes::isAccessory(deviceType_) || !parameterBlockReady("saveDetectorThreshold")) return;
    params_->thresholds[static_cast<std::size_t>(index)] =
        static_cast<float>(value * DeviceTypes::parameterBlockScale(deviceType_));
    enqueue(command::WriteParams{*params_});
}

void DeviceManager::saveDeviceParams() {
    if (!DeviceTypes::isAccessory(deviceType_) || !parameterBlockReady("saveDeviceParams")) return;
    paramsDirty_ = false;
    enqueue(command::WriteParams{*params_});
}

void DeviceManager::setCoeffN(float n) {
    if (!params_) return;
    params_->coeffN = n;
    paramsDirty_ = true;  // written on the next turn of the queue
    scheduleFlush();
}

void DeviceManager::deviceFactoryDefaults() {
    if (auto service = bluetoothService()) {
        service->factoryDefaults();
        return;
    }
    enqueue(command::FactoryDefaults{});
    // Read the block again, so that a later write does not bring the old settings back.
    enqueue(command::ReadParams{});
}

void DeviceManager::resetStat() {
    if (DeviceTypes::resetsDoseOverBluetooth(deviceType_)) {
        if (auto service = bluetoothService()) service->resetDose();
        return;
    }
    if (link_ != Link::accessory) {
        plat::Log::line("DeviceManager resetStat: " + modelName() + " has no dose reset here");
        return;
    }
    enqueue(command::ResetDose{});
}

void DeviceManager::saveDetectorHistPeriod(double minutes) {
    if (auto service = bluetoothService()) {
        service->writeHistoryPeriod(minutes);
        return;
    }
    enqueue(command::WriteHistoryPeriod{minutes});
}

void DeviceManager::setDetectorJobMode(unsigned mode) {
    if (auto service = bluetoothService()) {
        service->writeJobMode(mode);
        return;
    }
    enqueue(command::WriteJobMode{mode});
}

}  // namespace qx
