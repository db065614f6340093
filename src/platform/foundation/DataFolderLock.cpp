#include "platform/foundation/DataFolderLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

namespace plat {

DataFolderLock::~DataFolderLock() {
    if (fd_ >= 0) ::close(fd_);
}

bool DataFolderLock::acquire(const std::filesystem::path& folder, std::string& error) {
    std::error_code ec;
    std::filesystem::create_directories(folder, ec);
    const auto path = folder / kFileName;
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_CLOEXEC, 0600);
    if (fd < 0) {
        error = "cannot lock the data folder " + folder.string() + ": " + std::strerror(errno);
        return false;
    }
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd, F_SETLK, &lock) != 0) {
        const int cause = errno;
        struct flock probe {};
        probe.l_type = F_WRLCK;
        probe.l_whence = SEEK_SET;
        if (::fcntl(fd, F_GETLK, &probe) == 0 && probe.l_type != F_UNLCK) holder_ = probe.l_pid;
        ::close(fd);
        if (cause == EACCES || cause == EAGAIN) {
            error = "the data folder " + folder.string() + " is in use by another quorix" +
                    (holder_ > 0 ? " (process " + std::to_string(holder_) + ")" : std::string()) +
                    "; end that one first, or choose another folder with --home";
        } else {
            error = "cannot lock the data folder " + folder.string() + ": " + std::strerror(cause);
        }
        return false;
    }
    // The holder's process id, for a person looking at the folder; only a courtesy, the lock
    // itself is what counts.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const auto written = ::pwrite(fd, pid.data(), pid.size(), 0);
    }
    fd_ = fd;
    return true;
}

}  // namespace plat
