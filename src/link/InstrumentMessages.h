#pragma once

#include <array>
#include <cstdint>
#include <string>
#include <variant>
#include <vector>

#include "link/Location.h"
#include "model/DetectorHistoryItem.h"

namespace qx {

// What an instrument reports and what the application asks of it, whatever the link. A driver
// (or the demo instrument) turns its wire format into these and back.

// One live reading, µSv/h and µSv.
struct InstrumentReading {
    double der = 0;
    double de = 0;
    double countRate = 0;         // counts per second
    double variation = 0;         // percent
    double accumulationTime = 0;  // minutes
    unsigned systemMode = 0;
    bool derAlarm = false;
    bool deAlarm = false;
    bool searchAlarm = false;
    bool overload = false;
};

// The Device Information texts of a Bluetooth LE instrument.
struct DeviceInformation {
    std::string manufacturer;
    std::string modelNumber;
    std::string serialNumber;
    std::string hardwareRevision;
    std::string firmwareRevision;
};

// The parameter block of an accessory instrument. Thresholds are in the instrument's own units
// (DeviceTypes::parameterBlockScale): 0 first and 1 second dose rate, 2 first and 3 second dose.
struct DeviceParams {
    std::array<float, 4> thresholds{};
    float coeffN = 0;

    bool operator==(const DeviceParams&) const = default;
};

namespace event {
struct Connected {};  // the link is up
struct Lost {};       // the link went down without being asked to
struct Reading {
    InstrumentReading reading;
};
struct Battery {
    unsigned percent = 0;
};
struct Serial {
    std::uint32_t number = 0;
    std::string text;
};
struct Version {
    std::string text;
};
struct Information {
    DeviceInformation info;
};
struct Params {
    DeviceParams params;
};
// The thresholds a Bluetooth LE instrument reports, µSv/h and µSv, indexed as in DeviceParams.
struct Thresholds {
    std::array<float, 4> values{};
};
// Part of the instrument's own history; the last part has `finished` set.
struct History {
    std::vector<DetectorHistoryItem> items;
    bool finished = false;
};
struct DoseReset {};
struct SignalStrength {
    int rssi = 0;
};
}  // namespace event

using InstrumentEvent =
    std::variant<event::Connected, event::Lost, event::Reading, event::Battery, event::Serial, event::Version,
                 event::Information, event::Params, event::Thresholds, event::History, event::DoseReset,
                 event::SignalStrength>;

namespace command {
struct ReadParams {};
struct WriteParams {
    DeviceParams params;
};
// One threshold in µSv/h or µSv (index as in DeviceParams).
struct WriteThreshold {
    int index = 0;
    float value = 0;
};
struct ResetDose {};
struct FactoryDefaults {};
struct ReadHistory {};
struct ClearHistory {};
struct WriteHistoryPeriod {
    double minutes = 0;
};
struct WriteJobMode {
    unsigned mode = 0;  // 0 cyclic, 1 linear
};
struct ReadDeviceInformation {};
struct ReadSignalStrength {};
}  // namespace command

using InstrumentCommand =
    std::variant<command::ReadParams, command::WriteParams, command::WriteThreshold, command::ResetDose,
                 command::FactoryDefaults, command::ReadHistory, command::ClearHistory, command::WriteHistoryPeriod,
                 command::WriteJobMode, command::ReadDeviceInformation, command::ReadSignalStrength>;

}  // namespace qx
