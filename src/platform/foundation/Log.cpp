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

void appendEscaped(std::string& out, char c) {
    switch (c) {
        case '\n': out += "\\n"; return;
        case '\r': out += "\\r"; return;
        case '\t': out += "\\t"; return;
        default: break;
    }
    char hex[8];
    std::snprintf(hex, sizeof hex, "\\x%02x", static_cast<unsigned>(static_cast<unsigned char>(c)));
    out += hex;
}

bool isControl(char c) { return static_cast<unsigned char>(c) < 0x20 || c == 0x7f; }

// A tab stays: it cannot start a line, and some lines are laid out with it. A value read from
// outside may be of any size (a setting of megabytes): the line keeps its start, cut where a
// character begins, and says how much was left out.
std::string oneLine(std::string_view text) {
    std::size_t left = 0;
    if (text.size() > Log::kMostBytes) {
        std::size_t cut = Log::kMostBytes;
        while (cut > 0 && (static_cast<unsigned char>(text[cut]) & 0xC0) == 0x80) --cut;
        left = text.size() - cut;
        text = text.substr(0, cut);
    }
    std::string out;
    out.reserve(text.size() + 32);
    for (char c : text) {
        if (isControl(c) && c != '\t') {
            appendEscaped(out, c);
        } else {
            out += c;
        }
    }
    if (left > 0) out += "... (" + std::to_string(left) + " more bytes)";
    return out;
}

}  // namespace

void Log::line(std::string_view text) {
    const std::string safe = oneLine(text);
    std::lock_guard lock(logMutex);
    if (auto& sink = sinkSlot()) {
        sink(safe);
        return;
    }
    std::fprintf(stderr, "%s\n", safe.c_str());
}

std::string Log::quoted(std::string_view text) {
    std::string out = "\"";
    for (char c : text) {
        if (c == '"' || c == '\\') {
            out += '\\';
            out += c;
        } else if (isControl(c)) {
            appendEscaped(out, c);
        } else {
            out += c;
        }
    }
    return out + "\"";
}

Log::Sink Log::setSink(Sink sink) {
    std::lock_guard lock(logMutex);
    auto old = std::move(sinkSlot());
    sinkSlot() = std::move(sink);
    return old;
}

}  // namespace plat
