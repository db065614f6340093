#include "beta/BBRemoteLog.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "beta/BBMessagePackDescriptor.h"

namespace bb {

namespace {

constexpr char kSentMarker[5] = {'s', 'e', 'n', 't', '\0'};
constexpr std::uint32_t kHeaderSize = 5;  // dd + 32-bit count
constexpr std::size_t kPathCapacity = sizeof(BBRemoteLog::path) + 16;

// Appends `text` to the NUL-terminated `out`; false when it does not fit.
bool appendText(char* out, std::size_t capacity, const char* text) {
    const std::uint64_t used = bb_mp_cstring_length(out);
    const std::uint64_t more = bb_mp_cstring_length(text);
    if (used + more + 1 > capacity) return false;
    std::memcpy(out + used, text, more + 1);
    return true;
}

bool writeAll(int fd, const void* bytes, std::uint64_t n) {
    return n == 0 || ::write(fd, bytes, n) == static_cast<ssize_t>(n);
}

// Entries are written at the log's known end: a positioned write costs the kernel less than one
// at the descriptor's position, and no descriptor position needs keeping.
bool writeAt(int fd, const void* bytes, std::uint64_t n, std::uint64_t offset) {
    return n == 0 || ::pwrite(fd, bytes, n, static_cast<off_t>(offset)) == static_cast<ssize_t>(n);
}

ssize_t readUpTo(int fd, unsigned char* bytes, std::size_t n) {
    std::size_t got = 0;
    while (got < n) {
        const ssize_t r = ::read(fd, bytes + got, n - got);
        if (r < 0 && errno == EINTR) continue;
        if (r < 0) return -1;
        if (r == 0) break;
        got += static_cast<std::size_t>(r);
    }
    return static_cast<ssize_t>(got);
}

// "<path>.<extension>" of a session's log; false when the directory and id did not fit.
bool sessionFilePath(char* out, const char* directory, const char* sessionID, const char* extension) {
    if (bb_log_build_path(out, kPathCapacity, directory, sessionID) != 0) return false;
    return appendText(out, kPathCapacity, ".") && appendText(out, kPathCapacity, extension);
}

// Rewrites the count in place. The header is kept mapped (shared with the file's cache, so that
// readers and a crash see it at once): appending then costs a single system call, the entry's
// write. Without the mapping it is written without moving the descriptor off the file's end.
bool writeCountHeader(BBRemoteLog* log) {
    const std::uint32_t n = log->count;
    const unsigned char header[kHeaderSize] = {0xdd, static_cast<unsigned char>(n >> 24), static_cast<unsigned char>(n >> 16),
                                               static_cast<unsigned char>(n >> 8), static_cast<unsigned char>(n)};
    if (log->header_map) {
        std::memcpy(log->header_map, header, sizeof header);
        return true;
    }
    return ::pwrite(log->uncompressed_file, header, sizeof header, 0) == static_cast<ssize_t>(sizeof header);
}

void unmapHeader(BBRemoteLog* log) {
    if (log->header_map) ::munmap(log->header_map, kHeaderSize);
    log->header_map = nullptr;
}

void mapHeader(BBRemoteLog* log) {
    void* map = ::mmap(nullptr, kHeaderSize, PROT_READ | PROT_WRITE, MAP_SHARED, log->uncompressed_file, 0);
    log->header_map = map == MAP_FAILED ? nullptr : static_cast<unsigned char*>(map);
}

// Moves the .ulog's entries (from data_offset to its end) into one new stream of the .zlog. On
// failure the .zlog is cut back to where the stream began.
bool compressPendingRun(BBRemoteLog* log) {
    if (::lseek(log->uncompressed_file, log->data_offset, SEEK_SET) == -1) return false;
    const int zlog = bb_log_open_file(log, "zlog", O_WRONLY | O_CREAT | O_APPEND);
    if (zlog == -1) return false;
    const off_t streamStart = ::lseek(zlog, 0, SEEK_END);
    const bool ok = streamStart != -1 && bb_log_compress(log->uncompressed_file, zlog) == 0;
    if (!ok && streamStart != -1) (void)::ftruncate(zlog, streamStart);
    ::close(zlog);
    return ok;
}

// Leaves the .ulog as it was before a failed append: its entries and its count.
int undoAppend(BBRemoteLog* log) {
    (void)::ftruncate(log->uncompressed_file, log->end_offset);
    return -1;
}

// Empties the .ulog down to its count header once its entries went into the .zlog. The file is
// cut, not reopened: it keeps its descriptor and header mapping, is never without its header
// (the count in it is still right), and is never truncated to nothing, which makes some file
// systems write back the file on its next close, in the logging thread.
bool restartRun(BBRemoteLog* log) {
    if (::ftruncate(log->uncompressed_file, kHeaderSize) != 0 || !writeCountHeader(log)) return false;
    log->data_offset = log->end_offset = kHeaderSize;
    return true;
}

bool copyRest(int from, int to, std::uint64_t* copied) {
    unsigned char buffer[512];
    for (;;) {
        const ssize_t n = ::read(from, buffer, sizeof buffer);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) return false;
        if (n == 0) return true;
        if (!writeAll(to, buffer, static_cast<std::uint64_t>(n))) return false;
        *copied += static_cast<std::uint64_t>(n);
    }
}

int copyLogAsRaw(int ulog, int zlog, int fd, const unsigned char* header, std::uint64_t* written) {
    const off_t start = ::lseek(fd, 0, SEEK_CUR);
    std::uint64_t length = kHeaderSize;
    bool ok = start != -1 && bb_mp_fd_write_raw32_header(fd, 0) == 1 && writeAll(fd, header, kHeaderSize);
    ok = ok && (zlog == -1 || copyRest(zlog, fd, &length)) && copyRest(ulog, fd, &length);
    ok = ok && length <= 0xffffffffu && ::lseek(fd, start, SEEK_SET) == start &&
         bb_mp_fd_write_raw32_header(fd, static_cast<std::uint32_t>(length)) == 1 && ::lseek(fd, 0, SEEK_END) != -1;
    if (!ok) {
        *written = ~std::uint64_t{0};
        return -1;
    }
    *written = length + kHeaderSize;
    return 0;
}

}  // namespace

int bb_log_build_path(char* out, std::size_t capacity, const char* directory, const char* sessionID) {
    if (!out || !directory || !sessionID) return -1;
    if (bb_mp_cstring_length(directory) + bb_mp_cstring_length(sessionID) + 12 > capacity) return -1;
    out[0] = '\0';
    appendText(out, capacity, directory);
    appendText(out, capacity, "/logs/");
    appendText(out, capacity, sessionID);
    return 0;
}

void bb_log_store_setup(BBRemoteLog* log, const char* directory, const char* sessionID) {
    char logs[kPathCapacity] = {};
    if (directory && appendText(logs, sizeof logs, directory) && appendText(logs, sizeof logs, "/logs/")) {
        ::mkdir(logs, 0755);  // an existing directory is fine
    }
    log->uncompressed_file = -1;
    log->count = 0;
    log->data_offset = 0;
    log->end_offset = 0;
    log->header_map = nullptr;
    log->path_set = bb_log_build_path(log->path, sizeof log->path, directory, sessionID);
}

int bb_log_open_file(const BBRemoteLog* log, const char* extension, int flags) {
    if (log->path_set != 0) return -1;
    char path[kPathCapacity] = {};
    if (!appendText(path, sizeof path, log->path) || !appendText(path, sizeof path, ".") ||
        !appendText(path, sizeof path, extension)) {
        return -1;
    }
    return ::open(path, flags, 0644);
}

int bb_log_open(BBRemoteLog* log) {
    unmapHeader(log);
    if (log->uncompressed_file != -1) ::close(log->uncompressed_file);
    log->uncompressed_file = bb_log_open_file(log, "ulog", O_RDWR | O_CREAT | O_TRUNC);
    if (log->uncompressed_file == -1) return -1;
    if (bb_mp_fd_write_array32_header(log->uncompressed_file, log->count) != 1) return -1;
    log->data_offset = log->end_offset = kHeaderSize;
    mapHeader(log);
    return 0;
}

void bb_log_close(BBRemoteLog* log) {
    if (log->path_set == 0 && log->uncompressed_file != -1) {
        unmapHeader(log);
        ::close(log->uncompressed_file);
        log->uncompressed_file = -1;
    }
}

int bb_log_append(BBRemoteLog* log, const void* bytes, std::uint64_t length) {
    if (log->uncompressed_file == -1) return kBBLogNotOpen;
    if (log->end_offset + length > 0xffffffffu) return kBBLogTooLarge;
    const auto* b = static_cast<const unsigned char*>(bytes);
    const std::uint64_t pending = log->end_offset - log->data_offset;
    const std::uint64_t total = pending + length;
    int result = 0;
    std::uint64_t end = log->end_offset + length;
    if (total < kBBLogRunSize) {
        if (!writeAt(log->uncompressed_file, b, length, log->end_offset)) return undoAppend(log);
    } else {
        // The entry's head completes the run(s) that go into the .zlog; its tail starts a fresh .ulog.
        const std::uint64_t head = total / kBBLogRunSize * kBBLogRunSize - pending;
        if (!writeAt(log->uncompressed_file, b, head, log->end_offset) || !compressPendingRun(log)) return undoAppend(log);
        if (!restartRun(log)) return -1;
        if (!writeAt(log->uncompressed_file, b + head, length - head, log->end_offset)) result = -1;
        end = log->end_offset + (length - head);
    }
    log->count += 1;
    writeCountHeader(log);
    log->end_offset = static_cast<std::uint32_t>(end);
    return result;
}

int bb_log_compress(int source, int target) {
    z_stream stream{};
    if (deflateInit(&stream, Z_DEFAULT_COMPRESSION) != Z_OK) return -1;
    unsigned char in[kBBLogRunSize];
    unsigned char out[kBBLogRunSize];
    int result = 0;
    int flush = Z_NO_FLUSH;
    while (result == 0 && flush != Z_FINISH) {
        const ssize_t n = readUpTo(source, in, sizeof in);
        unsigned char probe;
        const ssize_t more = n < 0 ? -1 : ::read(source, &probe, 1);
        if (n < 0 || more < 0) {
            result = -1;
            break;
        }
        if (more == 1) ::lseek(source, -1, SEEK_CUR);
        flush = more == 1 ? Z_NO_FLUSH : Z_FINISH;
        stream.next_in = in;
        stream.avail_in = static_cast<uInt>(n);
        do {
            stream.next_out = out;
            stream.avail_out = sizeof out;
            deflate(&stream, flush);
            if (!writeAll(target, out, sizeof out - stream.avail_out)) {
                result = -1;
                break;
            }
        } while (stream.avail_out == 0);
    }
    deflateEnd(&stream);
    return result;
}

int bb_log_append_entry(BBRemoteLog* log, std::string_view text, std::int64_t seconds) {
    if (text.size() > 0xffffffffu) return kBBLogTooLarge;
    const std::uint64_t rawHeader = text.size() < 32 ? 1 : text.size() < 65536 ? 3 : 5;
    const std::uint64_t size = 23 + rawHeader + text.size();
    if (size > 0xffffffffu) return kBBLogTooLarge;

    unsigned char small[1024];
    unsigned char* entry = size <= sizeof small ? small : static_cast<unsigned char*>(std::malloc(size));
    if (!entry) return errno ? errno : ENOMEM;
    static constexpr unsigned char kTime[] = {0x82, 0xa4, 'T', 'i', 'm', 'e', 0xd3};
    static constexpr unsigned char kMessage[] = {0xa7, 'M', 'e', 's', 's', 'a', 'g', 'e'};
    unsigned char* p = entry;
    std::memcpy(p, kTime, sizeof kTime);
    p += sizeof kTime;
    for (int i = 7; i >= 0; --i) *p++ = static_cast<unsigned char>(static_cast<std::uint64_t>(seconds) >> (8 * i));
    std::memcpy(p, kMessage, sizeof kMessage);
    p += sizeof kMessage;
    const auto n = static_cast<std::uint32_t>(text.size());
    if (rawHeader == 1) {
        *p++ = static_cast<unsigned char>(0xa0 | n);
    } else {
        *p++ = rawHeader == 3 ? 0xda : 0xdb;
        for (int i = static_cast<int>(rawHeader) - 2; i >= 0; --i) *p++ = static_cast<unsigned char>(n >> (8 * i));
    }
    if (n) std::memcpy(p, text.data(), n);
    const int result = bb_log_append(log, entry, size);
    if (entry != small) std::free(entry);
    return result;
}

bool bb_log_file_is_sent(const char* ulogPath) {
    const int fd = ::open(ulogPath, O_RDONLY);
    if (fd == -1) return false;
    unsigned char head[kHeaderSize];
    const bool sent = readUpTo(fd, head, sizeof head) == static_cast<ssize_t>(sizeof head) &&
                      std::memcmp(head, kSentMarker, sizeof head) == 0;
    ::close(fd);
    return sent;
}

int bb_log_copy_to_fd(const char* directory, const char* sessionID, int fd, int hurry, std::uint64_t* written) {
    std::uint64_t ignored;
    if (!written) written = &ignored;
    *written = 0;
    char ulogPath[kPathCapacity] = {};
    char zlogPath[kPathCapacity] = {};
    if (fd == -1 || !sessionFilePath(ulogPath, directory, sessionID, "ulog") ||
        !sessionFilePath(zlogPath, directory, sessionID, "zlog")) {
        return -1;
    }
    const int ulog = ::open(ulogPath, O_RDONLY);
    const int zlog = ::open(zlogPath, O_RDONLY);
    int result = -1;
    unsigned char header[kHeaderSize];
    if (ulog == -1) {
        result = bb_mp_fd_write_array_header(fd, 0) == 1 ? 0 : -1;
        *written = result == 0 ? 1 : 0;
    } else if (hurry == 1 && zlog != -1) {
        // At crash time only logs that never rolled over are sent.
    } else if (readUpTo(ulog, header, sizeof header) != static_cast<ssize_t>(sizeof header) ||
               std::memcmp(header, kSentMarker, sizeof header) == 0) {
        // Unreadable, or already delivered.
    } else {
        result = copyLogAsRaw(ulog, zlog, fd, header, written);
    }
    if (ulog != -1) ::close(ulog);
    if (zlog != -1) ::close(zlog);
    return result;
}

void bb_log_mark_sent(const char* directory, const char* sessionID) {
    char path[kPathCapacity] = {};
    if (!sessionFilePath(path, directory, sessionID, "ulog")) return;
    const int fd = ::open(path, O_WRONLY);
    if (fd == -1) return;
    (void)writeAll(fd, kSentMarker, sizeof kSentMarker);
    ::close(fd);
}

}  // namespace bb
