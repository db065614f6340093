#include <sys/stat.h>
#include <unistd.h>

#include <cstdio>
#include <iostream>
#include <string>
#include <vector>

#include "AppHost.h"
#include "CommandLine.h"
#include "Driver.h"
#include "InstrumentOptions.h"
#include "LogFile.h"
#include "ScriptRunner.h"
#include "platform/foundation/Bundle.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/DataFolderLock.h"
#include "platform/foundation/Log.h"
#include "platform/ui/SocialComposer.h"
#include "services/SharingManager.h"

namespace {
// A mistyped option gets its error and a pointer to the options, not the whole usage text.
constexpr const char* kSeeHelp = "Try 'quorix --help' for the options.\n";
}  // namespace

int main(int argc, char** argv) {
    using namespace qx::app;
    // What the program keeps (readings with their places, the log of uploads, the secrets) is
    // for its owner only: every file and folder it makes, SQLite's included.
    ::umask(077);
    const auto parsed = parseCommandLine(std::vector<std::string>(argv + 1, argv + argc));
    if (!parsed.options) {
        std::fprintf(stderr, "quorix: %s\n%s", parsed.error.c_str(), kSeeHelp);
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
    qx::LinkOptions link;
    std::string error;
    if (!parseInstrumentOptions(options.extra, link, error)) {
        std::fprintf(stderr, "quorix: %s\n%s", error.c_str(), kSeeHelp);
        return 2;
    }
    // Everything that can be found wrong without the data folder is, before anything is made.
    if (options.script && ::access(options.script->c_str(), R_OK) != 0) {
        std::fprintf(stderr, "quorix: cannot read the script %s\n", options.script->c_str());
        return 2;
    }
    const auto home = options.home.empty() ? plat::DataFolder::defaultRoot() : options.home;
    if (!AppHost::dataFolderUsable(home, error)) {
        std::fprintf(stderr, "quorix: %s\n", error.c_str());
        return 1;
    }
    // The folder is owned before anything in it is touched: a second program on it would hand
    // out the same record numbers and overwrite the first one's settings.
    plat::DataFolderLock lock;
    if (!lock.acquire(home, error)) {
        std::fprintf(stderr, "quorix: %s\n", error.c_str());
        return 1;
    }
    LogFile log;
    if (!log.open(home, options.verbose, error)) std::fprintf(stderr, "quorix: %s\n", error.c_str());
    if (options.noSocialAccounts) {
        plat::SocialComposer::setAvailable(plat::SocialService::Twitter, false);
        plat::SocialComposer::setAvailable(plat::SocialService::Facebook, false);
    }
    qx::SharingManager::setSocialWebSite(options.socialWeb);
    AppHost host;
    switch (host.start(home, link, error, options.startTime)) {
        case AppHost::StartResult::started: break;
        case AppHost::StartResult::badOptions: std::fprintf(stderr, "quorix: %s\n", error.c_str()); return 2;
        case AppHost::StartResult::failed: std::fprintf(stderr, "quorix: %s\n", error.c_str()); return 1;
    }
    Driver driver([&host] { return host.window(); });
    ScriptRunner runner(driver, std::cout, std::cerr);
    if (options.script) return runner.runScriptFile(*options.script);
    const bool terminal = ::isatty(STDIN_FILENO) != 0;
    if (terminal) {
        std::cout << "quorix: data folder " << plat::DataFolder::root().string() << "; help lists the commands\n";
    }
    return terminal ? runner.runAtTerminal(STDIN_FILENO) : runner.runInteractive(std::cin, false);
}
