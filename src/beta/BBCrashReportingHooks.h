#pragma once

#include <functional>
#include <string>

namespace bb {

// How the facade reaches the crash reporter: the library's own reporter by default; a test may set
// other operations. A missing operation does nothing.
struct BBCrashReportingHooks {
    // Installs the signal and uncaught-exception handlers.
    std::function<void()> installCrashHandlers;
    // Keeps the token's digest and prepares the crash-time upload.
    std::function<void(const std::string& applicationToken)> saveTokenDigest;
    // Hands the crash files of earlier processes to the upload queue.
    std::function<void()> sendOldCrashes;

    static void set(BBCrashReportingHooks hooks);
    static BBCrashReportingHooks current();
};

}  // namespace bb
