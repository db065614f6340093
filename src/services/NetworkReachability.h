#pragma once

#include <functional>

namespace qx {

// Whether the network can be reached, and how. The machine this runs on is taken to be online;
// the program's driver and the tests say when that changes.
class NetworkReachability {
public:
    enum class Status { notReachable = 0, reachableViaWiFi = 1, reachableViaWWAN = 2 };
    using StatusBlock = std::function<void(Status)>;

    static NetworkReachability& shared();

    Status status() const { return status_; }
    bool isReachable() const { return status_ != Status::notReachable; }
    // A change of the network; the block hears it while monitoring.
    void setStatus(Status status);

    void setStatusChangeBlock(StatusBlock block) { block_ = std::move(block); }
    // Tells the block the current status once, then every change.
    void startMonitoring();
    void stopMonitoring() { monitoring_ = false; }
    bool isMonitoring() const { return monitoring_; }

private:
    NetworkReachability() = default;
    Status status_ = Status::reachableViaWiFi;
    StatusBlock block_;
    bool monitoring_ = false;
};

}  // namespace qx
