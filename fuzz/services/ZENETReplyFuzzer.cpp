// Reads arbitrary bytes as the monitoring service's reply to a login: the reader must not
// crash, and a fault it reports always has a text to show, taken from the reply: at most the
// reply's bytes, each stray one replaced by the three of U+FFFD, and always valid UTF-8.

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "platform/foundation/Utf8Text.h"
#include "services/ZENETReply.h"

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const auto reply = qx::ZENETReply::read(std::string_view(reinterpret_cast<const char*>(data), size));
    const std::size_t mostText = 3 * size;
    for (const auto& fault : reply.faults) {
        if (fault.empty() || fault.size() > mostText || !plat::Utf8Text::isValid(fault)) std::abort();
    }
    if (reply.lastText.size() > mostText || !plat::Utf8Text::isValid(reply.lastText)) std::abort();
    return 0;
}
