#include "beta/BBCrashReportingHooks.h"

#include <mutex>

namespace bb {

namespace {
std::mutex hooksMutex;
BBCrashReportingHooks& hooksSlot() {
    static BBCrashReportingHooks* hooks = new BBCrashReportingHooks();
    return *hooks;
}
}  // namespace

void BBCrashReportingHooks::set(BBCrashReportingHooks hooks) {
    std::lock_guard lock(hooksMutex);
    hooksSlot() = std::move(hooks);
}

BBCrashReportingHooks BBCrashReportingHooks::current() {
    std::lock_guard lock(hooksMutex);
    return hooksSlot();
}

}  // namespace bb
