#include "CountingAllocator.h"

#include <pthread.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cstddef>

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define CRASH_HOST_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define CRASH_HOST_SANITIZED 1
#endif

namespace crashhost {

namespace {

std::atomic<long> armedThread{0};
std::atomic<int> countDescriptor{-1};
std::atomic<bool> lockHeld{false};
pthread_mutex_t allocatorLock = PTHREAD_MUTEX_INITIALIZER;

void* holdForever(void*) {
    pthread_mutex_lock(&allocatorLock);
    lockHeld.store(true);
    for (;;) ::pause();
}

}  // namespace

// Called on every allocation, before the lock is taken, so that an allocation is counted even
// when it then waits.
void noteAllocation() {
    const long armed = armedThread.load(std::memory_order_relaxed);
    if (armed == 0 || armed != ::syscall(SYS_gettid)) return;
    const char mark = 'A';
    (void)!::write(countDescriptor.load(), &mark, 1);
}

void lockAllocator() { pthread_mutex_lock(&allocatorLock); }
void unlockAllocator() { pthread_mutex_unlock(&allocatorLock); }

void armAllocationCount(int countFD) {
    countDescriptor.store(countFD);
    armedThread.store(::syscall(SYS_gettid));
}

void holdAllocatorLockOnAnotherThread() {
    pthread_t holder;
    pthread_create(&holder, nullptr, holdForever, nullptr);
    while (!lockHeld.load()) ::sched_yield();
}

#ifdef CRASH_HOST_SANITIZED
bool countingAllocatorInstalled() { return false; }
#else
bool countingAllocatorInstalled() { return true; }
#endif

}  // namespace crashhost

#ifndef CRASH_HOST_SANITIZED

extern "C" {
void* __libc_malloc(std::size_t size);
void* __libc_calloc(std::size_t count, std::size_t size);
void* __libc_realloc(void* pointer, std::size_t size);
void* __libc_memalign(std::size_t alignment, std::size_t size);
void __libc_free(void* pointer);
}

namespace {

// Runs one allocator call under the lock.
template <class Call>
auto locked(Call call) {
    crashhost::noteAllocation();
    crashhost::lockAllocator();
    auto result = call();
    crashhost::unlockAllocator();
    return result;
}

}  // namespace

extern "C" {

void* malloc(std::size_t size) {
    return locked([&] { return __libc_malloc(size); });
}

void* calloc(std::size_t count, std::size_t size) {
    return locked([&] { return __libc_calloc(count, size); });
}

void* realloc(void* pointer, std::size_t size) {
    return locked([&] { return __libc_realloc(pointer, size); });
}

void* memalign(std::size_t alignment, std::size_t size) {
    return locked([&] { return __libc_memalign(alignment, size); });
}

void* aligned_alloc(std::size_t alignment, std::size_t size) { return memalign(alignment, size); }

int posix_memalign(void** out, std::size_t alignment, std::size_t size) {
    void* pointer = memalign(alignment, size);
    if (!pointer) return 12;  // ENOMEM
    *out = pointer;
    return 0;
}

void* valloc(std::size_t size) { return memalign(static_cast<std::size_t>(::sysconf(_SC_PAGESIZE)), size); }

void free(void* pointer) {
    if (!pointer) return;
    crashhost::lockAllocator();
    __libc_free(pointer);
    crashhost::unlockAllocator();
}

}  // extern "C"

#endif
