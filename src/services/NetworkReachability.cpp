#include "services/NetworkReachability.h"

namespace qx {

NetworkReachability& NetworkReachability::shared() {
    static NetworkReachability* reachability = new NetworkReachability();  // lives until the process ends
    return *reachability;
}

void NetworkReachability::setStatus(Status status) {
    if (status == status_) return;
    status_ = status;
    if (monitoring_ && block_) block_(status_);
}

void NetworkReachability::startMonitoring() {
    monitoring_ = true;
    if (block_) block_(status_);
}

}  // namespace qx
