#pragma once

#include <filesystem>
#include <string>

#include "platform/foundation/RegularFile.h"
#include "store/io/WaypointRecord.h"

namespace qx {

// Reads a waypoint file through `Reader` (feed/finish) a piece at a time, so that memory does
// not grow with the file. Only a regular file is read: a link or special file is not opened.
template <class Reader>
WaypointReadResult readFileInPieces(const std::filesystem::path& path) {
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
    }
    if (file->failed()) {
        unreadable.fail("The file cannot be opened", 0);
        return unreadable;
    }
    return reader.finish();
}

}  // namespace qx
