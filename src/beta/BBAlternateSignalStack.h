#pragma once

#include <cstddef>

namespace bb {

// The stack the crash handlers run on. A thread whose own stack overflowed has no room left for a
// signal handler, so every thread a crash can happen on needs a stack of its own that the kernel
// switches to (the handlers are installed to run there). The signal stack belongs to one thread:
// each thread has to be given one by itself.
class BBAlternateSignalStack {
public:
    static constexpr std::size_t kSize = 0x20000;

    // Gives the calling thread an alternate signal stack of kSize bytes (with a guard page below
    // it), unless it has one at least that large already, which is then kept. A stack given here
    // is released when the thread ends. False when none could be set up.
    static bool prepareCurrentThread();
    // The size of the calling thread's alternate signal stack; 0 when it has none.
    static std::size_t currentThreadStackSize();
};

}  // namespace bb
