#include "beta/BBCrashReportingHooks.h"

#include <mutex>

#include "beta/BBCrashReporter.h"
#include "beta/BBCrashSender.h"

namespace bb {

namespace {
std::mutex hooksMutex;
BBCrashReportingHooks& hooksSlot() {
    // The library's own crash reporter until someone sets others.
    static BBCrashReportingHooks* hooks =
        new BBCrashReportingHooks{bb_install_crash_handlers, bb_save_token_digest, bb_send_old_crashes};
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
