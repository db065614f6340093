#include "beta/BBCrashSessionRecord.h"

#include <fcntl.h>

#include <cerrno>
#include <climits>
#include <ctime>
#include <initializer_list>

#include "beta/BBFileDescriptor.h"
#include "beta/BBMessagePackDescriptor.h"

namespace bb {

namespace {

constexpr const char* kSessionInfoFolder = "session_info";
constexpr double kUnreadableTime = -1.0;

// Appends `text` at `at`; false when it (and a terminating zero) would pass `end`.
bool append(char*& at, const char* end, const char* text) {
    for (; *text; ++text) {
        if (at >= end - 1) return false;
        *at++ = *text;
    }
    *at = '\0';
    return true;
}

bool sameText(const char* a, const char* b) {
    for (; *a && *a == *b; ++a, ++b) {
    }
    return *a == *b;
}

int openForReading(const char* path) {
    int fd;
    do {
        fd = ::open(path, O_RDONLY | O_CLOEXEC);
    } while (fd == -1 && errno == EINTR);
    return fd;
}

// Reads the session file `name`.`extension` with `reader`, or gives `fallback` when the file
// cannot be opened or its path does not fit.
template <class T, class Reader>
T readSessionFile(const char* directory, const char* name, const char* extension, T fallback, Reader reader) {
    char path[kBBCrashPathSize];
    if (bb_session_info_path(path, sizeof path, directory, name, extension) != 0) return fallback;
    const int fd = openForReading(path);
    if (fd == -1) return fallback;
    const T value = reader(fd);
    bb_close(fd);
    return value;
}

// The stored session id into `id` (zero-filled, at most 49 bytes); its length.
std::uint32_t readSessionID(const char* directory, char (&id)[kBBSessionIDBufferSize]) {
    for (char& c : id) c = '\0';
    const std::uint32_t length =
        readSessionFile<std::uint32_t>(directory, "last_session_id", "mpack", 0, [&id](int fd) {
            return bb_mp_fd_read_raw(fd, id, kBBSessionIDBufferSize - 1);
        });
    if (length < kBBSessionIDBufferSize) return static_cast<std::uint32_t>(bb_mp_cstring_length(id));
    for (char& c : id) c = '\0';  // a failed read may have left a part behind
    return 0;
}

double readTime(const char* directory, const char* name) {
    return readSessionFile<double>(directory, name, "mpack", kUnreadableTime, bb_mp_fd_read_double);
}

// The session's next sequence number, moved on by one in its file unless this is the session's end.
std::int32_t takeSequenceNumber(const char* directory, const char* sessionID, const char* type) {
    char path[kBBCrashPathSize];
    if (bb_session_info_path(path, sizeof path, directory, sessionID, "seq.mpack") != 0) return -1;
    const int fd = openForReading(path);
    if (fd == -1) return -1;
    const std::int32_t number = bb_mp_fd_read_int32(fd);
    bb_close(fd);
    if (number != -1 && !sameText(type, "session_end")) bb_write_int32_file(path, bb_next_sequence_number(number));
    return number;
}

int writeKey(int fd, const char* key) { return bb_mp_fd_write_cstring(fd, key); }

// A stored time as a float, and the time since it; integer zeros for both when it was unreadable.
// `now` is of the clock and precision the stored times were taken with; a start after it (the
// clock set back) gives 0, not a negative duration.
void writeTimeAndDuration(int fd, const char* timeKey, const char* durationKey, double time, double now) {
    const bool known = time != kUnreadableTime;
    writeKey(fd, timeKey);
    known ? bb_mp_fd_write_double(fd, time) : bb_mp_fd_write_int32(fd, 0);
    writeKey(fd, durationKey);
    known ? bb_mp_fd_write_double(fd, now > time ? now - time : 0.0) : bb_mp_fd_write_int32(fd, 0);
}

}  // namespace

std::uint32_t bb_session_info_path(char* out, std::size_t size, const char* directory, const char* name,
                                   const char* extension) {
    if (!out || !directory || !name || !extension) return kBBPathDoesNotFit;
    const std::uint64_t needed = bb_mp_cstring_length(directory) + bb_mp_cstring_length(kSessionInfoFolder) +
                                 bb_mp_cstring_length(name) + bb_mp_cstring_length(extension) + 4;
    if (needed > size) return kBBPathDoesNotFit;
    char* at = out;
    const char* end = out + size;
    *at = '\0';
    for (const char* part : {directory, "/", kSessionInfoFolder, "/", name, ".", extension}) append(at, end, part);
    return 0;
}

std::uint32_t bb_write_session_end_record(int fd, const char* type, std::uint32_t extraCount, const char* directory,
                                          char* sessionID, std::size_t size) {
    timespec clock{};
    ::clock_gettime(CLOCK_REALTIME, &clock);
    const std::int64_t now = static_cast<std::int64_t>(clock.tv_sec);
    // The session's times are the wall clock's in whole microseconds.
    const double preciseNow = static_cast<double>(now * 1'000'000 + clock.tv_nsec / 1000) / 1e6;
    if (!type) type = "";

    // A missing directory makes every path fail to build, so every value falls back.
    char id[kBBSessionIDBufferSize];
    const std::uint32_t idLength = readSessionID(directory, id);
    const double start = readTime(directory, "last_session_start_time");
    const double fragmentStart = readTime(directory, "last_session_fragment_start_time");
    const std::int32_t sequence = takeSequenceNumber(directory, id, type);

    bb_mp_fd_write_map_header(fd, 8 + extraCount);
    writeKey(fd, "timestamp");
    bb_mp_fd_write_int64(fd, now);
    writeKey(fd, "type");
    bb_mp_fd_write_cstring(fd, type);
    writeKey(fd, "session_id");
    bb_mp_fd_write_cstring(fd, id);
    writeKey(fd, "sequence_number");
    bb_mp_fd_write_int32(fd, sequence);
    writeTimeAndDuration(fd, "start_time", "duration", start, preciseNow);
    writeTimeAndDuration(fd, "fragment_start_time", "fragment_duration", fragmentStart, preciseNow);

    if (sessionID && size > 0) {
        const std::size_t capacity = size < kBBSessionIDBufferSize ? size : kBBSessionIDBufferSize;
        std::size_t i = 0;
        for (; i + 1 < capacity && id[i]; ++i) sessionID[i] = id[i];
        sessionID[i] = '\0';
    }
    return idLength;
}

int bb_write_int32_file(const char* path, std::int32_t value) {
    const int fd = bb_open_create(path);
    if (fd == -1) return 0;
    const int written = bb_mp_fd_write_int32(fd, value);
    bb_close(fd);
    return written;
}

std::uint32_t bb_mark_session_info_sent(const char* directory, const char* sessionID) {
    char path[kBBCrashPathSize];
    if (bb_session_info_path(path, sizeof path, directory, sessionID, "session.mpack") != 0) return kBBPathDoesNotFit;
    return bb_mark_sent(path) == 0 ? 0 : kBBPathDoesNotFit;
}

std::int64_t bb_copy_network_start_data(int fd, const char* directory) {
    if (!directory) return -1;
    char path[kBBCrashPathSize];
    char* at = path;
    path[0] = '\0';
    bool fits = true;
    for (const char* part : {directory, "/BBEventManager/start network data.msgpack"}) fits = fits && append(at, path + sizeof path, part);
    if (!fits) return -1;
    const int source = openForReading(path);
    const std::int64_t copied = bb_copy_fd(source, fd);
    bb_close(source);
    return copied;
}

}  // namespace bb
