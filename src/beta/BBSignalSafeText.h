#pragma once

#include <cstddef>
#include <cstdint>

// Text routines for code that may run inside a crash handler: they allocate nothing, take no
// lock and call no library function, and every routine that writes is told how much room it has.
// Written texts are always terminated when there is room for the terminator.

namespace bb {

// Bytes before the first NUL; 0 for no text.
std::size_t bb_strlen(const char* text);
// 0 when both texts are equal, -1 otherwise (also when either is missing).
int bb_strcmp(const char* a, const char* b);

// Signed decimal; returns the digits written, 0 (and an empty text) when they do not fit.
std::size_t bb_itoa(std::int32_t value, char* out, std::size_t capacity);
std::size_t bb_ltoa(std::int64_t value, char* out, std::size_t capacity);
// Unsigned decimal, for sizes and counts above the signed range.
std::size_t bb_utoa(std::uint64_t value, char* out, std::size_t capacity);
// Exactly `digits` lower-case hexadecimal digits, zero-padded (higher digits are dropped);
// returns `digits`, or 0 when they do not fit.
std::size_t bb_hex(std::uint64_t value, std::size_t digits, char* out, std::size_t capacity);

// Moves to the end of the text at `start` and appends spaces until `width` bytes follow `start`,
// staying within `capacity` bytes from `start`. Returns the new end.
char* bb_pad(char* start, std::size_t width, std::size_t capacity);
char* bb_skip_to_end(char* text);
// The part after the last "/" (the whole text when there is none).
const char* bb_basename(const char* path);
// Bytes up to the first NUL, CR or LF.
std::size_t bb_line_length(const char* text);

}  // namespace bb
