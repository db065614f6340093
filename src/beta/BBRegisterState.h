#pragma once

#include <cstdint>

// The register map of a crash event. Its keys follow one fixed layout whatever the processor:
// "x0" to "x28", "fp", "lr", "sp", "pc", "cpsr" (thread registers), then "far", "esr",
// "exception" (the fault). On x86-64 the general registers rax, rbx, rcx, rdx, rsi, rdi and
// r8-r15 fill x0-x13 in that order and x14-x28 are 0; fp is rbp, sp rsp, pc rip, cpsr the flags,
// lr 0 (there is no link register); far is the faulting address (cr2), esr the error code and
// exception the trap number. Other processors have no register state here (an empty map).

namespace bb {

struct BBThreadRegisters {
    std::uint64_t x[29];
    std::uint64_t fp;
    std::uint64_t lr;
    std::uint64_t sp;
    std::uint64_t pc;
    std::uint32_t cpsr;
};

struct BBExceptionRegisters {
    std::uint64_t far;
    std::uint32_t esr;
    std::uint32_t exception;
};

// From a signal's machine context (a ucontext_t); false when the processor is not known here.
bool bb_thread_registers_from_context(const void* context, BBThreadRegisters* out);
bool bb_exception_registers_from_context(const void* context, BBExceptionRegisters* out);
// The calling thread's registers as they are now.
bool bb_current_thread_registers(BBThreadRegisters* out);

// Missing thread or exception registers are taken from the machine context when one is given.
// With both present writes the 37-pair map, otherwise an empty map. 1 on success, 0 on failure.
int bb_write_register_state(int fd, const BBThreadRegisters* thread, const BBExceptionRegisters* exception,
                            const void* context);

}  // namespace bb
