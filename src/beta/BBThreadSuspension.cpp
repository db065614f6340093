#include "beta/BBThreadSuspension.h"

#include <dirent.h>
#include <fcntl.h>
#include <sched.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>
#include <cstddef>
#include <cstdint>
#include <ctime>

namespace bb {

namespace {

constexpr int kMaxThreads = 1024;
// Parked threads are waited for at most this long in all; a thread that blocks the parking
// signal never arrives.
constexpr long kParkWaitNanoseconds = 200'000'000;
constexpr long kParkPollNanoseconds = 1'000'000;

// Fixed storage: the handler that suspends may itself be running in a signal handler.
pid_t suspendedThreads[kMaxThreads];
int suspendedCount = 0;
std::atomic<pid_t> owner{0};
std::atomic<bool> holding{false};
std::atomic<int> parked{0};
std::atomic<BBParkedThreadRecorder> recorder{nullptr};

int parkingSignal() { return SIGRTMAX - 3; }

pid_t currentThread() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

// Runs on each suspended thread: waits in sigsuspend until the holder lets go. The same signal,
// sent again, wakes it to look.
void park(int, siginfo_t*, void* context) {
    const int savedErrno = errno;
    const BBParkedThreadRecorder record = recorder.load();
    if (record && holding.load()) record(context);
    parked.fetch_add(1);
    sigset_t waitMask;
    sigfillset(&waitMask);
    sigdelset(&waitMask, parkingSignal());
    while (holding.load()) sigsuspend(&waitMask);
    errno = savedErrno;
}

// The parking handler stays installed: a thread that blocked the signal may still receive it
// later, and the default action of this signal would end the process.
bool installParking() {
    struct sigaction action {};
    action.sa_sigaction = park;
    action.sa_flags = SA_SIGINFO | SA_RESTART;
    sigfillset(&action.sa_mask);
    return ::sigaction(parkingSignal(), &action, nullptr) == 0;
}

// Signals every thread of the process but this one, listed from /proc with a stack buffer.
bool signalOtherThreads(pid_t self) {
    int fd;
    do {
        fd = ::open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    } while (fd == -1 && errno == EINTR);
    if (fd == -1) return false;
    alignas(8) char buffer[4096];
    for (;;) {
        const long got = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
        if (got <= 0) break;
        for (long at = 0; at < got;) {
            const auto* entry = reinterpret_cast<const dirent64*>(buffer + at);
            at += entry->d_reclen;
            pid_t thread = 0;
            const char* digit = entry->d_name;
            for (; *digit >= '0' && *digit <= '9'; ++digit) thread = thread * 10 + (*digit - '0');
            if (*digit || thread <= 0 || thread == self || suspendedCount >= kMaxThreads) continue;
            if (::syscall(SYS_tgkill, ::getpid(), thread, parkingSignal()) == 0) suspendedThreads[suspendedCount++] = thread;
        }
    }
    ::close(fd);
    return true;
}

void waitUntilParked() {
    const timespec poll{0, kParkPollNanoseconds};
    for (long waited = 0; parked.load() < suspendedCount && waited < kParkWaitNanoseconds;
         waited += kParkPollNanoseconds) {
        ::nanosleep(&poll, nullptr);
    }
}

}  // namespace

void bb_set_parked_thread_recorder(BBParkedThreadRecorder record) { recorder.store(record); }

int bb_suspend_other_threads() {
    const pid_t self = currentThread();
    pid_t none = 0;
    if (!owner.compare_exchange_strong(none, self)) return 0;
    suspendedCount = 0;
    parked.store(0);
    holding.store(true);
    if (!installParking() || !signalOtherThreads(self) || suspendedCount == 0) {
        holding.store(false);
        suspendedCount = 0;
        owner.store(0);
        return 0;
    }
    waitUntilParked();
    return 0;
}

int bb_resume_other_threads() {
    if (owner.load() != currentThread()) return 0;
    holding.store(false);
    for (int i = 0; i < suspendedCount; ++i) ::syscall(SYS_tgkill, ::getpid(), suspendedThreads[i], parkingSignal());
    suspendedCount = 0;
    owner.store(0);
    return 0;
}

}  // namespace bb
