#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"

namespace qx::app {

// What the command line asked for.
struct Options {
    bool help = false;
    bool version = false;
    // Log lines on standard error as well as in the data folder's log file.
    bool verbose = false;
    std::filesystem::path home;             // the data folder; empty for the default
    std::optional<std::filesystem::path> script;
    // Where the clock starts instead of the real time, so that a script that moves it by hours
    // stays within one day whenever it runs.
    std::optional<plat::Date> startTime;
    // No Twitter or Facebook account on this machine: sharing to them takes the networks' web
    // pages instead of their compose sheets.
    bool noSocialAccounts = false;
    // Where those web pages come from instead of the networks' own sites; empty for theirs.
    std::string socialWeb;
    // Options of later layers, passed on as "--name" or "--name=VALUE" (a value written as the
    // next word is joined to its name), for those layers to read.
    std::vector<std::string> extra;
};

struct ParseResult {
    std::optional<Options> options;
    std::string error;  // set when options is empty
};

ParseResult parseCommandLine(const std::vector<std::string>& args);
// A local time written YYYY-MM-DDTHH:MM, as --start-time takes it; empty when it is not one.
std::optional<plat::Date> parseLocalTime(const std::string& text);
std::string usageText();

}  // namespace qx::app
