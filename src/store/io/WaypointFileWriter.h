#pragma once

#include <filesystem>
#include <optional>
#include <string>
#include <vector>

#include "platform/foundation/Date.h"
#include "platform/foundation/FileUtil.h"
#include "store/io/WaypointFile.h"
#include "store/io/WaypointRecord.h"

namespace qx {

// A new waypoint file of a folder, written batch by batch: an export of the whole history holds
// neither the file nor all its records at once. The file gets its name (after `when`, local time)
// and is opened at the first batch, and appears under that name only once finish() succeeds;
// a writer dropped before leaves nothing behind. Used on one thread at a time.
class WaypointFileWriter {
public:
    WaypointFileWriter(WaypointFormat format, std::filesystem::path dir, plat::Date when);

    void append(const std::vector<WaypointRecord>& records);
    // The file's path; none, with `error` and the details' cause set, when it could not be written.
    std::optional<std::filesystem::path> finish(std::string* error = nullptr,
                                                WaypointFile::WriteDetails* details = nullptr);

private:
    // Text is handed to the file in pieces of about this size.
    static constexpr std::size_t kFlushBytes = 1 << 20;

    bool start();
    void flush();

    WaypointFormat format_;
    std::filesystem::path dir_, path_;
    plat::Date when_;
    plat::file::AtomicFile file_;
    std::string pending_;
    std::string error_;
    int cause_ = 0;
    std::size_t leftOut_ = 0;
    bool started_ = false;
};

}  // namespace qx
