#pragma once

#include <cstddef>
#include <cstdint>

#include "beta/BBTextLine.h"

// The writers of the crash file. The file is an upload body: the start data of the event queue,
// then "events" with two events, the crash and the session's end. Every writer writes straight to
// the descriptor from fixed buffers (safe inside a signal handler), returns 1 on success and 0
// when a write failed, and leaves the rest of the file to be written regardless.

namespace bb {

inline constexpr const char* kBBCrashFileName = "backtrace.mpack";
inline constexpr const char* kBBOldCrashesFolder = "old_crashes";
inline constexpr const char* kBBOldCrashExtension = "crash.mpack";

// Creates (or empties) the crash file and writes its beginning: the start data, "events", an
// array of two, the crash event's session pairs (with room for its 5 own pairs) and the key
// "stacktrace". -1 when the file cannot be created; every later write to -1 fails quietly.
int bb_open_crash_file(const char* path, const char* directory);

// The threads map: for each thread in the system's order its name and its backtrace, with
// "primary_thread" naming the calling thread first. The calling thread's backtrace is
// `addresses` when given.
int bb_write_thread_backtraces(int fd, const std::uintptr_t* addresses, std::size_t count);
// An array of frame lines.
int bb_write_backtrace(int fd, const std::uintptr_t* addresses, std::size_t count);
// "<index padded to 4><image file name padded to 36>0x<16 digits> <symbol> + <distance>"; a
// missing image leaves 36 spaces, a missing symbol a single space and distance 0.
void bb_format_frame_line(BBTextLine& line, std::size_t index, const char* imagePath, const char* symbol,
                          std::uintptr_t address, std::uint64_t distance);

// The session end event: the session pairs, then "log" with the session's log when it is small
// enough to go now (the log and the session's saved information are then marked sent), else an
// empty array.
int bb_write_crash_session_end(int fd, const char* directory);

}  // namespace bb
