#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

// The threads of this process as the crash path sees them: listed from /proc/self/task, named
// from their "comm" files, and stopped by a signal whose handler makes each thread record its
// own registers and backtrace before it waits to be resumed (one thread cannot read another's
// registers or unwind its stack on this platform). Everything here is safe inside a signal
// handler once installStopHandler() has run in a healthy process.

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
    // Threads handled at most (more are listed only up to this count).
    static constexpr std::size_t kCapacity = 256;
    // Longest time the crash path waits for the other threads to stop, in milliseconds.
    static constexpr long kStopWaitMilliseconds = 250;

    static pid_t currentThreadID();
    // The task's thread ids in the order the system lists them; the calling thread is always
    // among them, even when the listing fails or is cut short.
    static std::size_t list(pid_t* tids, std::size_t capacity);
    // The thread's own name into `out`; 0 (and an empty text) when it has none of its own, that
    // is when it still carries the process's default name.
    static std::size_t name(pid_t tid, char* out, std::size_t capacity);

    // Sets up the stop signal's handler; call while the process is healthy.
    static void installStopHandler();
    // Stops every other thread (each records its snapshot first) and waits, a bounded time, for
    // them to stop. Threads that do not answer in time run on and have no snapshot.
    static void stopOthers();
    static void resumeOthers();
    // The snapshot of a thread stopped by the last stopOthers(), or null.
    static const BBThreadSnapshot* snapshot(pid_t tid);

    // The mapping of this process's memory that holds `address` (a thread's stack, given its
    // stack pointer): its lowest address and the address just past it.
    static bool stackBounds(std::uintptr_t address, std::uintptr_t* bottom, std::uintptr_t* top);
};

}  // namespace bb
