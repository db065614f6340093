#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <optional>
#include <string>

namespace bb {

// The machine's side of reachability: which targets its interfaces and routes can reach now,
// expressed as reachability flags, and a watch on the kernel's interface and route changes.
class BBNetworkState {
public:
    static std::optional<std::uint32_t> flagsForHostName(const std::string& hostName);
    static std::optional<std::uint32_t> flagsForAddress(const sockaddr_in& address, bool localWifiRef);

    // Calls `changed` (on a thread of its own) after every interface, address or route change.
    // Started once; later calls do nothing.
    static void startMonitoring(void (*changed)());
};

}  // namespace bb
