#pragma once

#include <cstdint>

// Plain descriptor routines shared by the crash path and the small state files it touches. They
// allocate nothing and take no lock. A delivered file is marked by overwriting its first five
// bytes with "sent" and a NUL.

namespace bb {

inline constexpr char kBBSentMarker[5] = {'s', 'e', 'n', 't', '\0'};

// Read-write, created or truncated, permissions 0644; -1 on failure.
int bb_open_create(const char* path);
// Read-write, never created; -1 on failure.
int bb_open_rw(const char* path);
// Closes the descriptor; -1 is ignored.
void bb_close(int fd);
// Copies from `from`'s position to its end onto `to` in 512-byte steps: bytes copied, or -1 when
// a read or write failed.
std::int64_t bb_copy_fd(int from, int to);
// Writes the sent marker over the start of an existing file (opened write-only, neither created
// nor truncated): 0, or -1 when the file cannot be opened or written.
int bb_mark_sent(const char* path);
// 0 when the file begins with the sent marker, 1 when it does not or cannot be read.
int bb_check_sent(const char* path);

}  // namespace bb
