#include "beta/BBTaskThreads.h"

#include <fcntl.h>
#include <linux/futex.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>
#include <csignal>
#include <ctime>

#include "beta/BBRegisterState.h"
#include "beta/BBSignalSafeText.h"
#include "beta/BBStackWalker.h"
#include "beta/BBTextLine.h"

namespace bb {

namespace {

enum SlotState : int { kIdle = 0, kRequested = 1, kRecorded = 2 };

struct Slot {
    std::atomic<pid_t> tid{0};
    std::atomic<int> state{kIdle};
    std::uint32_t resumeGeneration = 0;  // the generation the thread waits to see pass
    BBThreadSnapshot snapshot;
};

Slot gSlots[BBTaskThreads::kCapacity];
std::size_t gSlotCount = 0;
std::atomic<std::uint32_t> gResumeGeneration{0};
int gStopSignal = 0;

static_assert(sizeof(std::atomic<std::uint32_t>) == sizeof(std::uint32_t), "a futex word is 32 bits");

std::uint32_t* futexWord() { return reinterpret_cast<std::uint32_t*>(&gResumeGeneration); }

void futexWait(std::uint32_t expected) {
    ::syscall(SYS_futex, futexWord(), FUTEX_WAIT_PRIVATE, expected, nullptr, nullptr, 0);
}

void futexWakeAll() { ::syscall(SYS_futex, futexWord(), FUTEX_WAKE_PRIVATE, INT_MAX, nullptr, nullptr, 0); }

ssize_t readSome(int fd, char* bytes, std::size_t n) {
    for (;;) {
        const ssize_t got = ::read(fd, bytes, n);
        if (got < 0 && errno == EINTR) continue;
        return got;
    }
}

// The thread records its state, then waits until the crash path resumes it. A stop request that
// arrives after the resume (or was never made for this thread) is ignored.
void stopHandler(int, siginfo_t*, void* context) {
    const int savedErrno = errno;
    const pid_t self = BBTaskThreads::currentThreadID();
    Slot* slot = nullptr;
    for (std::size_t i = 0; i < gSlotCount; ++i) {
        if (gSlots[i].tid.load(std::memory_order_acquire) == self) slot = &gSlots[i];
    }
    if (slot && slot->state.load(std::memory_order_acquire) == kRequested &&
        gResumeGeneration.load() == slot->resumeGeneration) {
        BBThreadSnapshot& shot = slot->snapshot;
        BBThreadRegisters registers;
        if (bb_thread_registers_from_context(context, &registers)) {
            shot.pc = registers.pc;
            shot.sp = registers.sp;
            shot.fp = registers.fp;
        }
        shot.frameCount = static_cast<std::uint32_t>(bb_unwind_stack(shot.frames, kBBMaxFrames, shot.pc, 0));
        slot->state.store(kRecorded, std::memory_order_release);
        while (gResumeGeneration.load() == slot->resumeGeneration) futexWait(slot->resumeGeneration);
    }
    errno = savedErrno;
}

bool allRecorded() {
    for (std::size_t i = 0; i < gSlotCount; ++i) {
        if (gSlots[i].state.load(std::memory_order_acquire) == kRequested) return false;
    }
    return true;
}

void waitForStops() {
    timespec start;
    ::clock_gettime(CLOCK_MONOTONIC, &start);
    const timespec pause{0, 200'000};
    for (;;) {
        if (allRecorded()) return;
        timespec now;
        ::clock_gettime(CLOCK_MONOTONIC, &now);
        const long elapsed = (now.tv_sec - start.tv_sec) * 1000 + (now.tv_nsec - start.tv_nsec) / 1'000'000;
        if (elapsed >= BBTaskThreads::kStopWaitMilliseconds) return;
        ::nanosleep(&pause, nullptr);
    }
}

bool parseDecimal(const char* text, pid_t* value) {
    if (!text || *text == '\0') return false;
    long long v = 0;
    for (; *text != '\0'; ++text) {
        if (*text < '0' || *text > '9' || v > INT_MAX / 10) return false;
        v = v * 10 + (*text - '0');
    }
    *value = static_cast<pid_t>(v);
    return true;
}

int hexDigit(int c) {
    if (c >= '0' && c <= '9') return c - '0';
    if (c >= 'a' && c <= 'f') return c - 'a' + 10;
    return -1;
}

// Reads a descriptor a byte at a time through a small buffer.
struct CharReader {
    int fd;
    char buffer[512] = {};
    ssize_t have = 0;
    ssize_t position = 0;

    int next() {
        if (position == have) {
            have = readSome(fd, buffer, sizeof buffer);
            position = 0;
            if (have <= 0) {
                have = 0;
                return -1;
            }
        }
        return static_cast<unsigned char>(buffer[position++]);
    }
};

// The process's default thread name: what the system keeps of the executable's file name.
void defaultThreadName(char* out, std::size_t capacity) {
    char path[1024];
    const ssize_t n = ::readlink("/proc/self/exe", path, sizeof path - 1);
    out[0] = '\0';
    if (n <= 0) return;
    path[n] = '\0';
    BBTextLine name;
    name.append(bb_basename(path), 15);
    std::size_t i = 0;
    for (; i + 1 < capacity && name.c_str()[i] != '\0'; ++i) out[i] = name.c_str()[i];
    out[i] = '\0';
}

}  // namespace

pid_t BBTaskThreads::currentThreadID() { return static_cast<pid_t>(::syscall(SYS_gettid)); }

std::size_t BBTaskThreads::list(pid_t* tids, std::size_t capacity) {
    if (!tids || capacity == 0) return 0;
    const pid_t self = currentThreadID();
    std::size_t count = 0;
    bool selfListed = false;
    const int fd = ::open("/proc/self/task", O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd != -1) {
        alignas(8) char buffer[1024];
        for (;;) {
            const long got = ::syscall(SYS_getdents64, fd, buffer, sizeof buffer);
            if (got <= 0) break;
            for (long offset = 0; offset < got;) {
                // struct linux_dirent64: inode (8), offset (8), record length (2), type (1), name.
                unsigned short recordLength;
                __builtin_memcpy(&recordLength, buffer + offset + 16, sizeof recordLength);
                pid_t tid;
                if (parseDecimal(buffer + offset + 19, &tid) && count < capacity) {
                    tids[count++] = tid;
                    if (tid == self) selfListed = true;
                }
                offset += recordLength;
            }
        }
        ::close(fd);
    }
    if (!selfListed) {
        if (count == capacity) --count;
        tids[count++] = self;
    }
    return count;
}

std::size_t BBTaskThreads::name(pid_t tid, char* out, std::size_t capacity) {
    if (!out || capacity == 0) return 0;
    out[0] = '\0';
    BBTextLine path;
    path.append("/proc/self/task/").appendDecimal(tid).append("/comm");
    const int fd = ::open(path.c_str(), O_RDONLY | O_CLOEXEC);
    if (fd == -1) return 0;
    char comm[64] = {};
    const ssize_t got = readSome(fd, comm, sizeof comm - 1);
    ::close(fd);
    if (got <= 0) return 0;
    comm[bb_line_length(comm)] = '\0';
    char fallback[64];
    defaultThreadName(fallback, sizeof fallback);
    if (comm[0] == '\0' || bb_strcmp(comm, fallback) == 0) return 0;
    std::size_t n = 0;
    for (; n + 1 < capacity && comm[n] != '\0'; ++n) out[n] = comm[n];
    out[n] = '\0';
    return n;
}

void BBTaskThreads::installStopHandler() {
    // A real-time signal: queued, not shared with the handled crash signals, and left alone by
    // the usual hosts.
    gStopSignal = SIGRTMIN + 3;
    struct sigaction action = {};
    action.sa_sigaction = stopHandler;
    action.sa_flags = SA_SIGINFO | SA_RESTART | SA_ONSTACK;
    sigemptyset(&action.sa_mask);
    ::sigaction(gStopSignal, &action, nullptr);
    // Lets the unwinder finish its own set-up now rather than inside a handler.
    std::uintptr_t frames[4];
    (void)bb_unwind_stack(frames, 4, 0, 0);
}

void BBTaskThreads::stopOthers() {
    if (gStopSignal == 0) return;
    const pid_t self = currentThreadID();
    const pid_t process = ::getpid();
    pid_t tids[kCapacity];
    const std::size_t n = list(tids, kCapacity);
    const std::uint32_t generation = gResumeGeneration.load();
    gSlotCount = 0;
    for (std::size_t i = 0; i < n; ++i) {
        if (tids[i] == self) continue;
        Slot& slot = gSlots[gSlotCount++];
        slot.resumeGeneration = generation;
        slot.snapshot.frameCount = 0;
        slot.state.store(kRequested, std::memory_order_release);
        slot.tid.store(tids[i], std::memory_order_release);
    }
    for (std::size_t i = 0; i < gSlotCount; ++i) {
        if (::syscall(SYS_tgkill, process, gSlots[i].tid.load(), gStopSignal) != 0) {
            gSlots[i].state.store(kIdle, std::memory_order_release);
        }
    }
    waitForStops();
}

void BBTaskThreads::resumeOthers() {
    gResumeGeneration.fetch_add(1);
    futexWakeAll();
}

const BBThreadSnapshot* BBTaskThreads::snapshot(pid_t tid) {
    for (std::size_t i = 0; i < gSlotCount; ++i) {
        if (gSlots[i].tid.load(std::memory_order_acquire) == tid &&
            gSlots[i].state.load(std::memory_order_acquire) == kRecorded) {
            return &gSlots[i].snapshot;
        }
    }
    return nullptr;
}

bool BBTaskThreads::stackBounds(std::uintptr_t address, std::uintptr_t* bottom, std::uintptr_t* top) {
    const int fd = ::open("/proc/self/maps", O_RDONLY | O_CLOEXEC);
    if (fd == -1) return false;
    // Each line begins "start-end "; the rest of the line is skipped.
    CharReader reader{fd};
    bool found = false;
    for (int c = 0; c != -1 && !found;) {
        std::uintptr_t low = 0;
        std::uintptr_t high = 0;
        while ((c = reader.next()) != -1 && hexDigit(c) >= 0) low = (low << 4) | static_cast<std::uintptr_t>(hexDigit(c));
        if (c == '-') {
            while ((c = reader.next()) != -1 && hexDigit(c) >= 0) {
                high = (high << 4) | static_cast<std::uintptr_t>(hexDigit(c));
            }
            if (address >= low && address < high) {
                *bottom = low;
                *top = high;
                found = true;
            }
        }
        while (c != -1 && c != '\n') c = reader.next();
    }
    ::close(fd);
    return found;
}

}  // namespace bb
