#pragma once

#include <cstdint>
#include <string>
#include <vector>

// Reads a session's log files back the way the service does, independently of the writer.
namespace bbtest {

struct LogEntry {
    std::int64_t time = 0;
    std::string message;
    bool operator==(const LogEntry&) const = default;
};

// Inflates each zlib stream of a .zlog in turn; fails the current test on a broken stream.
std::vector<std::string> inflateStreams(const std::string& zlog);

// Entries packed back to back.
std::vector<LogEntry> parseEntries(const std::string& bytes);

struct SessionLog {
    std::uint32_t count = 0;  // from the .ulog header
    std::size_t streams = 0;  // zlib streams in the .zlog
    std::vector<LogEntry> entries;
};

// `path` without extension.
SessionLog readSessionLog(const std::string& path);

}  // namespace bbtest
