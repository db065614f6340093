#pragma once

#include <sys/types.h>

#include <cstddef>
#include <cstdint>

// Backtraces and symbols for the crash path; nothing here allocates or takes a lock.

namespace bb {

// Unwinds the calling thread's stack with the unwinder's tables (no frame pointers needed).
// With `startPC` the frames begin at the one whose exact address it is (the frame a signal
// interrupted) and the handler's own frames are left out; when no frame has it, the result is
// that address alone. Without it, `skip` frames after the caller's own are left out. Return
// addresses are moved back by one into the calling instruction unless `asTheyAre`.
std::size_t bb_unwind_stack(std::uintptr_t* buffer, std::size_t capacity, std::uintptr_t startPC, std::size_t skip,
                            bool asTheyAre = false);

// Where a frame-pointer walk begins: the first frame's address and the stack that holds it.
struct BBStackWalkStart {
    std::uintptr_t frame;
    std::uintptr_t bottom;  // lowest address of the stack
    std::uintptr_t top;     // its highest address
};

// Follows the chain of saved frame pointers (each frame: the caller's frame, then the return
// address), recording each return address minus one after skipping `skip` links. A frame
// outside [bottom, top - 16], odd, or not above the one before ends the walk; an invalid first
// frame or skipped link gives no frames.
void bb_walk_stack(const BBStackWalkStart& start, std::uintptr_t* buffer, std::size_t capacity, std::size_t* count,
                   std::size_t skip);

// A thread's backtrace, without trailing zero entries: the calling thread is unwound where it
// stands; another thread gives what it recorded when it was stopped, or, failing that, a
// frame-pointer walk from its recorded registers. 0 when nothing can be found.
std::size_t bb_backtrace(pid_t thread, std::uintptr_t* buffer, std::size_t capacity);

struct BBSymbol {
    const char* imagePath;  // null when the address lies in no image
    const char* name;       // null when no symbol is known
    std::uint64_t distance;  // from the symbol's address; 0 without a symbol
};

// The image holding the address and the nearest symbol at or below it that the image's dynamic
// symbol table (the one kept in memory) defines.
BBSymbol bb_lookup_symbol(std::uintptr_t address);

}  // namespace bb
