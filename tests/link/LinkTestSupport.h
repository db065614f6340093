#pragma once

#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "TestEnvironment.h"
#include "link/AccessoryPort.h"
#include "link/BluetoothRadio.h"
#include "link/DeviceManager.h"
#include "link/LinkLauncher.h"
#include "link/LocationFeed.h"
#include "link/ReadingStore.h"
#include "link/VNBTLEManager.h"
#include "model/Settings.h"
#include "platform/foundation/NotificationCenter.h"

namespace linktest {

// The values of one alternative in a list of variants (events or commands).
template <class T, class V>
std::vector<T> alternativesOf(const std::vector<V>& all) {
    std::vector<T> out;
    for (const auto& v : all) {
        if (const auto* x = std::get_if<T>(&v)) out.push_back(*x);
    }
    return out;
}

// Switches off every automatic waypoint: tests turn on what they look at.
inline void allAutosaveTriggersOff(qx::Settings& s) {
    s.setAutoSave(false);
    s.setTrackTimeOn(false);
    s.setTrackDistanceOn(false);
    s.setTrackFirstTreshOn(false);
    s.setTrackSecondTreshOn(false);
}

// An instrument driven by the test: it records the commands it is sent and reports what the
// test tells it to.
class ScriptedSource : public qx::InstrumentSource {
public:
    explicit ScriptedSource(unsigned type, std::string name = {}, std::string id = "SCRIPTED-1")
        : type_(type), name_(std::move(name)), id_(std::move(id)) {}
    unsigned deviceType() const override { return type_; }
    std::string name() const override { return name_; }
    std::string identifier() const override { return id_; }
    void open(Listener listener) override {
        listener_ = std::move(listener);
        open_ = true;
    }
    void close() override {
        open_ = false;
        listener_ = nullptr;
    }
    bool isOpen() const override { return open_; }
    void send(const qx::InstrumentCommand& command) override { sent.push_back(command); }

    void report(const qx::InstrumentEvent& event) {
        if (listener_) listener_(event);
    }
    template <class C>
    std::vector<C> sentOf() const {
        return alternativesOf<C>(sent);
    }

    std::vector<qx::InstrumentCommand> sent;

private:
    unsigned type_;
    std::string name_;
    std::string id_;
    Listener listener_;
    bool open_ = false;
};

// A store that remembers what it was given, and whether a track was recording at the time.
class FakeStore : public qx::ReadingStore {
public:
    struct Waypoint {
        qx::StoredReading reading;
        bool intoTrack;
    };

    bool recording = false;
    bool historyStoredOk = true;
    std::vector<Waypoint> waypoints;
    std::vector<std::vector<qx::DetectorHistoryItem>> histories;
    std::vector<qx::InstrumentIdentity> historyInstruments;

    bool isRecordingTrack() const override { return recording; }
    void storeAutosavedWaypoint(const qx::StoredReading& reading) override { waypoints.push_back({reading, recording}); }
    void storeHistory(const std::vector<qx::DetectorHistoryItem>& items, const qx::InstrumentIdentity& instrument,
                      std::function<void(bool)> done) override {
        histories.push_back(items);
        historyInstruments.push_back(instrument);
        done(historyStoredOk);
    }
};

class RecordingDelegate : public qx::DeviceManagerDelegate {
public:
    int values = 0;
    int states = 0;
    std::vector<double> doseRates;
    void valueUpdate() override {
        ++values;
        doseRates.push_back(qx::DeviceManager::sharedDeviceManager().getDER().value());
    }
    void stateUpdate() override { ++states; }
};

class RecordingTrackDelegate : public qx::DeviceManagerLocationDelegate {
public:
    std::vector<std::pair<qx::Location, std::optional<qx::Location>>> fixes;
    void didUpdateLocation(const qx::Location& now, const std::optional<qx::Location>& old) override {
        fixes.emplace_back(now, old);
    }
};

// Collects the texts of a notification.
class NotificationLog {
public:
    explicit NotificationLog(const std::string& name)
        : token_(plat::NotificationCenter::defaultCenter().addObserver(
              name, [this](const plat::Notification& n) {
                  texts.push_back(n.text());
                  senders.push_back(n.sender);
              })) {}
    std::vector<std::string> texts;
    std::vector<const void*> senders;

private:
    plat::ObserverToken token_;
};

// Application test with the link's process-wide objects made afresh.
class LinkTest : public qxtest::AppTest {
protected:
    void SetUp() override {
        qxtest::AppTest::SetUp();
        resetLink();
        qx::Settings::resetShared();
    }
    void TearDown() override {
        resetLink();
        qxtest::AppTest::TearDown();
    }
    static void resetLink() {
        qx::LinkLauncher::shutDown();
        qx::DeviceManager::resetShared();
        qx::VNBTLEManager::resetShared();
        qx::BluetoothRadio::resetShared();
        qx::AccessoryPort::resetShared();
        qx::LocationFeed::resetShared();
    }

    qx::DeviceManager& manager() { return qx::DeviceManager::sharedDeviceManager(); }
    qx::Settings& settings() { return qx::Settings::sharedSettings(); }

    // Launches with the demo instrument of `type` and waits until it is connected.
    void launchDemo(unsigned type, bool autoConnect = true) {
        qx::LinkOptions options;
        options.demoDeviceType = type;
        options.autoConnect = autoConnect;
        ASSERT_TRUE(qx::LinkLauncher::start(options));
        drain();
        ASSERT_EQ(manager().deviceType(), type);
    }
    std::shared_ptr<qx::DemoInstrument> demo() { return qx::LinkLauncher::demoInstrument(); }
};

}  // namespace linktest
