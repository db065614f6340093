#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "AppHost.h"
#include "CommandLine.h"
#include "Driver.h"
#include "ScriptRunner.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/DataFolder.h"

int main(int argc, char** argv) {
    using namespace qx::app;
    const auto parsed = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::fprintf(stderr, "quorix: %s\n%s", parsed.error.c_str(), usageText().c_str());
        return 2;
    }
    const Options& options = *parsed.options;
    if (options.help) {
        std::printf("%s", usageText().c_str());
        return 0;
    }
    if (options.version) {
        const auto& bundle = plat::Bundle::main();
        std::printf("quorix %s (%s)\n", bundle.infoValue("CFBundleShortVersionString").c_str(),
                    bundle.infoValue("CFBundleVersion").c_str());
        return 0;
    }
    AppHost host;
    std::string error;
    if (!host.start(options.home.empty() ? plat::DataFolder::defaultRoot() : options.home, error)) {
        std::fprintf(stderr, "quorix: %s\n", error.c_str());
        return 1;
    }
    Driver driver([&host] { return host.window(); });
    ScriptRunner runner(driver, std::cout, std::cerr);
    if (options.script) return runner.runScriptFile(*options.script);
    const bool terminal = ::isatty(STDIN_FILENO) != 0;
    if (terminal) {
        std::cout << "quorix: data folder " << plat::DataFolder::root().string() << "; help lists the commands\n";
    }
    return runner.runInteractive(std::cin, terminal);
}
