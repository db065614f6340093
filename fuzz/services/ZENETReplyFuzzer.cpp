// Reads arbitrary bytes as the monitoring service's reply to a login: the reader must not
// crash, and a fault it reports always has a text to show.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "services/ZENETReply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto reply = qx::ZENETReply::read(std::string_view(reinterpret_cast<const char*>(data), size));
    for (const auto& fault : reply.faults) {
        if (fault.empty() || fault.size() > size) std::abort();
    }
    if (reply.lastText.size() > size) std::abort();
    return 0;
}
