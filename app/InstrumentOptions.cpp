#include "InstrumentOptions.h"

#include <charconv>
#include <optional>

#include "link/DeviceTypes.h"

namespace qx::app {

namespace {

struct NamedValue {
    std::string name;
    std::optional<std::string> value;
};

NamedValue split(const std::string& option) {
    const auto eq = option.find('=');
    if (eq == std::string::npos) return {option, std::nullopt};
    return {option.substr(0, eq), option.substr(eq + 1)};
}

std::optional<unsigned> deviceType(const std::string& text) {
    unsigned type = 0;
    const char* end = text.data() + text.size();
    auto [stop, ec] = std::from_chars(text.data(), end, type);
    if (ec != std::errc() || stop != end || !DeviceTypes::isKnown(type)) return std::nullopt;
    return type;
}

}  // namespace

bool parseInstrumentOptions(const std::vector<std::string>& extra, LinkOptions& link, std::string& error) {
    bool demoChosen = false;
    for (const std::string& option : extra) {
        const NamedValue o = split(option);
        if (o.name == "--no-demo") {
            if (o.value) {
                error = "--no-demo takes no value: " + *o.value;
                return false;
            }
            link.demo = false;
        } else if (o.name == "--demo-type") {
            const auto type = o.value ? deviceType(*o.value) : std::nullopt;
            if (!type) {
                error = "--demo-type needs a device type from 1 to 9" + (o.value ? ": " + *o.value : std::string());
                return false;
            }
            link.demoDeviceType = *type;
            demoChosen = true;
        } else if (o.name == "--demo-replay") {
            if (!o.value || o.value->empty()) {
                error = "--demo-replay needs a file";
                return false;
            }
            link.replayFile = *o.value;
            demoChosen = true;
        } else {
            error = "unknown option " + o.name;
            return false;
        }
    }
    if (demoChosen && !link.demo) {
        error = "--no-demo cannot go with --demo-type or --demo-replay";
        return false;
    }
    return true;
}

}  // namespace qx::app
