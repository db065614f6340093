#include "store/io/FieldText.h"

#include <charconv>
#include <cmath>
#include <cstdint>

#include "model/DateStrings.h"

namespace qx {

namespace {

bool isBlank(char c) { return c == ' ' || c == '\t' || c == '\r' || c == '\n'; }

// Reads exactly `width` digits at `pos`.
bool digits(std::string_view s, std::size_t& pos, int width, int& out) {
    if (pos + static_cast<std::size_t>(width) > s.size()) return false;
    out = 0;
    for (int i = 0; i < width; ++i) {
        const char c = s[pos++];
        if (c < '0' || c > '9') return false;
        out = out * 10 + (c - '0');
    }
    return true;
}

bool expect(std::string_view s, std::size_t& pos, char c) {
    if (pos >= s.size() || s[pos] != c) return false;
    ++pos;
    return true;
}

// Days from 1970-01-01 to a proleptic Gregorian date (Howard Hinnant's algorithm), so that the
// conversion needs neither the C library's time zone nor its locale.
std::int64_t daysFromCivil(std::int64_t y, unsigned m, unsigned d) {
    y -= m <= 2 ? 1 : 0;
    const std::int64_t era = (y >= 0 ? y : y - 399) / 400;
    const auto yoe = static_cast<unsigned>(y - era * 400);
    const unsigned doy = (153 * (m > 2 ? m - 3 : m + 9) + 2) / 5 + d - 1;
    const unsigned doe = yoe * 365 + yoe / 4 - yoe / 100 + doy;
    return era * 146097 + static_cast<std::int64_t>(doe) - 719468;
}

bool leapYear(int y) { return (y % 4 == 0 && y % 100 != 0) || y % 400 == 0; }

int daysInMonth(int y, int m) {
    static constexpr int days[] = {31, 28, 31, 30, 31, 30, 31, 31, 30, 31, 30, 31};
    return m == 2 && leapYear(y) ? 29 : days[m - 1];
}

// The zone designator at `pos` as seconds east of UTC; none when malformed.
std::optional<int> zoneOffset(std::string_view s, std::size_t pos) {
    if (pos == s.size()) return 0;
    if (s[pos] == 'Z' || s[pos] == 'z') return pos + 1 == s.size() ? std::optional<int>(0) : std::nullopt;
    if (s[pos] != '+' && s[pos] != '-') return std::nullopt;
    const int sign = s[pos++] == '-' ? -1 : 1;
    int hh = 0, mm = 0;
    if (!digits(s, pos, 2, hh)) return std::nullopt;
    if (pos < s.size()) {
        expect(s, pos, ':');
        if (!digits(s, pos, 2, mm)) return std::nullopt;
    }
    if (pos != s.size() || hh > 14 || mm > 59) return std::nullopt;
    return sign * (hh * 3600 + mm * 60);
}

}  // namespace

std::string_view FieldText::trim(std::string_view text) {
    while (!text.empty() && isBlank(text.front())) text.remove_prefix(1);
    while (!text.empty() && isBlank(text.back())) text.remove_suffix(1);
    return text;
}

std::string FieldText::number(double value) {
    char buf[400];  // the longest fixed form of a double is about 330 characters
    const auto [end, ec] = std::to_chars(buf, buf + sizeof buf, value, std::chars_format::fixed);
    if (ec != std::errc()) return "0";
    return std::string(buf, end);
}

std::optional<double> FieldText::parseNumber(std::string_view text) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    if (text.empty()) return std::nullopt;
    double value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (ec != std::errc() || end != text.data() + text.size() || !std::isfinite(value)) return std::nullopt;
    return value;
}

std::optional<int> FieldText::parseInteger(std::string_view text) {
    text = trim(text);
    if (!text.empty() && text.front() == '+') text.remove_prefix(1);
    int value = 0;
    const auto [end, ec] = std::from_chars(text.data(), text.data() + text.size(), value);
    if (text.empty() || ec != std::errc() || end != text.data() + text.size()) return std::nullopt;
    return value;
}

std::string FieldText::dateTime(plat::Date date) { return DateStrings::iso8601(date); }

std::optional<plat::Date> FieldText::parseDateTime(std::string_view text) {
    const std::string_view s = trim(text);
    std::size_t pos = 0;
    int year = 0, month = 0, day = 0, hour = 0, minute = 0, second = 0;
    if (!digits(s, pos, 4, year) || !expect(s, pos, '-') || !digits(s, pos, 2, month) ||
        !expect(s, pos, '-') || !digits(s, pos, 2, day)) {
        return std::nullopt;
    }
    if (pos >= s.size() || (s[pos] != 'T' && s[pos] != 't' && s[pos] != ' ')) return std::nullopt;
    ++pos;
    if (!digits(s, pos, 2, hour) || !expect(s, pos, ':') || !digits(s, pos, 2, minute) ||
        !expect(s, pos, ':') || !digits(s, pos, 2, second)) {
        return std::nullopt;
    }
    double fraction = 0;
    if (pos < s.size() && (s[pos] == '.' || s[pos] == ',')) {
        const std::size_t start = pos++;
        while (pos < s.size() && s[pos] >= '0' && s[pos] <= '9') ++pos;
        if (pos == start + 1) return std::nullopt;
        std::string decimal = "0." + std::string(s.substr(start + 1, pos - start - 1));
        fraction = *parseNumber(decimal);
    }
    const auto offset = zoneOffset(s, pos);
    if (!offset || month < 1 || month > 12 || day < 1 || day > daysInMonth(year, month) || hour > 24 ||
        minute > 59 || second > 60 || (hour == 24 && (minute != 0 || second != 0 || fraction != 0))) {
        return std::nullopt;
    }
    const std::int64_t days = daysFromCivil(year, static_cast<unsigned>(month), static_cast<unsigned>(day));
    const double seconds = static_cast<double>(days * 86400 + hour * 3600 + minute * 60 + second - *offset);
    return plat::Date(seconds + fraction);
}

}  // namespace qx
