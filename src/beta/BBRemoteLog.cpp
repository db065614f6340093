#include "beta/BBRemoteLog.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>
#include <zlib.h>

#include <atomic>
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

// Runs `in` through the deflate stream into `target`, with `out` (kBBLogRunSize bytes) to
// gather its output: false when a write failed.
bool deflateInto(z_stream& stream, const unsigned char* in, std::uint64_t n, int flush, int target, unsigned char* out) {
    stream.next_in = const_cast<unsigned char*>(in);
    stream.avail_in = static_cast<uInt>(n);
    do {
        stream.next_out = out;
        stream.avail_out = kBBLogRunSize;
        deflate(&stream, flush);
        if (!writeAll(target, out, kBBLogRunSize - stream.avail_out)) return false;
    } while (stream.avail_out == 0);
    return true;
}

// Moves the run held in memory, followed by the first `headLength` bytes of the entry that
// completes it, into one new stream at the end of the .zlog. On failure the .zlog is cut back to
// where the stream began.
bool compressRun(BBRemoteLog* log, const unsigned char* head, std::uint64_t headLength) {
    const int zlog = bb_log_open_file(log, "zlog", O_WRONLY | O_CREAT | O_APPEND);
    if (zlog == -1) return false;
    const off_t streamStart = ::lseek(zlog, 0, SEEK_END);
    bool ok = false;
    z_stream stream{};
    if (streamStart != -1 && deflateInit(&stream, Z_DEFAULT_COMPRESSION) == Z_OK) {
        unsigned char out[kBBLogRunSize];
        ok = deflateInto(stream, log->run, log->end_offset - log->data_offset, Z_NO_FLUSH, zlog, out) &&
             deflateInto(stream, head, headLength, Z_FINISH, zlog, out);
        deflateEnd(&stream);
    }
    if (!ok && streamStart != -1) (void)::ftruncate(zlog, streamStart);
    ::close(zlog);
    return ok;
}

// Empties the .ulog down to its count header once its entries went into the .zlog. The file is
// cut, not reopened: it keeps its descriptor and header mapping, is never without its header
// (the count in it is still right), and is never truncated to nothing, which makes some file
// systems write back the file on its next close, in the logging thread.
bool restartRun(BBRemoteLog* log) {
    if (::ftruncate(log->uncompressed_file, kHeaderSize) != 0 || !writeCountHeader(log)) return false;
    log->data_offset = log->flushed_offset = kHeaderSize;
    __atomic_store_n(&log->end_offset, kHeaderSize, __ATOMIC_RELEASE);
    return true;
}

// Writes the entries held in memory, then the count. Writing the same bytes at the same place
// again is harmless, so a crash that stopped this half way can run it again.
bool flushHeld(BBRemoteLog* log) {
    const std::uint32_t end = __atomic_load_n(&log->end_offset, __ATOMIC_ACQUIRE);
    const std::uint32_t from = log->flushed_offset;
    // Held bytes lie in the run buffer, which holds less than one run.
    if (end < from || from < log->data_offset || end - log->data_offset >= kBBLogRunSize) return false;
    if (end > from && !writeAt(log->uncompressed_file, log->run + (from - log->data_offset), end - from, from)) return false;
    __atomic_store_n(&log->flushed_offset, end, __ATOMIC_RELEASE);
    return writeCountHeader(log);
}

// Appends to the run held in memory; a run that fills up moves into the .zlog at once. The
// entry's bytes are in place before the end moves over them, and the end before the count, so a
// crash that stops this thread anywhere finds whole entries up to the end, and no more counted.
int appendHeld(BBRemoteLog* log, const unsigned char* bytes, std::uint64_t length) {
    if (log->uncompressed_file == -1) return kBBLogNotOpen;
    if (log->end_offset + length > 0xffffffffu) return kBBLogTooLarge;
    if (!log->run) return ENOMEM;
    const std::uint64_t pending = log->end_offset - log->data_offset;
    const std::uint64_t total = pending + length;
    if (total < kBBLogRunSize) {
        std::memcpy(log->run + pending, bytes, length);
        __atomic_store_n(&log->end_offset, static_cast<std::uint32_t>(log->end_offset + length), __ATOMIC_RELEASE);
    } else {
        // The entry's head completes the run(s) that go into the .zlog; its tail starts a fresh .ulog.
        const std::uint64_t head = total / kBBLogRunSize * kBBLogRunSize - pending;
        __atomic_store_n(&log->rolling_over, 1, __ATOMIC_RELEASE);
        const bool moved = compressRun(log, bytes, head);
        const bool restarted = moved && restartRun(log);
        if (restarted) {
            std::memcpy(log->run, bytes + head, length - head);
            __atomic_store_n(&log->end_offset, static_cast<std::uint32_t>(kHeaderSize + length - head), __ATOMIC_RELEASE);
        }
        __atomic_store_n(&log->rolling_over, 0, __ATOMIC_RELEASE);
        if (!restarted) return -1;
    }
    __atomic_store_n(&log->count, log->count + 1, __ATOMIC_RELEASE);
    return 0;
}

std::atomic<BBRemoteLog*> gCrashLog{nullptr};

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
    log->run = nullptr;
    log->flushed_offset = 0;
    log->rolling_over = 0;
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
    log->data_offset = log->end_offset = log->flushed_offset = kHeaderSize;
    if (!log->run) log->run = static_cast<unsigned char*>(std::malloc(kBBLogRunSize));
    mapHeader(log);
    return 0;
}

void bb_log_close(BBRemoteLog* log) {
    if (log->path_set == 0 && log->uncompressed_file != -1) {
        (void)flushHeld(log);
        unmapHeader(log);
        const int fd = log->uncompressed_file;
        // Closed before the run goes, for a crash that reads the log meanwhile.
        __atomic_store_n(&log->uncompressed_file, -1, __ATOMIC_RELEASE);
        ::close(fd);
    }
    std::free(log->run);
    log->run = nullptr;
}

int bb_log_append(BBRemoteLog* log, const void* bytes, std::uint64_t length) {
    const std::uint32_t endBefore = log->end_offset;
    const int held = appendHeld(log, static_cast<const unsigned char*>(bytes), length);
    if (held != 0) return held;
    if (bb_log_flush(log) == 0) return 0;
    // Not written: an entry that stayed within its run is undone whole; one that moved a run into
    // the .zlog stays counted, as its head is there.
    if (log->end_offset == endBefore + length) {
        __atomic_store_n(&log->end_offset, endBefore, __ATOMIC_RELEASE);
        __atomic_store_n(&log->count, log->count - 1, __ATOMIC_RELEASE);
        (void)::ftruncate(log->uncompressed_file, log->flushed_offset);
    }
    return -1;
}

int bb_log_flush(BBRemoteLog* log) {
    if (log->uncompressed_file == -1 || !log->run) return log->uncompressed_file == -1 ? kBBLogNotOpen : 0;
    return flushHeld(log) ? 0 : -1;
}

void bb_log_set_crash_log(BBRemoteLog* log) { gCrashLog.store(log, std::memory_order_release); }

void bb_log_forget_crash_log(BBRemoteLog* log) { gCrashLog.compare_exchange_strong(log, nullptr); }

void bb_log_flush_crash_log() {
    BBRemoteLog* log = gCrashLog.load(std::memory_order_acquire);
    // A run half way into the .zlog is left as it stands: its bytes are in one file or the other.
    if (!log || __atomic_load_n(&log->uncompressed_file, __ATOMIC_ACQUIRE) == -1 || !log->run ||
        __atomic_load_n(&log->rolling_over, __ATOMIC_ACQUIRE) != 0) {
        return;
    }
    (void)flushHeld(log);
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
        if (!deflateInto(stream, in, static_cast<std::uint64_t>(n), flush, target, out)) result = -1;
    }
    deflateEnd(&stream);
    return result;
}

namespace {

// Builds the entry for `text` at `seconds` and hands it to `append`.
template <class Append>
int appendEntry(std::string_view text, std::int64_t seconds, Append append) {
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
    const int result = append(entry, size);
    if (entry != small) std::free(entry);
    return result;
}

}  // namespace

int bb_log_append_entry(BBRemoteLog* log, std::string_view text, std::int64_t seconds) {
    return appendEntry(text, seconds, [log](const unsigned char* entry, std::uint64_t size) {
        return bb_log_append(log, entry, size);
    });
}

int bb_log_append_entry_held(BBRemoteLog* log, std::string_view text, std::int64_t seconds) {
    return appendEntry(text, seconds, [log](const unsigned char* entry, std::uint64_t size) {
        return appendHeld(log, entry, size);
    });
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
