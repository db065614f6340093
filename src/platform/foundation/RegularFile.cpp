#include "platform/foundation/RegularFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <utility>

namespace plat {

std::optional<RegularFile> RegularFile::open(const std::filesystem::path& path) {
    // O_NONBLOCK keeps the open of a FIFO from waiting for a writer; the type is then checked
    // on what was opened, so a file swapped after a directory listing is judged as it is now.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return std::nullopt;
    struct stat info {};
    if (::fstat(fd, &info) != 0 || !S_ISREG(info.st_mode)) {
        ::close(fd);
        return std::nullopt;
    }
    const int flags = ::fcntl(fd, F_GETFL);
    if (flags >= 0) ::fcntl(fd, F_SETFL, flags & ~O_NONBLOCK);
    return RegularFile(fd);
}

RegularFile::RegularFile(RegularFile&& other) noexcept
    : fd_(std::exchange(other.fd_, -1)), failed_(other.failed_) {}

RegularFile& RegularFile::operator=(RegularFile&& other) noexcept {
    if (this != &other) {
        if (fd_ >= 0) ::close(fd_);
        fd_ = std::exchange(other.fd_, -1);
        failed_ = other.failed_;
    }
    return *this;
}

RegularFile::~RegularFile() {
    if (fd_ >= 0) ::close(fd_);
}

std::size_t RegularFile::read(char* buffer, std::size_t size) {
    std::size_t done = 0;
    while (done < size && fd_ >= 0) {
        const ssize_t n = ::read(fd_, buffer + done, size - done);
        if (n > 0) {
            done += static_cast<std::size_t>(n);
        } else if (n == 0) {
            break;
        } else if (errno != EINTR) {
            failed_ = true;
            break;
        }
    }
    return done;
}

}  // namespace plat
