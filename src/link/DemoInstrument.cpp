#include "link/DemoInstrument.h"

#include <algorithm>
#include <cinttypes>
#include <cmath>
#include <cstdio>
#include <utility>

#include "link/DeviceTypes.h"
#include "link/LocationFeed.h"
#include "platform/foundation/RunLoop.h"

namespace qx {

namespace {
constexpr double kBackgroundCountRate = 6;  // counts per second far from any source
constexpr double kAccumulationCap = 60;     // seconds the dose rate is averaged over at most
constexpr float kFactoryCoeffN = 5.3f;
constexpr double kFactoryHistoryPeriod = 10;  // minutes
constexpr int kSeededHours = 48;
}  // namespace

std::shared_ptr<DemoInstrument> DemoInstrument::make(unsigned deviceType, std::shared_ptr<DemoScript> script,
                                                     std::uint32_t serial) {
    return std::make_shared<DemoInstrument>(deviceType, std::move(script), serial);
}

DemoInstrument::DemoInstrument(unsigned deviceType, std::shared_ptr<DemoScript> script, std::uint32_t serial)
    : type_(deviceType),
      script_(std::move(script)),
      serial_(serial != 0 ? serial : 20000 + deviceType * 101),
      origin_(plat::Date::now()),
      batteryClock_(origin_) {
    restoreFactorySettings();
    if (type_ == 2) seedHistory();
}

DemoInstrument::~DemoInstrument() {
    if (playTimer_) playTimer_->invalidate();
}

std::string DemoInstrument::name() const {
    const auto model = DeviceTypes::modelName(type_);
    return DeviceTypes::isBluetooth(type_) ? model + "$" + serialText() : model;
}

std::string DemoInstrument::identifier() const {
    char text[64];
    const std::uint64_t tail = (static_cast<std::uint64_t>(type_) << 32 | serial_) & 0xFFFFFFFFFFFFULL;
    std::snprintf(text, sizeof text, "DE40A000-0000-4000-8000-%012" PRIX64, tail);
    return text;
}

std::string DemoInstrument::version() const { return "2.0." + std::to_string(type_); }

void DemoInstrument::restoreFactorySettings() {
    thresholds_ = DeviceTypes::factoryThresholds(type_);
    coeffN_ = kFactoryCoeffN;
    historyPeriod_ = kFactoryHistoryPeriod;
    jobMode_ = 0;
}

void DemoInstrument::open(Listener listener) {
    listener_ = std::move(listener);
    if (open_) return;
    open_ = true;
    ++generation_;
    const auto now = plat::Date::now();
    accumulationStart_ = now;
    nextHistoryAt_ = now.addingTimeInterval(historyPeriod_ * 60);
    emitLater(event::Connected{});
    if (DeviceTypes::isAccessory(type_)) {
        emitLater(event::Serial{serial_, serialText()});
        emitLater(event::Version{version()});
    } else {
        emitLater(event::Thresholds{thresholds_});
    }
    if (DeviceTypes::reportsBattery(type_)) emitLater(event::Battery{battery_});
    nextIndex_ = firstIndexAtOrAfter(now.timeIntervalSince(origin_));
    scheduleNext();
}

void DemoInstrument::close() {
    open_ = false;
    ++generation_;
    listener_ = nullptr;
    if (playTimer_) playTimer_->invalidate();
    playTimer_.reset();
}

void DemoInstrument::emitLater(InstrumentEvent event) {
    std::weak_ptr<DemoInstrument> weak = shared_from_this();
    plat::RunLoop::main().post([weak, generation = generation_, event = std::move(event)] {
        auto self = weak.lock();
        if (self && self->generation_ == generation) self->emitNow(event);
    });
}

void DemoInstrument::emitNow(const InstrumentEvent& event) {
    if (!open_ || !listener_) return;
    auto listener = listener_;  // the listener may close the link while it hears the event
    listener(event);
}

std::size_t DemoInstrument::firstIndexAtOrAfter(double elapsed) const {
    std::size_t hi = 1;
    while (script_->sample(hi - 1).offset < elapsed) hi *= 2;
    std::size_t lo = 0;
    hi -= 1;  // sample(hi) is at or after `elapsed`
    while (lo < hi) {
        const auto mid = lo + (hi - lo) / 2;
        if (script_->sample(mid).offset < elapsed) lo = mid + 1; else hi = mid;
    }
    return lo;
}

void DemoInstrument::scheduleNext() {
    const auto at = origin_.addingTimeInterval(script_->sample(nextIndex_).offset);
    std::weak_ptr<DemoInstrument> weak = shared_from_this();
    playTimer_ = plat::Timer::scheduled(std::max(0.0, at.timeIntervalSinceNow()), false, [weak](plat::Timer&) {
        if (auto self = weak.lock()) self->playNext();
    });
}

void DemoInstrument::playNext() {
    if (!open_) return;
    auto self = shared_from_this();
    const auto now = plat::Date::now();
    const auto sample = script_->sample(nextIndex_++);
    advanceDose(sample, now);
    drainBattery(now);
    const auto reading = readingFor(sample, now);
    last_ = reading;
    if (sample.fix) {
        auto fix = *sample.fix;
        fix.timestamp = now;
        LocationFeed::shared().deliver(fix);
    }
    emitNow(event::Reading{reading});
    recordHistory(now);
    if (open_) scheduleNext();
}

void DemoInstrument::advanceDose(const DemoSample& sample, plat::Date now) {
    const double dt = lastPlayed_ ? now.timeIntervalSince(*lastPlayed_) : 0;
    if (sample.dose && lastScriptDose_ && *sample.dose >= *lastScriptDose_) {
        dose_ += *sample.dose - *lastScriptDose_;
    } else {
        dose_ += sample.der * dt / 3600.0;
    }
    lastScriptDose_ = sample.dose;
    lastPlayed_ = now;
}

void DemoInstrument::drainBattery(plat::Date now) {
    bool changed = false;
    while (now.timeIntervalSince(batteryClock_) >= kBatteryDrainInterval) {
        batteryClock_ = batteryClock_.addingTimeInterval(kBatteryDrainInterval);
        if (battery_ > kLowestBattery) {
            --battery_;
            changed = true;
        }
    }
    if (changed && DeviceTypes::reportsBattery(type_)) emitNow(event::Battery{battery_});
}

InstrumentReading DemoInstrument::readingFor(const DemoSample& sample, plat::Date now) {
    const NextReading next = next_.value_or(NextReading{});
    next_.reset();
    const double seconds = std::min(kAccumulationCap, now.timeIntervalSince(accumulationStart_));
    InstrumentReading r;
    r.der = next.der.value_or(sample.der);
    r.de = next.de.value_or(dose_);
    r.countRate = next.countRate.value_or(r.der * kSensitivity);
    r.accumulationTime = next.accumulationTime.value_or(seconds / 60.0);
    r.variation = next.variation.value_or(100.0 / std::sqrt(1.0 + r.countRate * std::max(seconds, 1.0)));
    r.systemMode = systemMode_;
    r.derAlarm = r.der > thresholds_[0];
    r.deAlarm = r.de > thresholds_[2];
    r.searchAlarm = r.countRate > kBackgroundCountRate + coeffN_ * std::sqrt(kBackgroundCountRate);
    r.overload = next.overload.value_or(false);
    return r;
}

void DemoInstrument::setNextReading(const NextReading& next) {
    if (next.systemMode) systemMode_ = *next.systemMode;
    if (next.battery) {
        battery_ = std::min(100u, *next.battery);
        batteryClock_ = plat::Date::now();
        if (DeviceTypes::reportsBattery(type_)) emitLater(event::Battery{battery_});
    }
    next_ = next;
}

void DemoInstrument::recordHistory(plat::Date now) {
    if (!nextHistoryAt_ || !last_) return;
    while (now >= *nextHistoryAt_) {
        appendHistory(DetectorHistoryItem::value(DetectorHistoryItem::doseRateKind, static_cast<float>(last_->der),
                                                 *nextHistoryAt_));
        appendHistory(DetectorHistoryItem::value(DetectorHistoryItem::doseKind, static_cast<float>(dose_),
                                                 *nextHistoryAt_));
        *nextHistoryAt_ = nextHistoryAt_->addingTimeInterval(historyPeriod_ * 60);
    }
}

void DemoInstrument::appendHistory(const DetectorHistoryItem& item) {
    if (history_.size() >= kHistoryCapacity) {
        if (jobMode_ == 1) return;  // linear: a full memory stops recording
        history_.pop_front();       // cyclic: the oldest record makes room
    }
    history_.push_back(item);
}

void DemoInstrument::seedHistory() {
    const double lastHour = std::floor(origin_.timeIntervalSince1970() / 3600.0) * 3600.0;
    for (int h = kSeededHours - 1; h >= 0; --h) {
        const plat::Date at(lastHour - h * 3600.0);
        const double der = 0.1 + 0.04 * std::sin(h / 3.0) + (h >= 20 && h < 23 ? 0.5 : 0.0);
        dose_ += der;  // one hour at that rate
        appendHistory(DetectorHistoryItem::value(DetectorHistoryItem::doseRateKind, static_cast<float>(der), at));
        appendHistory(DetectorHistoryItem::value(DetectorHistoryItem::doseKind, static_cast<float>(dose_), at));
    }
}

void DemoInstrument::sendHistory() {
    event::History part;
    for (const auto& item : history_) {
        part.items.push_back(item);
        if (part.items.size() == kHistoryChunk) emitLater(std::exchange(part, event::History{}));
    }
    part.finished = true;
    emitLater(std::move(part));
}

void DemoInstrument::send(const InstrumentCommand& command) {
    if (!open_) return;
    const double scale = DeviceTypes::parameterBlockScale(type_);
    std::visit(
        [&](const auto& c) {
            using C = std::decay_t<decltype(c)>;
            if constexpr (std::is_same_v<C, command::ReadParams>) {
                DeviceParams p;
                for (std::size_t i = 0; i < 4; ++i) p.thresholds[i] = static_cast<float>(thresholds_[i] * scale);
                p.coeffN = coeffN_;
                emitLater(event::Params{p});
            } else if constexpr (std::is_same_v<C, command::WriteParams>) {
                for (std::size_t i = 0; i < 4; ++i) {
                    thresholds_[i] = static_cast<float>(c.params.thresholds[i] / scale);
                }
                coeffN_ = c.params.coeffN;
            } else if constexpr (std::is_same_v<C, command::WriteThreshold>) {
                if (c.index < 0 || c.index > 3) return;
                thresholds_[static_cast<std::size_t>(c.index)] = c.value;
                if (DeviceTypes::isBluetooth(type_)) emitLater(event::Thresholds{thresholds_});
            } else if constexpr (std::is_same_v<C, command::ResetDose>) {
                dose_ = 0;
                accumulationStart_ = plat::Date::now();
                emitLater(event::DoseReset{});
            } else if constexpr (std::is_same_v<C, command::FactoryDefaults>) {
                restoreFactorySettings();
                if (DeviceTypes::isBluetooth(type_)) emitLater(event::Thresholds{thresholds_});
            } else if constexpr (std::is_same_v<C, command::ReadHistory>) {
                sendHistory();
            } else if constexpr (std::is_same_v<C, command::ClearHistory>) {
                history_.clear();
            } else if constexpr (std::is_same_v<C, command::WriteHistoryPeriod>) {
                if (!(c.minutes > 0)) return;
                historyPeriod_ = c.minutes;
                nextHistoryAt_ = plat::Date::now().addingTimeInterval(historyPeriod_ * 60);
            } else if constexpr (std::is_same_v<C, command::WriteJobMode>) {
                if (c.mode <= 1) jobMode_ = c.mode;
            } else if constexpr (std::is_same_v<C, command::ReadDeviceInformation>) {
                emitLater(event::Information{{"Vennorlabs", DeviceTypes::modelName(type_), serialText(), "B",
                                              version()}});
            } else if constexpr (std::is_same_v<C, command::ReadSignalStrength>) {
                emitLater(event::SignalStrength{kSignalStrength});
            }
        },
        command);
}

}  // namespace qx
