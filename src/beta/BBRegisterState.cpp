#include "beta/BBRegisterState.h"

#include <ucontext.h>

#include "beta/BBMessagePackDescriptor.h"
#include "beta/BBSignalSafeText.h"

namespace bb {

namespace {

constexpr std::uint32_t kRegisterPairs = 37;

int writeKeyAndUInt64(int fd, const char* key, std::uint64_t value) {
    return bb_mp_fd_write_cstring(fd, key) & bb_mp_fd_write_uint64(fd, value);
}

int writeKeyAndUInt32(int fd, const char* key, std::uint32_t value) {
    return bb_mp_fd_write_cstring(fd, key) & bb_mp_fd_write_uint32(fd, value);
}

}  // namespace

bool bb_thread_registers_from_context(const void* context, BBThreadRegisters* out) {
    if (!context || !out) return false;
    *out = BBThreadRegisters{};
#if defined(__x86_64__)
    const auto& r = static_cast<const ucontext_t*>(context)->uc_mcontext.gregs;
    static constexpr int kGeneral[] = {REG_RAX, REG_RBX, REG_RCX, REG_RDX, REG_RSI, REG_RDI, REG_R8,
                                       REG_R9,  REG_R10, REG_R11, REG_R12, REG_R13, REG_R14, REG_R15};
    int i = 0;
    for (const int index : kGeneral) out->x[i++] = static_cast<std::uint64_t>(r[index]);
    out->fp = static_cast<std::uint64_t>(r[REG_RBP]);
    out->sp = static_cast<std::uint64_t>(r[REG_RSP]);
    out->pc = static_cast<std::uint64_t>(r[REG_RIP]);
    out->cpsr = static_cast<std::uint32_t>(r[REG_EFL]);
    return true;
#else
    return false;
#endif
}

bool bb_exception_registers_from_context(const void* context, BBExceptionRegisters* out) {
    if (!context || !out) return false;
    *out = BBExceptionRegisters{};
#if defined(__x86_64__)
    const auto& r = static_cast<const ucontext_t*>(context)->uc_mcontext.gregs;
    out->far = static_cast<std::uint64_t>(r[REG_CR2]);
    out->esr = static_cast<std::uint32_t>(r[REG_ERR]);
    out->exception = static_cast<std::uint32_t>(r[REG_TRAPNO]);
    return true;
#else
    return false;
#endif
}

bool bb_current_thread_registers(BBThreadRegisters* out) {
    ucontext_t context;
    if (::getcontext(&context) != 0) return false;
    return bb_thread_registers_from_context(&context, out);
}

int bb_write_register_state(int fd, const BBThreadRegisters* thread, const BBExceptionRegisters* exception,
                            const void* context) {
    BBThreadRegisters fromContext;
    BBExceptionRegisters faultFromContext;
    if (!thread && context && bb_thread_registers_from_context(context, &fromContext)) thread = &fromContext;
    if (!exception && context && bb_exception_registers_from_context(context, &faultFromContext)) {
        exception = &faultFromContext;
    }
    if (!thread || !exception) return bb_mp_fd_write_map_header(fd, 0);

    int ok = bb_mp_fd_write_map_header(fd, kRegisterPairs);
    for (std::int32_t i = 0; i < 29; ++i) {
        char key[4] = {'x'};
        bb_itoa(i, key + 1, sizeof key - 1);
        ok &= writeKeyAndUInt64(fd, key, thread->x[i]);
    }
    ok &= writeKeyAndUInt64(fd, "fp", thread->fp);
    ok &= writeKeyAndUInt64(fd, "lr", thread->lr);
    ok &= writeKeyAndUInt64(fd, "sp", thread->sp);
    ok &= writeKeyAndUInt64(fd, "pc", thread->pc);
    ok &= writeKeyAndUInt32(fd, "cpsr", thread->cpsr);
    ok &= writeKeyAndUInt64(fd, "far", exception->far);
    ok &= writeKeyAndUInt32(fd, "esr", exception->esr);
    ok &= writeKeyAndUInt32(fd, "exception", exception->exception);
    return ok;
}

}  // namespace bb
