#include "beta/BBAlternateSignalStack.h"

#include <sys/mman.h>
#include <unistd.h>

#include <csignal>

namespace bb {

namespace {

// The mapping given to one thread, disabled and unmapped when the thread ends.
class ThreadSignalStack {
public:
    ThreadSignalStack() = default;
    ThreadSignalStack(const ThreadSignalStack&) = delete;
    ThreadSignalStack& operator=(const ThreadSignalStack&) = delete;
    ~ThreadSignalStack() { release(); }

    bool install() {
        const auto page = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
        const std::size_t length = BBAlternateSignalStack::kSize + page;
        void* mapping = ::mmap(nullptr, length, PROT_READ | PROT_WRITE, MAP_PRIVATE | MAP_ANONYMOUS | MAP_STACK, -1, 0);
        if (mapping == MAP_FAILED) return false;
        // A handler that runs past the end of its stack faults on the guard page instead of
        // writing over whatever lies below.
        ::mprotect(mapping, page, PROT_NONE);
        stack_t stack = {};
        stack.ss_sp = static_cast<char*>(mapping) + page;
        stack.ss_size = BBAlternateSignalStack::kSize;
        if (::sigaltstack(&stack, nullptr) != 0) {
            ::munmap(mapping, length);
            return false;
        }
        release();
        mapping_ = mapping;
        length_ = length;
        stack_ = stack.ss_sp;
        return true;
    }

private:
    void release() {
        if (!mapping_) return;
        stack_t current = {};
        if (::sigaltstack(nullptr, &current) == 0 && current.ss_sp == stack_) {
            // Still in use by a handler running on it: leave it mapped.
            if ((current.ss_flags & SS_ONSTACK) != 0) return;
            stack_t off = {};
            off.ss_flags = SS_DISABLE;
            ::sigaltstack(&off, nullptr);
        }
        ::munmap(mapping_, length_);
        mapping_ = nullptr;
    }

    void* mapping_ = nullptr;
    std::size_t length_ = 0;
    void* stack_ = nullptr;
};

thread_local ThreadSignalStack threadStack;

}  // namespace

bool BBAlternateSignalStack::prepareCurrentThread() {
    if (currentThreadStackSize() >= kSize) return true;
    return threadStack.install();
}

std::size_t BBAlternateSignalStack::currentThreadStackSize() {
    stack_t current = {};
    if (::sigaltstack(nullptr, &current) != 0 || (current.ss_flags & SS_DISABLE) != 0) return 0;
    return current.ss_size;
}

}  // namespace bb
