#pragma once

#include <cstddef>
#include <functional>
#include <string>
#include <string_view>

namespace plat {

// The diagnostic log: plain lines naming the class and operation. Lines go to standard error
// unless a sink is installed (tests capture them; the driver may keep them quiet).
class Log {
public:
    using Sink = std::function<void(const std::string&)>;

    // The most of one line's text that is written; the rest is left out, with its size.
    static constexpr std::size_t kMostBytes = 4096;

    // One call is one line: line breaks and other control characters in `text` are written as
    // escapes, so that a name read from outside cannot start a line of its own.
    static void line(std::string_view text);
    // `text` (a file's name, a path) in double quotes, with quotes, backslashes and control
    // characters escaped: where a name ends stays plain whatever it holds.
    static std::string quoted(std::string_view text);
    // Installs a sink and returns the previous one; an empty sink restores standard error.
    static Sink setSink(Sink sink);
};

}  // namespace plat
