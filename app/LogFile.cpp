#include "LogFile.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <unistd.h>

#include <cerrno>
#include <cstring>

#include "platform/foundation/FileUtil.h"

namespace qx::app {

LogFile::~LogFile() { close(); }

namespace {

// A new file of our own under `path`. Whatever had the name goes first (a link is removed, not
// followed; another name of some file is let go of): truncating it in place would overwrite the
// file it leads to. True in `replaced` when that was anything but a plain file of its own.
std::FILE* freshFile(const std::filesystem::path& path, bool& replaced) {
    struct stat info {};
    replaced = ::lstat(path.c_str(), &info) == 0 && (!S_ISREG(info.st_mode) || info.st_nlink != 1);
    if (::unlink(path.c_str()) != 0 && errno != ENOENT) return nullptr;
    const int fd = ::open(path.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
    if (fd < 0) return nullptr;
    plat::file::keepOwner(fd, path);
    std::FILE* file = ::fdopen(fd, "w");
    if (!file) ::close(fd);
    return file;
}

}  // namespace

bool LogFile::open(const std::filesystem::path& folder, bool echo, std::string& error) {
    close();
    const auto path = folder / kFileName;
    bool replaced = false;
    if (plat::file::ensureDirectory(folder)) file_ = freshFile(path, replaced);
    if (!file_) {
        error = "cannot write the log " + path.string() + ": " + std::strerror(errno);
        return false;
    }
    // Line by line, so that the log is complete up to the moment of a crash.
    std::setvbuf(file_, nullptr, _IOLBF, 0);
    std::FILE* file = file_;
    previous_ = plat::Log::setSink([file, echo](const std::string& line) {
        std::fprintf(file, "%s\n", line.c_str());
        if (echo) std::fprintf(stderr, "%s\n", line.c_str());
    });
    installed_ = true;
    if (replaced) {
        plat::Log::line(std::string("quorix: ") + kFileName +
                        " was a link or another name of some file; that file is left as it was, and the log "
                        "is a file of its own again");
    }
    return true;
}

void LogFile::close() {
    if (installed_) plat::Log::setSink(std::move(previous_));
    installed_ = false;
    if (file_) std::fclose(file_);
    file_ = nullptr;
}

}  // namespace qx::app
