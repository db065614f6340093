#pragma once

#include <cstdint>

// MessagePack written to and read from a file descriptor, for crash handlers and the small state
// files the crash path reads: these functions allocate nothing, take no lock and call only write,
// read and lseek. The descriptor -1 makes each of them fail without touching anything.
// Writers return 1 on success and 0 when a write failed or came short.

namespace bb {

int bb_mp_fd_write_uint32(int fd, std::uint32_t value);
int bb_mp_fd_write_uint64(int fd, std::uint64_t value);
int bb_mp_fd_write_int32(int fd, std::int32_t value);
int bb_mp_fd_write_int64(int fd, std::int64_t value);
int bb_mp_fd_write_double(int fd, double value);
int bb_mp_fd_write_nil(int fd);
// A raw of a NUL-terminated text.
int bb_mp_fd_write_cstring(int fd, const char* text);
// A raw: its header by size, then the bytes. A length above 32 bits is written as the empty raw,
// without payload.
int bb_mp_fd_write_raw(int fd, const void* bytes, std::uint64_t length);
int bb_mp_fd_write_raw32_header(int fd, std::uint32_t length);
int bb_mp_fd_write_array_header(int fd, std::uint32_t count);
int bb_mp_fd_write_array32_header(int fd, std::uint32_t count);
int bb_mp_fd_write_map_header(int fd, std::uint32_t count);

// Readers return the value, or on failure (another item, a short read) the value named.
std::uint32_t bb_mp_fd_read_uint32(int fd);  // 4,294,967,295 on failure
std::int32_t bb_mp_fd_read_int32(int fd);    // -1 on failure
double bb_mp_fd_read_double(int fd);         // -1.0 on failure
// Reads a fixraw, raw16 or raw32 into `buffer` (cleared first unless its first byte is 0) and
// returns its length. The payload is not terminated. Fails when the length exceeds `capacity`:
// 255 for a fixraw, 65,535 for a raw16, 4,294,967,295 for a raw32 or another item.
std::uint32_t bb_mp_fd_read_raw(int fd, void* buffer, std::uint32_t capacity);
std::uint32_t bb_mp_fd_read_fixarray_count(int fd);  // 255 on failure
std::uint32_t bb_mp_fd_read_array32_count(int fd);   // 4,294,967,295 on failure

// The length of a NUL-terminated text, counted without any library call.
std::uint64_t bb_mp_cstring_length(const char* text);

}  // namespace bb
