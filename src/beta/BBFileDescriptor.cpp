#include "beta/BBFileDescriptor.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>

namespace bb {

namespace {

bool writeAll(int fd, const char* bytes, std::int64_t n) {
    while (n > 0) {
        const ssize_t put = ::write(fd, bytes, static_cast<std::size_t>(n));
        if (put < 0 && errno == EINTR) continue;
        if (put <= 0) return false;
        bytes += put;
        n -= put;
    }
    return true;
}

ssize_t readSome(int fd, char* bytes, std::size_t n) {
    for (;;) {
        const ssize_t got = ::read(fd, bytes, n);
        if (got < 0 && errno == EINTR) continue;
        return got;
    }
}

}  // namespace

int bb_open_create(const char* path) {
    if (!path) return -1;
    return ::open(path, O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
}

int bb_open_rw(const char* path) {
    if (!path) return -1;
    return ::open(path, O_RDWR | O_CLOEXEC);
}

void bb_close(int fd) {
    if (fd != -1) ::close(fd);
}

std::int64_t bb_copy_fd(int from, int to) {
    if (from == -1 || to == -1) return -1;
    char buffer[512];
    std::int64_t copied = 0;
    for (;;) {
        const ssize_t got = readSome(from, buffer, sizeof buffer);
        if (got < 0) return -1;
        if (got == 0) return copied;
        if (!writeAll(to, buffer, got)) return -1;
        copied += got;
    }
}

int bb_mark_sent(const char* path) {
    if (!path) return -1;
    const int fd = ::open(path, O_WRONLY | O_CLOEXEC);
    if (fd == -1) return -1;
    const bool written = writeAll(fd, kBBSentMarker, sizeof kBBSentMarker);
    ::close(fd);
    return written ? 0 : -1;
}

int bb_check_sent(const char* path) {
    if (!path) return 1;
    const int fd = ::open(path, O_RDONLY | O_CLOEXEC);
    if (fd == -1) return 1;
    char head[sizeof kBBSentMarker];
    std::size_t have = 0;
    while (have < sizeof head) {
        const ssize_t got = readSome(fd, head + have, sizeof head - have);
        if (got <= 0) break;
        have += static_cast<std::size_t>(got);
    }
    ::close(fd);
    if (have != sizeof head) return 1;
    for (std::size_t i = 0; i < sizeof head; ++i) {
        if (head[i] != kBBSentMarker[i]) return 1;
    }
    return 0;
}

}  // namespace bb
