#pragma once

#include <functional>
#include <string>

namespace plat {

// Why a file could not be written, in words a person can act on: a full disk, a read-only
// disk, a folder the program may not write in, a disk that failed. Each is a key of the
// language tables (English text), so that every layer words it the same way in its language.
class WriteFailure {
public:
    using Translate = std::function<std::string(const std::string& english)>;

    // The language key for the errno `code`, or none when there are no plainer words than the
    // system's own.
    static const char* reasonKey(int code);
    // The reason in the person's language (through `translate`), the system's text otherwise.
    static std::string reason(int code, const Translate& translate);
};

}  // namespace plat
