#pragma once

#include <netinet/in.h>

#include <cstdint>
#include <functional>
#include <memory>
#include <mutex>
#include <optional>
#include <string>

namespace bb {

// Watches whether a host (or an address) can be reached and tells a block when that changes.
// The flags are the platform's reachability flags; on this system they are worked out from the
// machine's interfaces and routes, and a test may supply them instead.
class BBReachability : public std::enable_shared_from_this<BBReachability> {
public:
    enum Status : int { NotReachable = 0, ReachableViaWiFi = 1, ReachableViaWWAN = 2 };

    enum Flag : std::uint32_t {
        kTransientConnection = 1u << 0,
        kReachable = 1u << 1,
        kConnectionRequired = 1u << 2,
        kConnectionOnTraffic = 1u << 3,
        kInterventionRequired = 1u << 4,
        kConnectionOnDemand = 1u << 5,
        kIsLocalAddress = 1u << 16,
        kIsDirect = 1u << 17,
        kIsWWAN = 1u << 18,
    };

    using StatusBlock = std::function<void(int status)>;
    // Reads the current flags of a watcher's target; nothing when they cannot be read.
    using FlagsSource = std::function<std::optional<std::uint32_t>(const BBReachability&)>;

    static std::shared_ptr<BBReachability> reachabilityWithHostName(const std::string& hostName);
    static std::shared_ptr<BBReachability> reachabilityWithAddressLocalWifiRef(const sockaddr_in& address,
                                                                               bool localWifiRef);
    static std::shared_ptr<BBReachability> reachabilityForInternetConnection();
    static std::shared_ptr<BBReachability> reachabilityForLocalWiFi();

    ~BBReachability();

    // The status of the flags now; not reachable when they cannot be read.
    int status() const;
    int statusForFlags(std::uint32_t flags) const;
    std::optional<std::uint32_t> flags() const;

    // With a block the watcher follows changes and tells the block on the SDK queue; without one
    // it stops following.
    void setReachabilityStatusUpdateBlock(StatusBlock block);

    bool localWifiRef() const { return localWifiRef_; }
    const std::optional<std::string>& hostName() const { return hostName_; }
    const std::optional<sockaddr_in>& address() const { return address_; }

    // Replaces where every watcher reads its flags (an empty source restores the machine's).
    static void setFlagsSource(FlagsSource source);
    // Every following watcher reads its flags again and reports a change to its block.
    static void networkStateDidChange();

private:
    BBReachability() = default;
    void reachabilityCallback();

    bool localWifiRef_ = false;
    std::optional<std::string> hostName_;
    std::optional<sockaddr_in> address_;
    mutable std::mutex mutex_;
    StatusBlock block_;
    std::optional<std::uint32_t> lastFlags_;
};

}  // namespace bb
