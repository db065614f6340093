#pragma once

#include <filesystem>
#include <string>

#include "platform/foundation/RegularFile.h"
#include "store/io/WaypointRecord.h"

namespace qx {

// The records a reader gathers before it hands them to a sink.
inline constexpr std::size_t kRecordBatch = 4096;

// Reads a waypoint file through `Reader` (feed/finish/records) a piece at a time, so that memory
// does not grow with the file. Only a regular file is read: a link or special file is not
// opened. With a sink the records go to it in batches as they are read (the last batch only when
// the file was readable) and the result holds none of them; a sink that stops the reading gets an
// empty result.
template <class Reader>
WaypointReadResult readFileInPieces(const std::filesystem::path& path, const WaypointRecordSink& sink = {}) {
    auto file = plat::RegularFile::open(path);
    WaypointReadResult unreadable;
    if (!file) {
        unreadable.fail("The file cannot be opened", 0);
        return unreadable;
    }
    Reader reader;
    std::string piece(std::size_t{256} * 1024, '\0');
    while (const std::size_t n = file->read(piece.data(), piece.size())) {
        if (!reader.feed(std::string_view(piece.data(), n))) break;
        if (sink && reader.records().size() >= kRecordBatch && !sink(reader.records())) {
            // The sink's owner knows why it stopped; what was read so far is not the file's.
            return WaypointReadResult{};
        }
    }
    if (file->failed()) {
        unreadable.fail("The file cannot be opened", 0);
        return unreadable;
    }
    auto result = reader.finish();
    if (sink && result.readable && !result.records.empty()) sink(result.records);
    return result;
}

}  // namespace qx
