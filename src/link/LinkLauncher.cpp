#include "link/LinkLauncher.h"

#include <algorithm>
#include <utility>

#include "link/AccessoryPort.h"
#include "link/BluetoothRadio.h"
#include "link/DemoWalk.h"
#include "link/DeviceManager.h"
#include "link/DeviceTypes.h"
#include "link/VNBTLEManager.h"
#include "model/Language.h"
#include "platform/foundation/Log.h"

namespace qx {

namespace {
struct LaunchState {
    std::shared_ptr<DemoInstrument> demo;
    std::vector<DemoReplay::BadRow> badRows;
};
LaunchState& state() {
    static LaunchState s;
    return s;
}
}  // namespace

bool LinkLauncher::start(const LinkOptions& options, std::string* error) {
    auto fail = [error](const std::string& text) {
        plat::Log::line("LinkLauncher: " + text);
        if (error) *error = text;
        return false;
    };
    shutDown();  // a second launch replaces the first one's demo instrument
    std::shared_ptr<DemoScript> script;
    state().badRows.clear();
    if (options.demo) {
        if (!DeviceTypes::isKnown(options.demoDeviceType)) {
            return fail(Language::get("no such device type (1 to 9):") + " " + std::to_string(options.demoDeviceType));
        }
        if (options.replayFile) {
            std::string why;
            script = DemoReplay::load(*options.replayFile, &state().badRows, &why);
            if (!script) return fail(options.replayFile->string() + ": " + why);
        } else {
            script = std::make_shared<DemoWalk>();
        }
    }

    auto& central = VNBTLEManager::sharedInstance();
    if (options.autoConnect) central.startScanning();
    auto manager = DeviceManager::sharedPointer();
    central.setDelegate(manager);
    central.setDataDelegate(manager);

    if (script) {
        state().demo = DemoInstrument::make(options.demoDeviceType, script, options.demoSerial);
        connectInstrument();
    }
    return true;
}

void LinkLauncher::shutDown() {
    if (auto demo = std::exchange(state().demo, nullptr)) {
        if (AccessoryPort::shared().source() == demo) AccessoryPort::shared().unplug();
        BluetoothRadio::shared().withdraw(demo);
        demo->close();
    }
}

std::shared_ptr<DemoInstrument> LinkLauncher::demoInstrument() { return state().demo; }

const std::vector<DemoReplay::BadRow>& LinkLauncher::replayBadRows() { return state().badRows; }

bool LinkLauncher::connectInstrument() {
    const auto& demo = state().demo;
    if (!demo) return false;
    if (DeviceTypes::isAccessory(demo->deviceType())) {
        AccessoryPort::shared().plugIn(demo);
        return true;
    }
    BluetoothRadio::shared().advertise(demo);
    auto& central = VNBTLEManager::sharedInstance();
    if (!central.isScanning()) central.startScanning();  // an instrument is connected once found
    const auto& found = central.foundPeripherals();
    const auto it = std::find_if(found.begin(), found.end(),
                                 [&](const auto& p) { return p->identifier() == demo->identifier(); });
    if (it == found.end()) return false;  // the adapter is off
    central.connectPeripheral(*it);
    return true;
}

void LinkLauncher::loseInstrument() {
    const auto& demo = state().demo;
    if (!demo) return;
    if (DeviceTypes::isAccessory(demo->deviceType())) {
        if (AccessoryPort::shared().source() == demo) AccessoryPort::shared().unplug();
    } else {
        BluetoothRadio::shared().withdraw(demo);
    }
}

void LinkLauncher::reconnectInstrument() {
    const auto& demo = state().demo;
    if (!demo) return;
    if (DeviceTypes::isAccessory(demo->deviceType())) {
        AccessoryPort::shared().plugIn(demo);
    } else {
        BluetoothRadio::shared().advertise(demo);
    }
}

bool LinkLauncher::setNextReading(const DemoInstrument::NextReading& next) {
    if (!state().demo) return false;
    state().demo->setNextReading(next);
    return true;
}

}  // namespace qx
