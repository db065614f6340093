#include "beta/BBTaskThreads.h"

#include <fcntl.h>
#include <sys/syscall.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <climits>

#include "beta/BBRegisterState.h"
#include "beta/BBSignalSafeText.h"
#include "beta/BBStackWalker.h"
#include "beta/BBTextLine.h"

namespace bb {

namespace {

struct Slot {
    std::atomic<pid_t> tid{0};  // set once the snapshot is complete
    BBThreadSnapshot snapshot;
};

Slot gSlots[BBTaskThreads::kCapacity];
std::atomic<std::size_t> gSlotsTaken{0};

ssize_t readSome(int fd, char* bytes, std::size_t n) {
    for (;;) {
        const ssize_t got = ::read(fd, bytes, n);
        if (got < 0 && errno == EINTR) continue;
        return got;
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

void BBTaskThreads::forgetSnapshots() {
    const std::size_t taken = gSlotsTaken.exchange(0);
    for (std::size_t i = 0; i < taken && i < kCapacity; ++i) gSlots[i].tid.store(0, std::memory_order_relaxed);
}

void BBTaskThreads::recordCurrentThread(const void* context) {
    const std::size_t index = gSlotsTaken.fetch_add(1);
    if (index >= kCapacity) return;
    Slot& slot = gSlots[index];
    BBThreadSnapshot& shot = slot.snapshot;
    shot = BBThreadSnapshot{};
    BBThreadRegisters registers;
    if (bb_thread_registers_from_context(context, &registers)) {
        shot.pc = registers.pc;
        shot.sp = registers.sp;
        shot.fp = registers.fp;
    }
    shot.frameCount = static_cast<std::uint32_t>(bb_unwind_stack(shot.frames, kBBMaxFrames, shot.pc, 0));
    slot.tid.store(currentThreadID(), std::memory_order_release);
}

const BBThreadSnapshot* BBTaskThreads::snapshot(pid_t tid) {
    const std::size_t taken = gSlotsTaken.load();
    for (std::size_t i = 0; i < taken && i < kCapacity; ++i) {
        if (tid != 0 && gSlots[i].tid.load(std::memory_order_acquire) == tid) return &gSlots[i].snapshot;
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
