#include "beta/BBCrashReporter.h"

#include <cxxabi.h>
#include <unistd.h>

#include <cerrno>
#include <cstdio>
#include <exception>
#include <filesystem>
#include <system_error>

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
constexpr std::size_t kAlternateStackSize = 0x20000;
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
alignas(16) char gAlternateStack[kAlternateStackSize];

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

// Stops the other threads (each records where it stood) and puts the default actions back, so
// that a fault inside the handler ends the process instead of coming back here.
void beginCrash() {
    BBTaskThreads::forgetSnapshots();
    bb_suspend_other_threads();
    bb_restore_crash_handlers(true);
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

// The reason of the exception being handled, into `out`.
void exceptionReason(char* out, std::size_t capacity) {
    const char* reason = "terminate called without an active exception";
    const std::exception_ptr current = std::current_exception();
    if (current) {
        try {
            std::rethrow_exception(current);
        } catch (const std::exception& exception) {
            reason = exception.what();
        } catch (...) {
            const std::type_info* type = abi::__cxa_current_exception_type();
            reason = type ? type->name() : "unknown exception";
        }
    }
    BBTextLine line;
    line.append(reason ? reason : "");
    copyText(line.c_str(), out, capacity);
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
    bb_move_crash_file();

    if (!gState.previousTerminateSaved) {
        gState.previousTerminate = std::get_terminate();
        gState.previousTerminateSaved = true;
    }
    std::set_terminate(bb_uncaught_exception_handler);

    stack_t alternate = {};
    alternate.ss_sp = gAlternateStack;
    alternate.ss_size = sizeof gAlternateStack;
    if (::sigaltstack(&alternate, nullptr) != 0) std::perror("sigaltstack");

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
    if (gState.previousTerminateSaved) std::set_terminate(gState.previousTerminate);
    gState.previousTerminateSaved = false;
    gState.previousTerminate = nullptr;
    for (std::size_t i = 0; i < kHandledCount; ++i) gState.previousSaved[i] = gState.ignored[i] = false;
}

void bb_uncaught_exception_handler() {
    beginCrash();
    const int fd = bb_open_crash_file(gState.crashFilePath, gState.directory);

    // The stack at this point is the one the exception was thrown on: an uncaught exception
    // ends the program from where it was thrown.
    std::uintptr_t frames[kBBMaxFrames];
    const std::size_t frameCount = bb_unwind_stack(frames, kBBMaxFrames, 0, 1, true);
    bb_write_thread_backtraces(fd, frames, frameCount);

    char reason[BBTextLine::kCapacity];
    exceptionReason(reason, sizeof reason);
    writeCrashKind(fd, "exception", "exception", reason);

    BBThreadRegisters registers;
    const BBExceptionRegisters noFault = {};
    bb_mp_fd_write_cstring(fd, "register_state");
    bb_write_register_state(fd, bb_current_thread_registers(&registers) ? &registers : nullptr, &noFault, nullptr);
    writeImagesAndSessionEnd(fd);

    // The previous handler normally ends the process, so the report goes out first.
    finishCrash(fd);
    const std::terminate_handler previous = gState.previousTerminate;
    if (previous && previous != bb_uncaught_exception_handler) previous();
}

void bb_crash_signal_handler(int signal, siginfo_t* info, void* context) {
    const int savedErrno = errno;
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

    callPreviousSignalHandler(signal, info, context);
    finishCrash(fd);
    errno = savedErrno;
    // The default action is back: the signal ends the process once this handler returns.
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
    bb_move_crash_file();
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
