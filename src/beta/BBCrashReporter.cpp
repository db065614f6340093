#include "beta/BBCrashReporter.h"

#include <cxxabi.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstdio>
#include <cstdlib>
#include <exception>
#include <filesystem>
#include <mutex>
#include <system_error>

#include "beta/BBAlternateSignalStack.h"
#include "beta/BBCrashFile.h"
#include "beta/BBCrashSender.h"
#include "beta/BBFileDescriptor.h"
#include "beta/BBLoadedImages.h"
#include "beta/BBMessagePackDescriptor.h"
#include "beta/BBRegisterState.h"
#include "beta/BBSDK.h"
#include "beta/BBSessionManager.h"
#include "beta/BBSignalSafeText.h"
#include "beta/BBStackWalker.h"
#include "beta/BBTaskThreads.h"
#include "beta/BBThreadSuspension.h"
#include "beta/BBUUID.h"

namespace bb {

namespace fs = std::filesystem;

namespace {

constexpr std::size_t kDirectoryCapacity = 1024;
// Room left after the directory for the longest file name the crash path builds under it.
constexpr std::size_t kPathMargin = 50;
constexpr int kHandledSignals[] = {SIGABRT, SIGILL, SIGSEGV, SIGFPE, SIGBUS, SIGPIPE};
constexpr std::size_t kHandledCount = sizeof kHandledSignals / sizeof kHandledSignals[0];
constexpr std::size_t kMaxOldCrashesPerCall = 11;

// Fixed storage, set up when the handlers are installed and only read in a crash.
struct CrashState {
    char directory[kDirectoryCapacity] = {};
    char crashFilePath[kDirectoryCapacity] = {};
    bool previousTerminateSaved = false;
    std::terminate_handler previousTerminate = nullptr;
    bool previousSaved[kHandledCount] = {};
    struct sigaction previous[kHandledCount] = {};
    bool ignored[kHandledCount] = {};  // left alone: the host ignores them
};

CrashState gState;

// The thread that took the crash: one crash file per process, written by one thread.
std::atomic<pid_t> gCrashingThread{0};

// Whether this process's handlers are installed (outside a crash). While they are, the file at
// the crash file's path may be that of a crash in progress, written by a handler that has let the
// other threads go again before the process ends: only a file found before installing is a
// leftover of an earlier process to move aside. The lock keeps a move from overlapping an install.
std::mutex gInstallMutex;
bool gHandlersInstalled = false;

enum class CrashEntry {
    first,         // this thread reports the crash
    again,         // the reporting thread crashed inside its own handler
    anotherThread  // a crash is being reported already
};

CrashEntry enterCrash() {
    const pid_t self = BBTaskThreads::currentThreadID();
    pid_t none = 0;
    if (gCrashingThread.compare_exchange_strong(none, self)) return CrashEntry::first;
    return none == self ? CrashEntry::again : CrashEntry::anotherThread;
}

// A second crashing thread stays here, writing nothing, until the first one ends the process. It
// can still be stopped and looked at while the first writes the file.
[[noreturn]] void waitForTheReportingThread() {
    for (;;) ::pause();
}

bool crashReportsAllowed() {
    bool allowed = false;
    bb_sdk_queue().sync([&] { allowed = BBSessionManager::sharedSessionManager().allowedToSendCrashes(); });
    return allowed;
}

bool isOwnHandler(const struct sigaction& action) {
    return (action.sa_flags & SA_SIGINFO) != 0 && action.sa_sigaction == bb_crash_signal_handler;
}

bool isFunction(const struct sigaction& action) {
    if ((action.sa_flags & SA_SIGINFO) != 0) return action.sa_sigaction != nullptr;
    return action.sa_handler != SIG_DFL && action.sa_handler != SIG_IGN && action.sa_handler != SIG_ERR;
}

void installSignalHandler(int signal) {
    struct sigaction action = {};
    action.sa_sigaction = bb_crash_signal_handler;
    action.sa_flags = SA_SIGINFO | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

void setDefaultAction(int signal) {
    struct sigaction action = {};
    action.sa_handler = SIG_DFL;
    sigemptyset(&action.sa_mask);
    ::sigaction(signal, &action, nullptr);
}

// Copies `text` into `out`; false when it does not fit.
bool copyText(const char* text, char* out, std::size_t capacity) {
    const std::size_t length = bb_strlen(text);
    if (length + 1 > capacity) return false;
    for (std::size_t i = 0; i <= length; ++i) out[i] = text[i];
    return true;
}

// The crash file's path is built while the process is healthy.
bool keepDirectory(const std::string& directory) {
    BBTextLine path;
    path.append(directory.c_str()).append("/").append(kBBCrashFileName);
    return directory.size() + kPathMargin < kDirectoryCapacity && !path.truncated() &&
           copyText(directory.c_str(), gState.directory, sizeof gState.directory) &&
           copyText(path.c_str(), gState.crashFilePath, sizeof gState.crashFilePath);
}

// Stops the other threads; each records where it stood. The handlers stay installed meanwhile, so
// that another thread crashing now waits instead of ending the process under the report.
void beginCrash() {
    BBTaskThreads::forgetSnapshots();
    bb_suspend_other_threads();
}

void writeCrashKind(int fd, const char* kind, const char* key, const char* value) {
    bb_mp_fd_write_cstring(fd, "crashtype");
    bb_mp_fd_write_cstring(fd, kind);
    bb_mp_fd_write_cstring(fd, key);
    bb_mp_fd_write_cstring(fd, value);
}

void writeImagesAndSessionEnd(int fd) {
    bb_mp_fd_write_cstring(fd, "image_list");
    bb_write_image_list(fd);
    bb_write_crash_session_end(fd, gState.directory);
}

// Posts the file, closes it, marks it sent when the post went through, and lets the other
// threads go on.
void finishCrash(int fd) {
    const int sent = fd == -1 ? -1 : bb_send_crash_file(fd, gState.directory);
    bb_close(fd);
    if (sent == 0) bb_mark_sent(gState.crashFilePath);
    bb_resume_other_threads();
}

// Copies as much of `text` as fits, always terminated.
void copyTextCut(const char* text, char* out, std::size_t capacity) {
    BBTextLine line;
    line.append(text ? text : "");
    if (!copyText(line.c_str(), out, capacity) && capacity > 0) {
        std::size_t i = 0;
        for (; i + 1 < capacity; ++i) out[i] = line.c_str()[i];
        out[i] = '\0';
    }
}

// The reason of the exception being handled, into `out`. Rethrowing the exception in hand and
// catching it again allocates nothing, where taking a pointer to it and rethrowing that would.
void exceptionReason(char* out, std::size_t capacity) {
    const std::type_info* type = abi::__cxa_current_exception_type();
    if (!type) {
        copyTextCut("terminate called without an active exception", out, capacity);
        return;
    }
    try {
        throw;
    } catch (const std::exception& exception) {
        copyTextCut(exception.what(), out, capacity);
    } catch (...) {
        copyTextCut(type->name(), out, capacity);
    }
}

void callPreviousSignalHandler(int signal, siginfo_t* info, void* context) {
    for (std::size_t i = 0; i < kHandledCount; ++i) {
        if (kHandledSignals[i] != signal || !gState.previousSaved[i]) continue;
        const struct sigaction& previous = gState.previous[i];
        if ((previous.sa_flags & SA_SIGINFO) != 0) {
            previous.sa_sigaction(signal, info, context);
        } else {
            previous.sa_handler(signal);
        }
    }
}

}  // namespace

void bb_install_crash_handlers() {
    if (!crashReportsAllowed()) return;
    const std::string& directory = bb_sdk_directory_path();
    if (!keepDirectory(directory)) {
        bb_log_format("**** Betabeam Error: Could not install crash handlers because cache path is too long.\n\n"
                      "cachePath = \"%s\"",
                      directory.c_str());
        return;
    }
    const std::lock_guard lock(gInstallMutex);
    if (!gHandlersInstalled) bb_move_crash_file();
    gHandlersInstalled = true;

    if (!gState.previousTerminateSaved) {
        gState.previousTerminate = std::get_terminate();
        gState.previousTerminateSaved = true;
    }
    std::set_terminate(bb_uncaught_exception_handler);

    if (!BBAlternateSignalStack::prepareCurrentThread()) std::perror("sigaltstack");

    for (std::size_t i = 0; i < kHandledCount; ++i) {
        struct sigaction installed = {};
        ::sigaction(kHandledSignals[i], nullptr, &installed);
        // A signal the host ignores (a broken pipe, typically) is not a crash; handling it would
        // turn it into one.
        gState.ignored[i] = (installed.sa_flags & SA_SIGINFO) == 0 && installed.sa_handler == SIG_IGN;
        if (gState.ignored[i]) continue;
        // Installing again must not take the reporter's own handler for an earlier one, or a
        // crash would run it twice over the same file.
        if (!isOwnHandler(installed)) {
            gState.previousSaved[i] = isFunction(installed);
            gState.previous[i] = installed;
        }
        installSignalHandler(kHandledSignals[i]);
    }
    installSignalHandler(SIGTRAP);

    // Other threads record themselves while suspended; the unwinder sets itself up now, while
    // the process is healthy, rather than first inside a handler.
    bb_set_parked_thread_recorder(BBTaskThreads::recordCurrentThread);
    std::uintptr_t warmUp[4];
    bb_unwind_stack(warmUp, 4, 0, 0);

    bb_log_format("Betabeam: Crash Handlers are installed");
}

void bb_restore_crash_handlers(bool crashMode) {
    for (std::size_t i = 0; i < kHandledCount; ++i) {
        if (gState.ignored[i]) continue;
        if (!crashMode && gState.previousSaved[i]) {
            ::sigaction(kHandledSignals[i], &gState.previous[i], nullptr);
        } else {
            setDefaultAction(kHandledSignals[i]);
        }
    }
    setDefaultAction(SIGTRAP);
    if (crashMode) return;
    const std::lock_guard lock(gInstallMutex);
    gHandlersInstalled = false;
    if (gState.previousTerminateSaved) std::set_terminate(gState.previousTerminate);
    gState.previousTerminateSaved = false;
    gState.previousTerminate = nullptr;
    for (std::size_t i = 0; i < kHandledCount; ++i) gState.previousSaved[i] = gState.ignored[i] = false;
}

void bb_uncaught_exception_handler() {
    // Read while the other threads still run: one of them may hold what reading it needs.
    char reason[BBTextLine::kCapacity];
    exceptionReason(reason, sizeof reason);
    switch (enterCrash()) {
        case CrashEntry::first: break;
        case CrashEntry::again: std::abort();
        case CrashEntry::anotherThread: waitForTheReportingThread();
    }
    beginCrash();
    const int fd = bb_open_crash_file(gState.crashFilePath, gState.directory);

    // The stack at this point is the one the exception was thrown on: an uncaught exception
    // ends the program from where it was thrown.
    std::uintptr_t frames[kBBMaxFrames];
    const std::size_t frameCount = bb_unwind_stack(frames, kBBMaxFrames, 0, 1, true);
    bb_write_thread_backtraces(fd, frames, frameCount);
    writeCrashKind(fd, "exception", "exception", reason);

    BBThreadRegisters registers;
    const BBExceptionRegisters noFault = {};
    bb_mp_fd_write_cstring(fd, "register_state");
    bb_write_register_state(fd, bb_current_thread_registers(&registers) ? &registers : nullptr, &noFault, nullptr);
    writeImagesAndSessionEnd(fd);

    // The previous handler normally ends the process, so the report goes out first.
    finishCrash(fd);
    bb_restore_crash_handlers(true);
    const std::terminate_handler previous = gState.previousTerminate;
    if (previous && previous != bb_uncaught_exception_handler) previous();
}

void bb_crash_signal_handler(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
    switch (enterCrash()) {
        case CrashEntry::first: break;
        case CrashEntry::again:
            // A fault while writing the report: the default action ends the process.
            bb_restore_crash_handlers(true);
            ::raise(signal);
            errno = savedErrno;
            return;
        case CrashEntry::anotherThread: waitForTheReportingThread();
    }
    beginCrash();
    const int fd = bb_open_crash_file(gState.crashFilePath, gState.directory);

    // The crashing thread's frames begin where the signal interrupted it, not at this handler
    // on its separate stack.
    BBThreadRegisters registers;
    std::uintptr_t frames[kBBMaxFrames];
    std::size_t frameCount = 0;
    if (bb_thread_registers_from_context(context, &registers) && registers.pc != 0) {
        frameCount = bb_unwind_stack(frames, kBBMaxFrames, registers.pc, 0);
    }
    bb_write_thread_backtraces(fd, frameCount > 0 ? frames : nullptr, frameCount);

    writeCrashKind(fd, "signal", "signal", bb_signal_name(signal));
    bb_mp_fd_write_cstring(fd, "register_state");
    bb_write_register_state(fd, nullptr, nullptr, context);
    writeImagesAndSessionEnd(fd);

    // The report goes out before a host's handler runs: that handler may well end the process.
    finishCrash(fd);
    bb_restore_crash_handlers(true);
    callPreviousSignalHandler(signal, info, context);
    errno = savedErrno;
    // The default action is back: the signal ends the process as it would have without us.
    ::raise(signal);
}

void bb_move_crash_file() {
    const fs::path directory = bb_sdk_directory_path();
    std::error_code ignored;
    fs::create_directories(directory / kBBOldCrashesFolder, ignored);
    fs::rename(directory / kBBCrashFileName,
               directory / kBBOldCrashesFolder / (BBUUID::uuidString() + "." + kBBOldCrashExtension), ignored);
}

void bb_send_old_crashes() {
    {
        const std::lock_guard lock(gInstallMutex);
        if (!gHandlersInstalled && gCrashingThread.load() == 0) bb_move_crash_file();
    }
    const bool allowed = crashReportsAllowed();
    std::error_code error;
    std::size_t handled = 0;
    for (fs::directory_iterator it(fs::path(bb_sdk_directory_path()) / kBBOldCrashesFolder, error), end;
         !error && it != end && handled < kMaxOldCrashesPerCall; it.increment(error)) {
        const std::string path = it->path().string();
        if (!path.ends_with(kBBOldCrashExtension) || !it->is_regular_file()) continue;
        ++handled;
        if (!allowed || bb_check_sent(path.c_str()) == 0) {
            std::error_code ignored;
            fs::remove(it->path(), ignored);
        } else {
            BBSessionManager::sharedSessionManager().sendOldCrashReport(path);
        }
    }
}

const char* bb_signal_name(int signal) {
    static const struct {
        int number;
        const char* name;
    } kNames[] = {
        {SIGHUP, "SIGHUP"},     {SIGINT, "SIGINT"},       {SIGQUIT, "SIGQUIT"},     {SIGILL, "SIGILL"},
        {SIGTRAP, "SIGTRAP"},   {SIGABRT, "SIGABRT"},     {SIGBUS, "SIGBUS"},       {SIGFPE, "SIGFPE"},
        {SIGKILL, "SIGKILL"},   {SIGUSR1, "SIGUSR1"},     {SIGSEGV, "SIGSEGV"},     {SIGUSR2, "SIGUSR2"},
        {SIGPIPE, "SIGPIPE"},   {SIGALRM, "SIGALRM"},     {SIGTERM, "SIGTERM"},     {SIGCHLD, "SIGCHLD"},
        {SIGCONT, "SIGCONT"},   {SIGSTOP, "SIGSTOP"},     {SIGTSTP, "SIGTSTP"},     {SIGTTIN, "SIGTTIN"},
        {SIGTTOU, "SIGTTOU"},   {SIGURG, "SIGURG"},       {SIGXCPU, "SIGXCPU"},     {SIGXFSZ, "SIGXFSZ"},
        {SIGVTALRM, "SIGVTALRM"}, {SIGPROF, "SIGPROF"},   {SIGWINCH, "SIGWINCH"},   {SIGIO, "SIGIO"},
        {SIGSYS, "SIGSYS"},
#ifdef SIGSTKFLT
        {SIGSTKFLT, "SIGSTKFLT"},
#endif
#ifdef SIGPWR
        {SIGPWR, "SIGPWR"},
#endif
    };
    for (const auto& entry : kNames) {
        if (entry.number == signal) return entry.name;
    }
    return "SIGUNKNOWN";
}

}  // namespace bb
