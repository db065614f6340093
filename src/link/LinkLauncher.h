#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "link/DemoInstrument.h"
#include "link/DemoReplay.h"

namespace qx {

struct LinkOptions {
    // Scan for Bluetooth LE instruments at launch, so that the paired one connects by itself.
    bool autoConnect = true;
    // Connect the demo instrument.
    bool demo = true;
    unsigned demoDeviceType = 3;
    // Play this recording instead of the built-in walk.
    std::optional<std::filesystem::path> replayFile;
    std::uint32_t demoSerial = 0;  // 0: the model's demo serial number
};

// The instrument link's part of the launch, and the functions the program's driver offers to
// move the demo instrument in and out of reach and to choose its next reading.
class LinkLauncher {
public:
    // Starts the scan when auto-connect is on, makes DeviceManager the Bluetooth LE central's
    // delegate and data delegate, and connects the demo instrument unless told not to. Fails
    // (with `error`) for a device type outside 1 to 9 or a replay file without a playable row;
    // bad rows of a usable file are only reported (replayBadRows and the log).
    static bool start(const LinkOptions& options, std::string* error = nullptr);
    // Lets the demo instrument go (termination).
    static void shutDown();

    static std::shared_ptr<DemoInstrument> demoInstrument();
    static const std::vector<DemoReplay::BadRow>& replayBadRows();

    // Connects the demo instrument: in reach, found and connected (Bluetooth LE) or plugged in
    // (accessory). False without a demo instrument.
    static bool connectInstrument();
    // The demo instrument goes out of reach (or is unplugged): the link is lost.
    static void loseInstrument();
    // It comes back into reach: a paired Bluetooth LE instrument connects again by itself; an
    // accessory instrument is plugged in again.
    static void reconnectInstrument();
    // The next reading the demo instrument plays. False without a demo instrument.
    static bool setNextReading(const DemoInstrument::NextReading& next);
};

}  // namespace qx
