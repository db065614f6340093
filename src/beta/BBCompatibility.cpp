#include "beta/BBCompatibility.h"

#include <sys/utsname.h>

#include <cctype>
#include <string>

namespace bb {

namespace {

std::string systemVersion() {
    utsname name{};
    return ::uname(&name) == 0 ? name.release : "";
}

// The platform's interface idiom; none here (unspecified).
constexpr int kInterfaceIdiom = -1;

bool isDigit(char c) { return std::isdigit(static_cast<unsigned char>(c)) != 0; }

}  // namespace

int BBCompatibility::compareVersions(std::string_view a, std::string_view b) {
    std::size_t i = 0, j = 0;
    while (i < a.size() && j < b.size()) {
        if (isDigit(a[i]) && isDigit(b[j])) {
            while (i < a.size() && a[i] == '0') ++i;
            while (j < b.size() && b[j] == '0') ++j;
            std::size_t di = i, dj = j;
            while (di < a.size() && isDigit(a[di])) ++di;
            while (dj < b.size() && isDigit(b[dj])) ++dj;
            // Without leading zeros, the longer run of digits is the larger number.
            if (di - i != dj - j) return di - i < dj - j ? -1 : 1;
            if (int c = a.substr(i, di - i).compare(b.substr(j, dj - j)); c != 0) return c < 0 ? -1 : 1;
            i = di;
            j = dj;
        } else {
            if (a[i] != b[j]) return a[i] < b[j] ? -1 : 1;
            ++i;
            ++j;
        }
    }
    if (i < a.size()) return 1;
    if (j < b.size()) return -1;
    return 0;
}

bool BBCompatibility::allowedToRun_5_0() {
    static const bool allowed = compareVersions(systemVersion(), "5.0") >= 0;
    return allowed;
}

bool BBCompatibility::allowedToRun_6_0() {
    static const bool allowed = compareVersions(systemVersion(), "6.0") >= 0;
    return allowed;
}

bool BBCompatibility::isIdiomIPhone() {
    static const bool phone = kInterfaceIdiom == 0;
    return phone;
}

bool BBCompatibility::isIdiomIPad() {
    static const bool pad = kInterfaceIdiom == 1;
    return pad;
}

}  // namespace bb
