#include "beta/BBCrashFile.h"

#include <unistd.h>

#include "beta/BBCrashSessionRecord.h"
#include "beta/BBFileDescriptor.h"
#include "beta/BBMessagePackDescriptor.h"
#include "beta/BBRemoteLog.h"
#include "beta/BBSignalSafeText.h"
#include "beta/BBStackWalker.h"
#include "beta/BBTaskThreads.h"

namespace bb {

namespace {

constexpr std::uint32_t kCrashEventOwnPairs = 5;
constexpr std::size_t kThreadNameCapacity = 64;

// The thread's own name, or "Thread <index>".
void threadName(pid_t tid, std::size_t index, char (&out)[kThreadNameCapacity]) {
    if (BBTaskThreads::name(tid, out, sizeof out) > 0) return;
    BBTextLine name;
    name.append("Thread ").appendUnsigned(index);
    std::size_t i = 0;
    for (; i + 1 < sizeof out && name.c_str()[i] != '\0'; ++i) out[i] = name.c_str()[i];
    out[i] = '\0';
}

}  // namespace

int bb_open_crash_file(const char* path, const char* directory) {
    const int fd = bb_open_create(path);
    if (fd == -1) return -1;
    // Without start data the body is a map of the events alone, still one well-formed item.
    if (bb_copy_network_start_data(fd, directory) <= 0 && ::lseek(fd, 0, SEEK_CUR) == 0) {
        bb_mp_fd_write_map_header(fd, 1);
    }
    bb_mp_fd_write_cstring(fd, "events");
    bb_mp_fd_write_array_header(fd, 2);
    char sessionID[kBBSessionIDBufferSize] = {};
    bb_write_session_end_record(fd, "crash", kCrashEventOwnPairs, directory, sessionID, sizeof sessionID);
    bb_mp_fd_write_cstring(fd, "stacktrace");
    return fd;
}

int bb_write_thread_backtraces(int fd, const std::uintptr_t* addresses, std::size_t count) {
    pid_t threads[BBTaskThreads::kCapacity];
    const std::size_t threadCount = BBTaskThreads::list(threads, BBTaskThreads::kCapacity);
    const pid_t self = BBTaskThreads::currentThreadID();
    int ok = bb_mp_fd_write_map_header(fd, static_cast<std::uint32_t>(threadCount + 1));
    for (std::size_t i = 0; i < threadCount; ++i) {
        char name[kThreadNameCapacity];
        threadName(threads[i], i, name);
        if (threads[i] == self) {
            ok &= bb_mp_fd_write_cstring(fd, "primary_thread");
            ok &= bb_mp_fd_write_cstring(fd, name);
        }
        ok &= bb_mp_fd_write_cstring(fd, name);
        if (threads[i] == self && addresses) {
            ok &= bb_write_backtrace(fd, addresses, count);
            continue;
        }
        std::uintptr_t frames[kBBMaxFrames];
        const std::size_t frameCount = bb_backtrace(threads[i], frames, kBBMaxFrames);
        ok &= frameCount > 0 ? bb_write_backtrace(fd, frames, frameCount) : bb_mp_fd_write_nil(fd);
    }
    return ok;
}

int bb_write_backtrace(int fd, const std::uintptr_t* addresses, std::size_t count) {
    int ok = bb_mp_fd_write_array_header(fd, static_cast<std::uint32_t>(count));
    for (std::size_t i = 0; i < count; ++i) {
        const BBSymbol symbol = bb_lookup_symbol(addresses[i]);
        BBTextLine line;
        bb_format_frame_line(line, i, symbol.imagePath, symbol.name, addresses[i], symbol.distance);
        ok &= bb_mp_fd_write_raw(fd, line.c_str(), line.size());
    }
    return ok;
}

void bb_format_frame_line(BBTextLine& line, std::size_t index, const char* imagePath, const char* symbol,
                          std::uintptr_t address, std::uint64_t distance) {
    const std::size_t start = line.size();
    line.appendUnsigned(index).padFrom(start, 4);
    const std::size_t imageStart = line.size();
    if (imagePath) line.append(bb_basename(imagePath), 35);
    line.padFrom(imageStart, 36);
    line.append("0x").appendHex(address, 16);
    line.append(" ").append(symbol ? symbol : " ");
    line.append(" + ").appendUnsigned(symbol ? distance : 0);
}

int bb_write_crash_session_end(int fd, const char* directory) {
    char sessionID[kBBSessionIDBufferSize] = {};
    bb_write_session_end_record(fd, "session_end", 1, directory, sessionID, sizeof sessionID);
    int ok = bb_mp_fd_write_cstring(fd, "log");
    std::uint64_t written = 0;
    // The last lines before the crash may still be held in memory: they matter most.
    bb_log_flush_crash_log();
    if (bb_log_copy_to_fd(directory, sessionID, fd, 1, &written) == 0) {
        bb_log_mark_sent(directory, sessionID);
        bb_mark_session_info_sent(directory, sessionID);
    } else if (written == 0) {
        ok &= bb_mp_fd_write_array_header(fd, 0);
    } else {
        ok = 0;
    }
    return ok;
}

}  // namespace bb
