#pragma once

#include <cstddef>
#include <optional>

namespace qxtest {

// A disk that fills up on demand, for the code under test: once armed, the files of the data
// folder may grow only by so many more bytes, SQLite's (through a file layer installed as its
// default) and those of the platform's whole-file writes; past that, writes fail as on a full
// disk (SQLITE_FULL, ENOSPC). Made room again, they write as before. One at a time.
class FullDisk {
public:
    FullDisk();
    ~FullDisk();
    FullDisk(const FullDisk&) = delete;
    FullDisk& operator=(const FullDisk&) = delete;

    // What takes room. On an ordinary file system only a file that grows does: SQLite then
    // still commits into the room its log already has. On a copy-on-write one every write does,
    // a rewritten block being a new one: then no save gets through.
    enum class Room { forGrowth, forEveryWrite };

    // Lets `bytes` more bytes be written, then fails every write that takes room.
    void fillAfter(std::size_t bytes, Room taken = Room::forGrowth);
    void makeRoom();
    // The writes refused since armed.
    std::size_t refusedWrites() const;
};

}  // namespace qxtest
