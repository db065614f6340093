#include <cstdio>
#include <string>
#include <vector>

#include "CommandLine.h"
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
    const auto home = options.home.empty() ? plat::DataFolder::defaultRoot() : options.home;
    if (!plat::DataFolder::setRoot(home)) {
        std::fprintf(stderr, "quorix: cannot use %s as the data folder\n", home.c_str());
        return 1;
    }
    std::printf("quorix: data folder %s\n", plat::DataFolder::root().c_str());
    return 0;
}
