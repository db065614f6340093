#pragma once

#include <cstdio>
#include <filesystem>
#include <string>

#include "platform/foundation/Log.h"

namespace qx::app {

// The program's diagnostic log: every log line goes to a file in the data folder (the log of
// the latest run), and to standard error as well when asked, so that the terminal shows only
// what the person asked for. While it is open it is the log's sink; closing restores the one
// before.
class LogFile {
public:
    static constexpr const char* kFileName = "quorix.log";

    LogFile() = default;
    ~LogFile();
    LogFile(const LogFile&) = delete;
    LogFile& operator=(const LogFile&) = delete;

    // Starts the file afresh in `folder` (made when missing), as a new file of its own even
    // where a link stood; false, with `error` set, when it cannot be written: the lines then go
    // to standard error.
    bool open(const std::filesystem::path& folder, bool echo, std::string& error);
    void close();

private:
    std::FILE* file_ = nullptr;
    plat::Log::Sink previous_;
    bool installed_ = false;
};

}  // namespace qx::app
