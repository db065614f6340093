#include "CommandLine.h"

namespace qx::app {

std::string usageText() {
    return "usage: quorix [options]\n"
           "  --home DIR       keep the data in DIR (default: $XDG_DATA_HOME/quorix or ~/.local/share/quorix)\n"
           "  --script FILE    run the driver commands of FILE, then exit (non-zero at the first failed\n"
           "                   expectation)\n"
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
        } else if (arg == "--home") {
            if (!value(v)) return {std::nullopt, "--home needs a folder"};
            options.home = v;
        } else if (arg == "--script") {
            if (!value(v)) return {std::nullopt, "--script needs a file"};
            options.script = v;
        } else if (arg.rfind("--", 0) == 0) {
            options.extra.push_back(arg);
        } else {
            return {std::nullopt, "unexpected argument: " + arg};
        }
    }
    return {options, {}};
}

}  // namespace qx::app
