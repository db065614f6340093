#pragma once

#include <csignal>
#include <string>

// Crash reporting: when the host dies of an uncaught C++ exception or a fatal signal, a crash file
// ("backtrace.mpack" in the library directory) is written in the form of an upload body (the
// start data, then a crash event and a session end event with the session's log), posted at once
// over the connection prepared at take-off, and marked sent when the post succeeded. A file left
// unsent is moved to "old_crashes" at the next start and uploaded from there.
//
// Everything that runs inside a handler writes straight to descriptors from fixed buffers: no
// allocation, no lock, apart from reading the exception object in the exception handler.

namespace bb {

// The entry the library's facade uses.
class BBCrashReporter {
public:
    static BBCrashReporter& sharedReporter();

    // At take-off, when crash reporting is on: installs the handlers, then keeps the digest of the
    // application token and prepares the crash-time connection (in the background).
    void start(const std::string& applicationToken);
    // Installs the handlers again, saving whatever handlers are installed at this moment.
    void reinstallCrashHandlers();
    // Once per take-off, on a background queue: uploads (or deletes) the crash files of earlier
    // processes.
    void sendOldCrashes();
};

// Installs the handlers when the service allows crash reports; may run again.
void bb_install_crash_handlers();
// In crash mode every handled signal and SIGTRAP go back to their default actions; otherwise the
// handlers that were installed before are put back and forgotten.
void bb_restore_crash_handlers(bool crashMode);
// The handlers themselves: the first is the process's terminate handler while installed.
void bb_uncaught_exception_handler();
void bb_crash_signal_handler(int signal, siginfo_t* info, void* context);

// Moves a leftover crash file into "old_crashes" under a fresh name; failures are ignored.
void bb_move_crash_file();
void bb_send_old_crashes();

}  // namespace bb
