#include "platform/foundation/Log.h"

#include <cstdio>
#include <mutex>

namespace plat {

namespace {
std::mutex logMutex;
Log::Sink& sinkSlot() {
    static Log::Sink sink;
    return sink;
}
}  // namespace

void Log::line(std::string_view text) {
    std::lock_guard lock(logMutex);
    if (auto& sink = sinkSlot()) {
        sink(std::string(text));
        return;
    }
    std::fprintf(stderr, "%.*s\n", static_cast<int>(text.size()), text.data());
}

Log::Sink Log::setSink(Sink sink) {
    std::lock_guard lock(logMutex);
    auto old = std::move(sinkSlot());
    sinkSlot() = std::move(sink);
    return old;
}

}  // namespace plat
