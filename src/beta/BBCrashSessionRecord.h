#pragma once

#include <cstddef>
#include <cstdint>

// What a crash handler needs of the session and event-queue files: the session record read back
// from the files the session manager keeps, the start data that make a crash file an upload body,
// and the marker that a session's end was already reported. Everything here runs inside a signal
// handler: no allocation, no lock, paths in fixed stack buffers, plain descriptor calls only.

namespace bb {

inline constexpr std::size_t kBBCrashPathSize = 1024;
// A session id of at most 49 bytes and its terminating zero.
inline constexpr std::size_t kBBSessionIDBufferSize = 50;

// The sequence number after `number`. Numbers run up to the largest 32-bit value and then start
// again at 0: adding one there would overflow, and the negative numbers after it would include
// -1, which stands for an unknown number.
constexpr std::int32_t bb_next_sequence_number(std::int32_t number) {
    return number == INT32_MAX ? 0 : number + 1;
}
inline constexpr std::uint32_t kBBPathDoesNotFit = 0xFFFFFFFFu;

// Builds "<directory>/session_info/<name>.<extension>" into `out`: 0, or kBBPathDoesNotFit (with
// nothing built) when it would not fit in `size` bytes with its terminating zero.
std::uint32_t bb_session_info_path(char* out, std::size_t size, const char* directory, const char* name,
                                   const char* extension);

// Writes the current session's record to `fd` as a map of 8 + `extraCount` entries, of which the
// caller writes the last `extraCount`: "timestamp", "type", "session_id", "sequence_number",
// "start_time", "duration", "fragment_start_time", "fragment_duration". Unreadable session files
// give an empty id, sequence number -1 and integer zeros for the times. For any type but
// "session_end" the stored sequence number is moved on by one, so that the session's end takes
// the next number. The id is copied into `sessionID` (at most `size` and 50 bytes, terminated);
// the result is its length.
std::uint32_t bb_write_session_end_record(int fd, const char* type, std::uint32_t extraCount, const char* directory,
                                          char* sessionID, std::size_t size);

// Creates or empties `path` (mode 0644) and writes `value` as a 5-byte MessagePack signed 32-bit
// integer: 1 when written, else 0.
int bb_write_int32_file(const char* path, std::int32_t value);

// Overwrites the first five bytes of the session's information file with "sent" and a zero, so
// that the next process does not end that session again. The file is never created: 0 when
// marked, kBBPathDoesNotFit when the path does not fit or the file could not be written.
std::uint32_t bb_mark_session_info_sent(const char* directory, const char* sessionID);

// Copies the event queue's start data file into `fd`: the bytes copied, or -1.
std::int64_t bb_copy_network_start_data(int fd, const char* directory);

}  // namespace bb
