#include "beta/BBSignalSafeText.h"

namespace bb {

std::size_t bb_strlen(const char* text) {
    if (!text) return 0;
    std::size_t n = 0;
    while (text[n] != '\0') ++n;
    return n;
}

int bb_strcmp(const char* a, const char* b) {
    if (!a || !b) return -1;
    for (std::size_t i = 0;; ++i) {
        if (a[i] != b[i]) return -1;
        if (a[i] == '\0') return 0;
    }
}

namespace {

// Writes the decimal digits of `magnitude` after an optional sign.
std::size_t writeDecimal(bool negative, std::uint64_t magnitude, char* out, std::size_t capacity) {
    if (!out || capacity == 0) return 0;
    char reversed[20];
    std::size_t digits = 0;
    do {
        reversed[digits++] = static_cast<char>('0' + magnitude % 10);
        magnitude /= 10;
    } while (magnitude != 0);
    const std::size_t length = digits + (negative ? 1 : 0);
    if (length + 1 > capacity) {
        out[0] = '\0';
        return 0;
    }
    std::size_t i = 0;
    if (negative) out[i++] = '-';
    while (digits > 0) out[i++] = reversed[--digits];
    out[i] = '\0';
    return length;
}

std::uint64_t magnitudeOf(std::int64_t value) {
    // Negating in unsigned arithmetic keeps the smallest value representable.
    return value < 0 ? ~static_cast<std::uint64_t>(value) + 1 : static_cast<std::uint64_t>(value);
}

}  // namespace

std::size_t bb_itoa(std::int32_t value, char* out, std::size_t capacity) {
    return writeDecimal(value < 0, magnitudeOf(value), out, capacity);
}

std::size_t bb_ltoa(std::int64_t value, char* out, std::size_t capacity) {
    return writeDecimal(value < 0, magnitudeOf(value), out, capacity);
}

std::size_t bb_utoa(std::uint64_t value, char* out, std::size_t capacity) {
    return writeDecimal(false, value, out, capacity);
}

std::size_t bb_hex(std::uint64_t value, std::size_t digits, char* out, std::size_t capacity) {
    static const char kDigits[] = "0123456789abcdef";
    if (!out || capacity == 0) return 0;
    if (digits + 1 > capacity) {
        out[0] = '\0';
        return 0;
    }
    for (std::size_t i = digits; i > 0; --i) {
        out[i - 1] = kDigits[value & 0xf];
        value >>= 4;
    }
    out[digits] = '\0';
    return digits;
}

char* bb_pad(char* start, std::size_t width, std::size_t capacity) {
    if (!start || capacity == 0) return start;
    std::size_t n = 0;
    while (n < capacity - 1 && start[n] != '\0') ++n;
    while (n < width && n < capacity - 1) start[n++] = ' ';
    start[n] = '\0';
    return start + n;
}

char* bb_skip_to_end(char* text) {
    if (!text) return text;
    while (*text != '\0') ++text;
    return text;
}

const char* bb_basename(const char* path) {
    if (!path) return path;
    const char* name = path;
    for (const char* p = path; *p != '\0'; ++p) {
        if (*p == '/') name = p + 1;
    }
    return name;
}

std::size_t bb_line_length(const char* text) {
    if (!text) return 0;
    std::size_t n = 0;
    while (text[n] != '\0' && text[n] != '\r' && text[n] != '\n') ++n;
    return n;
}

}  // namespace bb
