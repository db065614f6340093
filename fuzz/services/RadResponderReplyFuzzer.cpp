// Reads arbitrary bytes as one of the reporting service's replies: the token reply, the event
// list, or a survey's reply as it goes into the log. The readers must not crash nor hand back
// what the client cannot use (a token set without an access token, an event without a name, a
// log text that is not clean UTF-8 or longer than its limit).

#include <cstdint>
#include <cstdlib>
#include <string_view>

#include "services/RadResponderWire.h"

#if !defined(QX_FUZZ_TOKENS) && !defined(QX_FUZZ_EVENTS)
namespace {

// Whether `text` is well-formed UTF-8 without control characters other than tab and line feed.
bool cleanText(std::string_view text) {
    for (std::size_t p = 0; p < text.size();) {
        const auto b = static_cast<unsigned char>(text[p]);
        std::size_t len = b < 0x80 ? 1 : (b & 0xE0) == 0xC0 ? 2 : (b & 0xF0) == 0xE0 ? 3 : (b & 0xF8) == 0xF0 ? 4 : 0;
        if (len == 0 || p + len > text.size() || (len == 2 && b < 0xC2) || b > 0xF4) return false;
        if (len == 1 && b < 0x20 && text[p] != '\t' && text[p] != '\n') return false;
        for (std::size_t i = 1; i < len; ++i) {
            if ((static_cast<unsigned char>(text[p + i]) & 0xC0) != 0x80) return false;
        }
        p += len;
    }
    return true;
}

}  // namespace
#endif

extern "C" int LLVMFuzzerTestOneInput(const std::uint8_t* data, std::size_t size) {
    const std::string_view body(reinterpret_cast<const char*>(data), size);
#if defined(QX_FUZZ_TOKENS)
    if (const auto tokens = qx::RadResponderWire::readTokens(body); tokens && tokens->accessToken.empty()) std::abort();
#elif defined(QX_FUZZ_EVENTS)
    if (const auto events = qx::RadResponderWire::readEvents(body)) {
        for (const auto& [id, name] : *events) {
            if (name.empty()) std::abort();
        }
    }
#else
    const std::string logged = qx::RadResponderWire::loggedBody(body);
    if (logged.size() > qx::RadResponderWire::kLoggedBodySize || !cleanText(logged)) std::abort();
#endif
    return 0;
}
