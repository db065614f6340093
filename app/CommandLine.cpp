#include "CommandLine.h"

#include <ctime>

namespace qx::app {

std::string usageText() {
    return "usage: quorix [options]\n"
           "  --home DIR       keep the data in DIR (default: $XDG_DATA_HOME/quorix or ~/.local/share/quorix)\n"
           "  --script FILE    run the driver commands of FILE, then exit (non-zero at the first failed\n"
           "                   expectation)\n"
           "  --start-time YYYY-MM-DDTHH:MM\n"
           "                   start the clock at this local time instead of now (scripts move it\n"
           "                   with advance)\n"
           "  --no-demo        start without the demo instrument (it is connected by default)\n"
           "  --demo-type N    the demo instrument's model, a device type from 1 to 9 (default 3):\n"
           "                   1 VN2560, 2 VN2450 (accessory), 3 VN2450A, 4 VN2340A, 5 VN2340A-M,\n"
           "                   6 VN2340A-GN, 7 VN2340A-GNM, 8 VN2230RX1, 9 VN2110BT (Bluetooth LE)\n"
           "  --demo-replay FILE\n"
           "                   let the demo instrument play a recorded walk: CSV rows of time offset (s),\n"
           "                   dose rate (µSv/h), dose (µSv), latitude, longitude, altitude (m), speed (m/s)\n"
           "  --no-social-accounts\n"
           "                   start without Twitter and Facebook accounts: sharing to them opens the\n"
           "                   networks' web pages (the share page, the feed dialog) instead of their\n"
           "                   compose sheets\n"
           "  --social-web URL take those web pages from URL (such as http://127.0.0.1:8080) instead\n"
           "                   of the networks' own sites\n"
           "  --verbose        show the log on standard error too (it is always written to quorix.log\n"
           "                   in the data folder)\n"
           "  --version        print the version and exit\n"
           "  --help           print this text and exit\n";
}

ParseResult parseCommandLine(const std::vector<std::string>& args) {
    Options options;
    for (std::size_t i = 0; i < args.size(); ++i) {
        const std::string& arg = args[i];
        auto value = [&](std::string& out) {
            if (i + 1 >= args.size() || args[i + 1].empty()) return false;
            out = args[++i];
            return true;
        };
        std::string v;
        if (arg == "--help" || arg == "-h") {
            options.help = true;
        } else if (arg == "--version") {
            options.version = true;
        } else if (arg == "--verbose") {
            options.verbose = true;
        } else if (arg == "--home") {
            if (!value(v)) return {std::nullopt, "--home needs a folder"};
            options.home = v;
        } else if (arg == "--no-social-accounts") {
            options.noSocialAccounts = true;
        } else if (arg == "--social-web") {
            if (!value(v) || v.rfind("http", 0) != 0) {
                return {std::nullopt, "--social-web needs an http or https address"};
            }
            while (!v.empty() && v.back() == '/') v.pop_back();
            options.socialWeb = v;
        } else if (arg == "--script") {
            if (!value(v)) return {std::nullopt, "--script needs a file"};
            options.script = v;
        } else if (arg == "--start-time") {
            if (!value(v)) return {std::nullopt, "--start-time needs a time such as 2026-03-10T09:00"};
            options.startTime = parseLocalTime(v);
            if (!options.startTime) return {std::nullopt, "--start-time: not a time such as 2026-03-10T09:00: " + v};
        } else if (arg.rfind("--", 0) == 0) {
            // Later layers' options; which of them take values is theirs to say, so a following
            // word that is no option goes with this one.
            const bool nextIsValue = i + 1 < args.size() && args[i + 1].rfind("--", 0) != 0;
            if (arg.find('=') == std::string::npos && nextIsValue) {
                options.extra.push_back(arg + "=" + args[++i]);
            } else {
                options.extra.push_back(arg);
            }
        } else {
            return {std::nullopt, "unexpected argument: " + arg};
        }
    }
    return {options, {}};
}

std::optional<plat::Date> parseLocalTime(const std::string& text) {
    std::tm fields{};
    const char* end = ::strptime(text.c_str(), "%Y-%m-%dT%H:%M", &fields);
    if (end == nullptr || *end != '\0') return std::nullopt;
    fields.tm_isdst = -1;  // summer time as the zone has it on that day
    const std::time_t seconds = std::mktime(&fields);
    if (seconds == static_cast<std::time_t>(-1)) return std::nullopt;
    return plat::Date(static_cast<double>(seconds));
}

}  // namespace qx::app
