#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <string_view>
#include <vector>

#include "platform/foundation/Date.h"
#include "store/io/WaypointRecord.h"

namespace qx {

// The two waypoint file formats, numbered as the export choices are.
enum class WaypointFormat { CSV = 1, GPX = 2 };

// Waypoint files as whole files: the format of a file, a fresh name for an export, writing
// atomically and reading either format.
class WaypointFile {
public:
    static std::optional<WaypointFormat> formatFromNumber(unsigned number);
    // By the file's extension (either case); none for any other file.
    static std::optional<WaypointFormat> formatOfFile(const std::filesystem::path& path);
    static const char* extension(WaypointFormat format);  // ".csv", ".gpx"
    static const char* mimeType(WaypointFormat format);

    // What a write tells beyond the file: the errno of a failure, and how many readings the
    // format could not hold (a GPX waypoint needs a position).
    struct WriteDetails {
        int cause = 0;
        std::size_t leftOut = 0;
    };

    // Writes the records into a new file of `dir` named after `when` (local time) and returns
    // its path; none, with `error` set, when it cannot be written.
    static std::optional<std::filesystem::path> writeNew(const std::vector<WaypointRecord>& records,
                                                         WaypointFormat format, const std::filesystem::path& dir,
                                                         plat::Date when, std::string* error = nullptr,
                                                         WriteDetails* details = nullptr);
    // The fresh name writeNew gives a file of `dir` written at `when`.
    static std::filesystem::path newExportPath(WaypointFormat format, const std::filesystem::path& dir, plat::Date when);
    // Whether `name` is one that writeNew gives its files.
    static bool isExportName(std::string_view name);

    // With a sink the records go to it in batches as they are read (see WaypointRecordSink).
    static WaypointReadResult read(const std::filesystem::path& path, const WaypointRecordSink& sink = {});
};

}  // namespace qx
