#pragma once

#include <cstddef>
#include <cstdint>
#include <string_view>

// The session log files. A session's log is a pair of files in "<library dir>/logs/":
//   <id>.ulog  an array32 header holding the number of entries written in total, then the
//              entries not yet compressed (less than 64 KiB of them);
//   <id>.zlog  one independent zlib stream per full 64 KiB run of entries moved out of the .ulog.
// Inflated in order, the .zlog's streams followed by the .ulog's entries give every entry, each a
// map {"Time": int64 seconds, "Message": raw}. These functions allocate no object; the copy and
// the sent marker run in crash handlers.

namespace bb {

struct BBRemoteLog {
    char path[1024];            // "<dir>/logs/<id>", without extension
    std::int32_t path_set;      // 0 when path was built, -1 when it did not fit
    std::int32_t uncompressed_file;  // descriptor of the open .ulog, -1 when closed
    std::uint32_t count;        // entries written so far
    std::uint32_t data_offset;  // where the .ulog's entries begin
    std::uint32_t end_offset;   // end of the .ulog, with the entries still held in memory
    unsigned char* header_map;  // the .ulog's count header mapped into memory, or null
    // The current run's entries (the .ulog's bytes from data_offset to end_offset), kept in memory
    // from opening to closing: a full run is compressed from here, not read back from the file.
    unsigned char* run;
    std::uint32_t flushed_offset;  // end of what is written to the .ulog; the rest is held
    std::int32_t rolling_over;     // 1 while a full run moves into the .zlog
};

inline constexpr std::uint32_t kBBLogRunSize = 65536;

// Result codes beside 0 and -1.
inline constexpr int kBBLogNotOpen = 9;     // no open .ulog (EBADF)
inline constexpr int kBBLogTooLarge = 84;   // would pass 32 bits (EOVERFLOW)

int bb_log_build_path(char* out, std::size_t capacity, const char* directory, const char* sessionID);
void bb_log_store_setup(BBRemoteLog* log, const char* directory, const char* sessionID);
int bb_log_open_file(const BBRemoteLog* log, const char* extension, int flags);
int bb_log_open(BBRemoteLog* log);
void bb_log_close(BBRemoteLog* log);

// Appends bytes to the log, moving each full 64 KiB run into the .zlog. When that move fails the
// append is undone whole: the .zlog is cut back to its last whole stream, the .ulog keeps its
// entries without the new one, the count stays, and the result is -1.
int bb_log_append(BBRemoteLog* log, const void* bytes, std::uint64_t length);
// Deflates everything from the source's position to its end into one zlib stream on the target.
int bb_log_compress(int source, int target);
int bb_log_append_entry(BBRemoteLog* log, std::string_view text, std::int64_t seconds);
// As bb_log_append_entry, but the entry is only held in memory until bb_log_flush (or a rollover)
// writes the entries held: a burst of lines costs one write. The count is kept as it would be.
int bb_log_append_entry_held(BBRemoteLog* log, std::string_view text, std::int64_t seconds);
// Writes the entries held and the count: 0, or -1 when the write failed (they stay held).
int bb_log_flush(BBRemoteLog* log);

// The log whose held entries a crash writes out before the crash file copies the log: the
// running session's. Reading it and flushing take no lock and allocate nothing.
void bb_log_set_crash_log(BBRemoteLog* log);
// Unsets the crash log when it is `log`.
void bb_log_forget_crash_log(BBRemoteLog* log);
void bb_log_flush_crash_log();

// Writes the session's log to `fd` as one raw (the .ulog header, the .zlog, the .ulog entries);
// a session without a .ulog is an empty array. In a hurry, a log that ever rolled over is not
// sent. `written` receives the bytes written (all ones after a failed copy).
int bb_log_copy_to_fd(const char* directory, const char* sessionID, int fd, int hurry, std::uint64_t* written);
void bb_log_mark_sent(const char* directory, const char* sessionID);
// True when the .ulog at `path` begins with the sent marker.
bool bb_log_file_is_sent(const char* ulogPath);

}  // namespace bb
