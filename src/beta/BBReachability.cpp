#include "beta/BBReachability.h"

#include <arpa/inet.h>

#include <algorithm>
#include <vector>

#include "beta/BBNetworkState.h"
#include "beta/BBSDK.h"

namespace bb {

namespace {

struct Registry {
    std::mutex mutex;
    BBReachability::FlagsSource source;
    std::vector<std::weak_ptr<BBReachability>> following;
};

Registry& registry() {
    static Registry* instance = new Registry();
    return *instance;
}

sockaddr_in ipv4(const char* text) {
    sockaddr_in address{};
    address.sin_family = AF_INET;
    ::inet_pton(AF_INET, text, &address.sin_addr);
    return address;
}

std::optional<std::uint32_t> machineFlags(const BBReachability& watcher) {
    if (watcher.hostName()) return BBNetworkState::flagsForHostName(*watcher.hostName());
    if (watcher.address()) return BBNetworkState::flagsForAddress(*watcher.address(), watcher.localWifiRef());
    return std::nullopt;
}

}  // namespace

std::shared_ptr<BBReachability> BBReachability::reachabilityWithHostName(const std::string& hostName) {
    if (hostName.empty()) return nullptr;
    std::shared_ptr<BBReachability> watcher(new BBReachability());
    watcher->hostName_ = hostName;
    return watcher;
}

std::shared_ptr<BBReachability> BBReachability::reachabilityWithAddressLocalWifiRef(const sockaddr_in& address,
                                                                                   bool localWifiRef) {
    if (address.sin_family != AF_INET) return nullptr;
    std::shared_ptr<BBReachability> watcher(new BBReachability());
    watcher->address_ = address;
    watcher->localWifiRef_ = localWifiRef;
    return watcher;
}

std::shared_ptr<BBReachability> BBReachability::reachabilityForInternetConnection() {
    return reachabilityWithAddressLocalWifiRef(ipv4("0.0.0.0"), false);
}

std::shared_ptr<BBReachability> BBReachability::reachabilityForLocalWiFi() {
    return reachabilityWithAddressLocalWifiRef(ipv4("169.254.0.0"), true);
}

BBReachability::~BBReachability() {
    std::lock_guard lock(registry().mutex);
    std::erase_if(registry().following, [](const auto& weak) { return weak.expired(); });
}

std::optional<std::uint32_t> BBReachability::flags() const {
    FlagsSource source;
    {
        std::lock_guard lock(registry().mutex);
        source = registry().source;
    }
    return source ? source(*this) : machineFlags(*this);
}

int BBReachability::status() const {
    auto current = flags();
    return current ? statusForFlags(*current) : NotReachable;
}

int BBReachability::statusForFlags(std::uint32_t flags) const {
    if (localWifiRef_) return (flags & kReachable) && (flags & kIsDirect) ? ReachableViaWiFi : NotReachable;
    if (!(flags & kReachable)) return NotReachable;
    if (flags & kIsWWAN) return ReachableViaWWAN;
    const bool automatic = (flags & kConnectionOnTraffic) || (flags & kConnectionOnDemand);
    if ((flags & kConnectionRequired) && (!automatic || (flags & kInterventionRequired))) return NotReachable;
    return ReachableViaWiFi;
}

void BBReachability::setReachabilityStatusUpdateBlock(StatusBlock block) {
    const bool follow = static_cast<bool>(block);
    auto current = follow ? flags() : std::nullopt;
    {
        std::lock_guard lock(mutex_);
        block_ = std::move(block);
        lastFlags_ = current;
    }
    std::lock_guard lock(registry().mutex);
    auto& following = registry().following;
    std::erase_if(following, [this](const auto& weak) {
        auto strong = weak.lock();
        return !strong || strong.get() == this;
    });
    if (follow) {
        following.push_back(weak_from_this());
        BBNetworkState::startMonitoring(&BBReachability::networkStateDidChange);
    }
}

void BBReachability::setFlagsSource(FlagsSource source) {
    std::lock_guard lock(registry().mutex);
    registry().source = std::move(source);
}

void BBReachability::networkStateDidChange() {
    std::vector<std::shared_ptr<BBReachability>> watchers;
    {
        std::lock_guard lock(registry().mutex);
        for (const auto& weak : registry().following) {
            if (auto strong = weak.lock()) watchers.push_back(std::move(strong));
        }
    }
    for (const auto& watcher : watchers) watcher->reachabilityCallback();
}

// Reads the flags again and, when they changed, hands their status to the block on the SDK
// queue, as the platform calls back on the queue it was given.
void BBReachability::reachabilityCallback() {
    auto current = flags();
    std::lock_guard lock(mutex_);
    if (!block_ || current == lastFlags_) return;
    lastFlags_ = current;
    const int newStatus = current ? statusForFlags(*current) : NotReachable;
    auto self = weak_from_this();
    bb_sdk_queue().async([self, newStatus] {
        auto watcher = self.lock();
        if (!watcher) return;
        StatusBlock block;
        {
            std::lock_guard innerLock(watcher->mutex_);
            block = watcher->block_;
        }
        if (block) block(newStatus);
    });
}

}  // namespace bb
