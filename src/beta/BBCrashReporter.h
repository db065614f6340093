#pragma once

#include <csignal>

// Crash reporting: when the host dies of an uncaught C++ exception or a fatal signal, a crash file
// ("backtrace.mpack" in the library directory) is written in the form of an upload body (the
// start data, then a crash event and a session end event with the session's log), posted at once
// over the connection prepared at take-off, and marked sent when the post succeeded. A file left
// unsent is moved to "old_crashes" at the next start and uploaded from there.
//
// Everything that runs inside a handler writes straight to descriptors from fixed buffers: no
// allocation, no lock, apart from reading the exception object in the exception handler.

namespace bb {

// Installs the handlers when the service allows crash reports; may run again, and then keeps the
// handlers it saved before rather than saving its own.
void bb_install_crash_handlers();
// In crash mode every handled signal and SIGTRAP go back to their default actions; otherwise the
// handlers that were installed before are put back and forgotten.
void bb_restore_crash_handlers(bool crashMode);
// The handlers themselves: the first is the process's terminate handler while installed. One
// crash file per process: the first thread to crash writes and posts it, then hands over to the
// handler that was installed before and lets the crash end the process as it would have; a
// thread crashing meanwhile waits for that end without touching anything. Every thread a crash
// can happen on needs an alternate signal stack (BBAlternateSignalStack) to report an overflow
// of its own stack.
void bb_uncaught_exception_handler();
void bb_crash_signal_handler(int signal, siginfo_t* info, void* context);

// Moves a leftover crash file into "old_crashes" under a fresh name; failures are ignored.
void bb_move_crash_file();
// Once per take-off, in the background: uploads the crash files of earlier processes, at most 11
// a call; marked (already delivered) files, and all of them when crash reports are not allowed,
// are deleted instead.
void bb_send_old_crashes();

// The name of a signal number ("SIGSEGV"), or "SIGUNKNOWN".
const char* bb_signal_name(int signal);

}  // namespace bb
