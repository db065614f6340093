#include "beta/BBMessagePackDescriptor.h"

#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace bb {

namespace {

bool writeAll(int fd, const void* bytes, std::uint64_t n) {
    if (n == 0) return true;
    return ::write(fd, bytes, n) == static_cast<ssize_t>(n);
}

bool readAll(int fd, void* bytes, std::uint64_t n) {
    auto* p = static_cast<unsigned char*>(bytes);
    while (n > 0) {
        const ssize_t got = ::read(fd, p, n);
        if (got < 0 && errno == EINTR) continue;
        if (got <= 0) return false;
        p += got;
        n -= static_cast<std::uint64_t>(got);
    }
    return true;
}

int writeLeadAndBigEndian(int fd, unsigned char lead, std::uint64_t v, int width) {
    if (fd == -1) return 0;
    unsigned char bytes[9];
    bytes[0] = lead;
    for (int i = 0; i < width; ++i) bytes[1 + i] = static_cast<unsigned char>(v >> (8 * (width - 1 - i)));
    return writeAll(fd, bytes, 1 + width) ? 1 : 0;
}

int writeSizedHeader(int fd, std::uint32_t n, std::uint32_t fixMax, unsigned char fixBase, unsigned char lead16,
                     unsigned char lead32) {
    if (n <= fixMax) return writeLeadAndBigEndian(fd, static_cast<unsigned char>(fixBase + n), 0, 0);
    if (n < 65536) return writeLeadAndBigEndian(fd, lead16, n, 2);
    return writeLeadAndBigEndian(fd, lead32, n, 4);
}

// Reads the lead byte and `width` bytes after it; false unless the lead is `expected`.
bool readLeadAndBigEndian(int fd, unsigned char expected, int width, std::uint64_t& value) {
    if (fd == -1) return false;
    unsigned char bytes[9];
    if (!readAll(fd, bytes, 1) || bytes[0] != expected || !readAll(fd, bytes + 1, width)) return false;
    value = 0;
    for (int i = 0; i < width; ++i) value = (value << 8) | bytes[1 + i];
    return true;
}

}  // namespace

std::uint64_t bb_mp_cstring_length(const char* text) {
    std::uint64_t n = 0;
    while (text[n] != '\0') ++n;
    return n;
}

int bb_mp_fd_write_uint32(int fd, std::uint32_t v) { return writeLeadAndBigEndian(fd, 0xce, v, 4); }
int bb_mp_fd_write_uint64(int fd, std::uint64_t v) { return writeLeadAndBigEndian(fd, 0xcf, v, 8); }
int bb_mp_fd_write_int32(int fd, std::int32_t v) { return writeLeadAndBigEndian(fd, 0xd2, static_cast<std::uint32_t>(v), 4); }
int bb_mp_fd_write_int64(int fd, std::int64_t v) { return writeLeadAndBigEndian(fd, 0xd3, static_cast<std::uint64_t>(v), 8); }

int bb_mp_fd_write_double(int fd, double v) {
    std::uint64_t bits;
    std::memcpy(&bits, &v, 8);
    return writeLeadAndBigEndian(fd, 0xcb, bits, 8);
}

int bb_mp_fd_write_nil(int fd) { return writeLeadAndBigEndian(fd, 0xc0, 0, 0); }

int bb_mp_fd_write_cstring(int fd, const char* text) {
    if (fd == -1 || !text) return 0;
    return bb_mp_fd_write_raw(fd, text, bb_mp_cstring_length(text));
}

int bb_mp_fd_write_raw(int fd, const void* bytes, std::uint64_t length) {
    if (fd == -1 || !bytes) return 0;
    if (length > 0xffffffffu) return writeSizedHeader(fd, 0, 31, 0xa0, 0xda, 0xdb);
    if (!writeSizedHeader(fd, static_cast<std::uint32_t>(length), 31, 0xa0, 0xda, 0xdb)) return 0;
    return writeAll(fd, bytes, length) ? 1 : 0;
}

int bb_mp_fd_write_raw32_header(int fd, std::uint32_t length) { return writeLeadAndBigEndian(fd, 0xdb, length, 4); }
int bb_mp_fd_write_array_header(int fd, std::uint32_t count) { return writeSizedHeader(fd, count, 15, 0x90, 0xdc, 0xdd); }
int bb_mp_fd_write_array32_header(int fd, std::uint32_t count) { return writeLeadAndBigEndian(fd, 0xdd, count, 4); }
int bb_mp_fd_write_map_header(int fd, std::uint32_t count) { return writeSizedHeader(fd, count, 15, 0x80, 0xde, 0xdf); }

std::uint32_t bb_mp_fd_read_uint32(int fd) {
    std::uint64_t v;
    return readLeadAndBigEndian(fd, 0xce, 4, v) ? static_cast<std::uint32_t>(v) : 0xffffffffu;
}

std::int32_t bb_mp_fd_read_int32(int fd) {
    std::uint64_t v;
    return readLeadAndBigEndian(fd, 0xd2, 4, v) ? static_cast<std::int32_t>(static_cast<std::uint32_t>(v)) : -1;
}

double bb_mp_fd_read_double(int fd) {
    std::uint64_t v;
    if (!readLeadAndBigEndian(fd, 0xcb, 8, v)) return -1.0;
    double d;
    std::memcpy(&d, &v, 8);
    return d;
}

std::uint32_t bb_mp_fd_read_raw(int fd, void* buffer, std::uint32_t capacity) {
    if (fd == -1) return 0xffffffffu;
    unsigned char lead;
    if (!readAll(fd, &lead, 1) || ::lseek(fd, -1, SEEK_CUR) == -1) return 0xffffffffu;
    std::uint32_t failure = 0xffffffffu;
    std::uint64_t length = 0;
    if (lead >= 0xa0 && lead <= 0xbf) {
        failure = 255;
        length = lead & 0x1f;
        if (!readAll(fd, &lead, 1)) return failure;
    } else if (lead == 0xda) {
        failure = 65535;
        if (!readLeadAndBigEndian(fd, 0xda, 2, length)) return failure;
    } else if (lead == 0xdb) {
        if (!readLeadAndBigEndian(fd, 0xdb, 4, length)) return failure;
    } else {
        return failure;
    }
    if (length > capacity || !buffer) return failure;
    auto* out = static_cast<unsigned char*>(buffer);
    if (capacity > 0 && out[0] != 0) std::memset(out, 0, capacity);
    return readAll(fd, out, length) ? static_cast<std::uint32_t>(length) : failure;
}

std::uint32_t bb_mp_fd_read_fixarray_count(int fd) {
    if (fd == -1) return 255;
    unsigned char lead;
    if (!readAll(fd, &lead, 1) || lead < 0x90 || lead > 0x9f) return 255;
    return lead & 0x0f;
}

std::uint32_t bb_mp_fd_read_array32_count(int fd) {
    std::uint64_t v;
    return readLeadAndBigEndian(fd, 0xdd, 4, v) ? static_cast<std::uint32_t>(v) : 0xffffffffu;
}

}  // namespace bb
