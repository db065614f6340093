// A host program for the crash tests. It takes off the way an application does (the real handlers,
// the real crash-time upload), waits until a session runs and the crash upload is prepared, and
// then crashes the way its first argument names:
//
//   bb_crash_host SCENARIO DATA-FOLDER PORT COUNT-FILE
//
// The service's plain-HTTP crash endpoint is 127.0.0.1:PORT; every other request of the library
// is refused at once. COUNT-FILE receives a byte per allocation of an armed crashing thread.

#include <fcntl.h>
#include <link.h>
#include <pthread.h>
#include <unistd.h>

#include <atomic>
#include <chrono>
#include <csignal>
#include <cstdio>
#include <cstdlib>
#include <cstring>
#include <exception>
#include <stdexcept>
#include <string>
#include <thread>

#include "CountingAllocator.h"
#include "beta/BBCrashFile.h"
#include "beta/BBCrashSender.h"
#include "beta/BBHostApplication.h"
#include "beta/BBSDK.h"
#include "beta/BBServiceHost.h"
#include "beta/Betabeam.h"
#include "platform/foundation/DataFolder.h"

// The functions a test looks for in a crash report: exported, never inlined or reached by a jump.
extern "C" {

__attribute__((noinline)) void crash_host_fault() {
    volatile std::uintptr_t wild = 0x10;
    *reinterpret_cast<volatile int*>(wild) = 1;
    asm volatile("");
}

__attribute__((noinline)) void crash_host_abort() {
    std::abort();
}

// The sanitizer build would report the division itself instead of letting it trap.
__attribute__((noinline, no_sanitize("undefined"))) int crash_host_divide(int divisor) {
#if defined(__x86_64__) || defined(__i386__)
    volatile int dividend = 1;
    return dividend / divisor;
#else
    // Other processors do not trap on an integer division by zero.
    (void)divisor;
    ::raise(SIGFPE);
    return 0;
#endif
}

__attribute__((noinline)) void crash_host_throw() {
    throw std::runtime_error("the host gave up");
}

// Never reached: the recursion only ends by overflowing the stack.
volatile int crash_host_deepest = -1;

__attribute__((noinline)) int crash_host_recurse(int depth) {
    volatile char frame[512];
    frame[0] = static_cast<char>(depth);
    if (depth == crash_host_deepest) return 0;
    return crash_host_recurse(depth + 1) + frame[0];
}

__attribute__((noinline)) void crash_host_fault_on_thread() {
    crash_host_fault();
    asm volatile("");
}

}  // extern "C"

namespace {

char gCrashFilePath[1024];
int gCountFD = -1;

void fail(const char* why) {
    std::fprintf(stderr, "crash host: %s\n", why);
    std::_Exit(70);
}

// Ready when a session runs and the crash-time upload is prepared.
void waitUntilReady() {
    const auto until = std::chrono::steady_clock::now() + std::chrono::seconds(30);
    while (!bb::Betabeam::isInSession() || !bb::bb_crash_sender_prepared()) {
        if (std::chrono::steady_clock::now() > until) fail("the library did not get ready");
        std::this_thread::sleep_for(std::chrono::milliseconds(1));
    }
}

void takeOff(const char* dataFolder, const char* port) {
    plat::DataFolder::setRoot(dataFolder);
    bb::BBServiceHost::setSDKHostName("sdk.service.test");
    bb::BBServiceHost::setConnectTo({":443:127.0.0.1:1", std::string(":80:127.0.0.1:") + port});
    bb::BBHostApplication::setActiveStateSource([] { return true; });
    bb::Betabeam::takeOff("abc");
    waitUntilReady();
    std::snprintf(gCrashFilePath, sizeof gCrashFilePath, "%s/%s", bb::bb_sdk_directory_path().c_str(),
                  bb::kBBCrashFileName);
}

// The host's own handler, installed before take-off: it ends the process with 42 when the crash
// report was delivered (the file is marked sent) by the time it runs, else with 43.
void hostHandler(int, siginfo_t*, void*) {
    char head[5] = {};
    const int fd = ::open(gCrashFilePath, O_RDONLY);
    const bool sent = fd != -1 && ::read(fd, head, sizeof head) == 5 && std::memcmp(head, "sent\0", 5) == 0;
    ::_exit(sent ? 42 : 43);
}

int visitImage(dl_phdr_info*, std::size_t, void* spins) {
    // Stays a while inside, where the loader's lock is held.
    for (int i = 0; i < *static_cast<int*>(spins); ++i) asm volatile("");
    return 0;
}

void walkImagesForever(std::atomic<bool>* walking) {
    int spins = 2000;
    for (;;) {
        ::dl_iterate_phdr(visitImage, &spins);
        walking->store(true);
    }
}

// An exception whose construction, after its storage and text are allocated, stops the allocator
// and arms the count: what follows is the throw and the crash handler.
struct HeldAllocatorError : std::runtime_error {
    HeldAllocatorError() : std::runtime_error("thrown while the allocator is held") {
        crashhost::holdAllocatorLockOnAnotherThread();
        crashhost::armAllocationCount(gCountFD);
    }
};

__attribute__((noinline)) void throwWithAllocatorHeld() {
    throw HeldAllocatorError();
}

void crashTwoThreadsAtOnce() {
    std::atomic<int> ready{0};
    auto crasher = [&ready] {
        bb::Betabeam::prepareCurrentThreadForCrashReports();
        ++ready;
        while (ready.load() < 2) {
        }
        crash_host_fault_on_thread();
    };
    std::thread first(crasher);
    std::thread second(crasher);
    first.join();
    second.join();
}

void run(const std::string& scenario) {
    if (scenario == "segv") {
        crash_host_fault();
    } else if (scenario == "abort") {
        crash_host_abort();
    } else if (scenario == "fpe") {
        crash_host_divide(0);
    } else if (scenario == "exception") {
        crash_host_throw();
    } else if (scenario == "overflow-main") {
        crash_host_recurse(0);
    } else if (scenario == "overflow-worker") {
        std::thread worker([] {
            bb::Betabeam::prepareCurrentThreadForCrashReports();
            crash_host_recurse(0);
        });
        worker.join();
    } else if (scenario == "two-threads") {
        crashTwoThreadsAtOnce();
    } else if (scenario == "loader-busy") {
        std::atomic<bool> walking{false};
        std::thread(walkImagesForever, &walking).detach();
        while (!walking.load()) std::this_thread::yield();
        crash_host_fault();
    } else if (scenario == "allocator-held-signal") {
        crashhost::holdAllocatorLockOnAnotherThread();
        crashhost::armAllocationCount(gCountFD);
        crash_host_fault();
    } else if (scenario == "allocator-held-exception") {
        throwWithAllocatorHeld();
    }
    fail("the scenario did not crash");
}

}  // namespace

int main(int argc, char** argv) {
    if (argc != 5) fail("usage: bb_crash_host SCENARIO DATA-FOLDER PORT COUNT-FILE");
    const std::string scenario = argv[1];
    gCountFD = ::open(argv[4], O_WRONLY | O_CREAT | O_TRUNC | O_APPEND | O_CLOEXEC, 0644);
    if (scenario == "host-handler") {
        struct sigaction action = {};
        action.sa_sigaction = hostHandler;
        action.sa_flags = SA_SIGINFO;
        ::sigaction(SIGSEGV, &action, nullptr);
    }
    if (scenario.starts_with("allocator-held")) {
        if (!crashhost::countingAllocatorInstalled()) fail("this build has no counting allocator");
        // The host's own last word must not allocate either, or the held lock would keep it.
        std::set_terminate([] { std::abort(); });
    }
    takeOff(argv[2], argv[3]);
    run(scenario == "host-handler" ? "segv" : scenario);
    return 0;
}
