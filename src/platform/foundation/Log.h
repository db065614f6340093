#pragma once

#include <functional>
#include <string>
#include <string_view>

namespace plat {

// The diagnostic log: plain lines naming the class and operation. Lines go to standard error
// unless a sink is installed (tests capture them; the driver may keep them quiet).
class Log {
public:
    using Sink = std::function<void(const std::string&)>;

    static void line(std::string_view text);
    // Installs a sink and returns the previous one; an empty sink restores standard error.
    static Sink setSink(Sink sink);
};

}  // namespace plat
