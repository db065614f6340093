#pragma once

#include <filesystem>
#include <string>
#include <sys/types.h>

namespace plat {

// One program per data folder: an advisory lock on a file in the folder, which the system
// releases however the holder ends (a kill included). Held while the object lives.
class DataFolderLock {
public:
    static constexpr const char* kFileName = "quorix.lock";

    DataFolderLock() = default;
    ~DataFolderLock();
    DataFolderLock(const DataFolderLock&) = delete;
    DataFolderLock& operator=(const DataFolderLock&) = delete;

    // Takes the lock, making the folder (readable by its owner only) when it is missing. False
    // when it cannot be taken: `error` says why, naming the folder and, when another program
    // holds it, that program's process id as it wrote it into the file (also in holder()); or
    // naming the lock file when that is a link or another name of some file, which is left as
    // it is.
    bool acquire(const std::filesystem::path& folder, std::string& error);
    pid_t holder() const { return holder_; }

private:
    int fd_ = -1;
    pid_t holder_ = 0;
};

}  // namespace plat
