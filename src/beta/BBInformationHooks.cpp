#include "beta/BBInformationHooks.h"

#include <mutex>

namespace bb {

namespace {
std::mutex hooksMutex;
std::function<void()>& changeHandler() {
    static std::function<void()> handler;
    return handler;
}
std::function<int()>& reachabilitySource() {
    static std::function<int()> source;
    return source;
}
}  // namespace

void bb_set_information_change_handler(std::function<void()> handler) {
    std::lock_guard lock(hooksMutex);
    changeHandler() = std::move(handler);
}

void bb_information_did_change() {
    std::function<void()> handler;
    {
        std::lock_guard lock(hooksMutex);
        handler = changeHandler();
    }
    if (handler) handler();
}

void bb_set_reachability_status_source(std::function<int()> source) {
    std::lock_guard lock(hooksMutex);
    reachabilitySource() = std::move(source);
}

int bb_reachability_status() {
    std::function<int()> source;
    {
        std::lock_guard lock(hooksMutex);
        source = reachabilitySource();
    }
    return source ? source() : 0;
}

}  // namespace bb
