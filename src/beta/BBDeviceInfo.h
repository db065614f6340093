#pragma once

#include <optional>
#include <string>

#include "beta/BBValue.h"

namespace bb {

// What the library reports about the device ("device_info"), with the custom environment pairs
// the host adds. The record is built on first use and kept; it may be read and patched from any
// thread.
class BBDeviceInfo {
public:
    static BBDictionary deviceInformation();
    // Stores the pair (no information removes the key).
    static void addCustomEnvironmentInformationForKey(const std::optional<std::string>& information,
                                                      const std::string& key);
    // Kept only for builds allowed to send a device identifier.
    static void setDeviceIdentifier(const std::string& identifier);

    // This platform has no telephony: never a carrier.
    static std::optional<std::string> carrier();
    static std::string machine();
    static std::optional<std::string> architecture();
    static std::string connectivityState();
    static std::string orientation();
    static std::string batteryState();
    // A random identifier of 40 hexadecimal digits, made once per installation and kept in the
    // user defaults.
    static std::string openUDID();

    // Drops the cached record, so the next deviceInformation() builds it again.
    static void _testReset();
};

}  // namespace bb
