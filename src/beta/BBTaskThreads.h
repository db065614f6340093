#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

// The threads of this process as the crash path sees them: listed from /proc/self/task, named
// from their "comm" files, with what each recorded about itself when the crash path suspended it
// (one thread cannot read another's registers or unwind its stack on this platform, so each
// thread records its own registers and backtrace in the suspension's signal handler). Everything
// here is safe inside a signal handler.

namespace bb {

inline constexpr std::size_t kBBMaxFrames = 128;

// What a stopped thread recorded about itself.
struct BBThreadSnapshot {
    std::uintptr_t pc;
    std::uintptr_t sp;
    std::uintptr_t fp;
    std::uint32_t frameCount;
    std::uintptr_t frames[kBBMaxFrames];
};

class BBTaskThreads {
public:
    // Threads listed and recorded at most.
    static constexpr std::size_t kCapacity = 256;

    static pid_t currentThreadID();
    // The task's thread ids in the order the system lists them; the calling thread is always
    // among them, even when the listing fails or is cut short.
    static std::size_t list(pid_t* tids, std::size_t capacity);
    // The thread's own name into `out`; 0 (and an empty text) when it has none of its own, that
    // is when it still carries the process's default name.
    static std::size_t name(pid_t tid, char* out, std::size_t capacity);

    // Forgets what threads recorded; the crash path calls it before it suspends them.
    static void forgetSnapshots();
    // Records the calling thread's registers and backtrace from its machine context (a signal's
    // ucontext_t), for the suspension's signal handler.
    static void recordCurrentThread(const void* context);
    // What the thread recorded since the last forgetSnapshots(), or null.
    static const BBThreadSnapshot* snapshot(pid_t tid);

    // The mapping of this process's memory that holds `address` (a thread's stack, given its
    // stack pointer): its lowest address and the address just past it.
    static bool stackBounds(std::uintptr_t address, std::uintptr_t* bottom, std::uintptr_t* top);
};

}  // namespace bb
