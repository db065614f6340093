#include "platform/foundation/DataFolderLock.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstdlib>
#include <cstring>

#include "platform/foundation/FileUtil.h"

namespace plat {

namespace {

// The process id the holder wrote into the file (the lock itself names no process).
pid_t writtenHolder(int fd) {
    char text[32] = {};
    const auto n = ::pread(fd, text, sizeof text - 1, 0);
    if (n <= 0) return 0;
    const long pid = std::strtol(text, nullptr, 10);
    return pid > 0 ? static_cast<pid_t>(pid) : 0;
}

}  // namespace

DataFolderLock::~DataFolderLock() {
    if (fd_ >= 0) ::close(fd_);
}

bool DataFolderLock::acquire(const std::filesystem::path& folder, std::string& error) {
    file::makeOwnFolder(folder);
    const auto path = folder / kFileName;
    // Never through a link: the pid written below would overwrite whatever file it points at.
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC, 0600);
    if (fd < 0) {
        const int cause = errno;
        error = cause == ELOOP ? path.string() + " is a link to another file, not quorix's own; remove it, or choose "
                                                 "another folder with --home"
                               : "cannot lock the data folder " + folder.string() + ": " + std::strerror(cause);
        return false;
    }
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode) || info.st_nlink != 1) {
        ::close(fd);
        error = path.string() + " is not a plain file of quorix's own (another name of a file, or no file at all); " +
                "remove it, or choose another folder with --home";
        return false;
    }
    file::keepOwner(fd, path);
    // An open-file-description lock belongs to this descriptor alone: another descriptor of the
    // program on the same file, opened and closed, cannot drop it as it would a process's lock.
    struct flock lock {};
    lock.l_type = F_WRLCK;
    lock.l_whence = SEEK_SET;
    if (::fcntl(fd, F_OFD_SETLK, &lock) != 0) {
        const int cause = errno;
        if (cause == EACCES || cause == EAGAIN) holder_ = writtenHolder(fd);
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
    // The holder's process id, for a person looking at the folder and for a second program's
    // message; only a courtesy, the lock itself is what counts.
    const std::string pid = std::to_string(::getpid()) + "\n";
    if (::ftruncate(fd, 0) == 0) {
        [[maybe_unused]] const auto written = ::pwrite(fd, pid.data(), pid.size(), 0);
    }
    fd_ = fd;
    return true;
}

}  // namespace plat
