#pragma once

#include <cstddef>
#include <cstdint>
#include <functional>

namespace bb {

// Background time asked of the host platform, so that uploads can finish while the application
// is not in front. A host whose platform suspends applications installs hooks that begin and end
// its own tasks; without hooks the library only keeps count of what it holds, since a process
// that is never suspended needs no extra time.
class BBBackgroundTask {
public:
    using Identifier = std::int64_t;
    static constexpr Identifier kInvalid = 0;

    struct Hooks {
        // Begins a task; `expiry` runs when the platform takes the time back. kInvalid when none
        // could be had.
        std::function<Identifier(std::function<void()> expiry)> begin;
        std::function<void(Identifier)> end;
    };
    static void setHooks(Hooks hooks);

    static Identifier begin(std::function<void()> expiry);
    static void end(Identifier identifier);

    // Tasks begun and not yet ended.
    static std::size_t outstandingCount();
};

}  // namespace bb
