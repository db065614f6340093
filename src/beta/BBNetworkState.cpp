#include "beta/BBNetworkState.h"

#include <arpa/inet.h>
#include <ifaddrs.h>
#include <linux/netlink.h>
#include <linux/rtnetlink.h>
#include <net/if.h>
#include <poll.h>
#include <sys/socket.h>
#include <unistd.h>

#include <cstdlib>
#include <fstream>
#include <mutex>
#include <sstream>
#include <thread>
#include <vector>

#include "beta/BBAlternateSignalStack.h"
#include "beta/BBReachability.h"

namespace bb {

namespace {

using Flags = std::uint32_t;

struct Interface {
    std::string name;
    in_addr address{};
    in_addr netmask{};
};

bool isUsable(const ifaddrs* entry) {
    const unsigned up = IFF_UP | IFF_RUNNING;
    return entry->ifa_addr && (entry->ifa_flags & up) == up && !(entry->ifa_flags & IFF_LOOPBACK);
}

std::vector<Interface> usableIPv4Interfaces() {
    std::vector<Interface> result;
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return result;
    for (const ifaddrs* entry = list; entry; entry = entry->ifa_next) {
        if (!isUsable(entry) || entry->ifa_addr->sa_family != AF_INET) continue;
        Interface item;
        item.name = entry->ifa_name;
        item.address = reinterpret_cast<const sockaddr_in*>(entry->ifa_addr)->sin_addr;
        if (entry->ifa_netmask) item.netmask = reinterpret_cast<const sockaddr_in*>(entry->ifa_netmask)->sin_addr;
        result.push_back(item);
    }
    ::freeifaddrs(list);
    return result;
}

bool usableInterfaceNamed(const std::string& name) {
    ifaddrs* list = nullptr;
    if (::getifaddrs(&list) != 0) return false;
    bool found = false;
    for (const ifaddrs* entry = list; entry && !found; entry = entry->ifa_next) {
        found = name == entry->ifa_name && isUsable(entry);
    }
    ::freeifaddrs(list);
    return found;
}

// A default route (IPv4 or IPv6) through an interface that is up.
bool hasDefaultRoute() {
    std::ifstream ipv4("/proc/net/route");
    std::string line;
    std::getline(ipv4, line);  // column titles
    while (std::getline(ipv4, line)) {
        std::istringstream fields(line);
        std::string iface, destination, gateway, flags;
        fields >> iface >> destination >> gateway >> flags;
        const unsigned long routeFlags = std::strtoul(flags.c_str(), nullptr, 16);
        if (destination == "00000000" && (routeFlags & 0x1) && usableInterfaceNamed(iface)) return true;
    }
    std::ifstream ipv6("/proc/net/ipv6_route");
    while (std::getline(ipv6, line)) {
        std::istringstream fields(line);
        std::string destination, prefix, skip, iface;
        fields >> destination >> prefix;
        for (int i = 0; i < 7; ++i) fields >> skip;
        fields >> iface;
        if (destination == std::string(32, '0') && prefix == "00" && usableInterfaceNamed(iface)) return true;
    }
    return false;
}

bool isLoopback(in_addr address) { return (ntohl(address.s_addr) >> 24) == 127; }

Flags flagsForIPv4(in_addr address) {
    if (isLoopback(address)) return BBReachability::kReachable | BBReachability::kIsLocalAddress | BBReachability::kIsDirect;
    Flags flags = 0;
    for (const auto& item : usableIPv4Interfaces()) {
        if (item.address.s_addr == address.s_addr) {
            return BBReachability::kReachable | BBReachability::kIsLocalAddress | BBReachability::kIsDirect;
        }
        if ((item.address.s_addr & item.netmask.s_addr) == (address.s_addr & item.netmask.s_addr)) {
            flags = BBReachability::kReachable | BBReachability::kIsDirect;
        }
    }
    if (flags == 0 && hasDefaultRoute()) flags = BBReachability::kReachable;
    return flags;
}

// Link-local traffic needs only a working link of the machine's own.
Flags flagsForLocalLink() {
    return usableIPv4Interfaces().empty() ? 0 : BBReachability::kReachable | BBReachability::kIsDirect;
}

void monitor(int socketFD, void (*changed)()) {
    BBAlternateSignalStack::prepareCurrentThread();
    std::vector<char> buffer(8192);
    for (;;) {
        pollfd waiting{socketFD, POLLIN, 0};
        if (::poll(&waiting, 1, -1) < 0) continue;
        if (::recv(socketFD, buffer.data(), buffer.size(), 0) <= 0) continue;
        // Several messages tend to come in a burst; let it settle before looking again.
        while (::poll(&waiting, 1, 50) > 0 && ::recv(socketFD, buffer.data(), buffer.size(), 0) > 0) {
        }
        changed();
    }
}

}  // namespace

std::optional<Flags> BBNetworkState::flagsForHostName(const std::string& hostName) {
    in_addr numeric{};
    if (::inet_pton(AF_INET, hostName.c_str(), &numeric) == 1) return flagsForIPv4(numeric);
    if (hostName == "localhost") return flagsForIPv4(in_addr{htonl(INADDR_LOOPBACK)});
    // A name is reachable as far as the machine can tell when it has a way out; the name itself
    // is looked up only when a connection is made.
    return hasDefaultRoute() ? Flags{BBReachability::kReachable} : Flags{0};
}

std::optional<Flags> BBNetworkState::flagsForAddress(const sockaddr_in& address, bool localWifiRef) {
    if (localWifiRef) return flagsForLocalLink();
    if (address.sin_addr.s_addr == htonl(INADDR_ANY)) return hasDefaultRoute() ? Flags{BBReachability::kReachable} : Flags{0};
    return flagsForIPv4(address.sin_addr);
}

void BBNetworkState::startMonitoring(void (*changed)()) {
    static std::once_flag once;
    std::call_once(once, [changed] {
        const int fd = ::socket(AF_NETLINK, SOCK_RAW | SOCK_CLOEXEC, NETLINK_ROUTE);
        if (fd < 0) return;
        sockaddr_nl local{};
        local.nl_family = AF_NETLINK;
        local.nl_groups = RTMGRP_LINK | RTMGRP_IPV4_IFADDR | RTMGRP_IPV4_ROUTE | RTMGRP_IPV6_IFADDR | RTMGRP_IPV6_ROUTE;
        if (::bind(fd, reinterpret_cast<sockaddr*>(&local), sizeof local) != 0) {
            ::close(fd);
            return;
        }
        std::thread(monitor, fd, changed).detach();
    });
}

}  // namespace bb
