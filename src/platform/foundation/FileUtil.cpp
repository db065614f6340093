#include "platform/foundation/FileUtil.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

namespace plat::file {

std::optional<std::string> read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    std::ostringstream out;
    out << in.rdbuf();
    if (in.bad()) return std::nullopt;
    return std::move(out).str();
}

namespace {
bool fail(std::string* error, const std::string& what, int cause) {
    if (error) *error = what + ": " + std::strerror(cause);
    errno = cause;
    return false;
}

std::mutex filterMutex;
WriteFilter& filterSlot() {
    static WriteFilter filter;
    return filter;
}

// Writes the folder's entries to disk, so that a name just given to a file survives a power cut:
// 0, or the errno of a failed flush. A folder that cannot be opened for it, or whose file system
// cannot flush folders, is left as it is.
int syncFolder(const std::filesystem::path& folder) {
    const int fd = ::open(folder.c_str(), O_RDONLY | O_DIRECTORY | O_CLOEXEC);
    if (fd < 0) return 0;
    const int synced = ::fsync(fd) == 0 || errno == EINVAL ? 0 : errno;
    ::close(fd);
    return synced;
}

ssize_t filteredWrite(int fd, const char* p, std::size_t n) {
    {
        std::lock_guard lock(filterMutex);
        if (filterSlot() && !filterSlot()(n)) return -1;
    }
    return ::write(fd, p, n);
}
}  // namespace

void setWriteFilter(WriteFilter filter) {
    std::lock_guard lock(filterMutex);
    filterSlot() = std::move(filter);
}

bool isOutOfRoom(int code) { return code == ENOSPC || code == EDQUOT || code == EFBIG; }

bool writeAtomically(const std::filesystem::path& path, std::string_view bytes, std::string* error) {
    static std::atomic<unsigned> counter{0};
    if (path.has_parent_path()) ensureDirectory(path.parent_path());
    auto tmp = path;
    tmp += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return fail(error, "cannot create " + tmp.string(), errno);
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = filteredWrite(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            const int cause = n < 0 ? errno : ENOSPC;
            ::close(fd);
            ::unlink(tmp.c_str());
            return fail(error, "cannot write " + tmp.string(), cause);
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    // Closed whether or not it reached the disk.
    const int synced = ::fsync(fd) == 0 ? 0 : errno;
    const int closed = ::close(fd) == 0 ? 0 : errno;
    if (synced != 0 || closed != 0) {
        ::unlink(tmp.c_str());
        return fail(error, "cannot flush " + tmp.string(), synced != 0 ? synced : closed);
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int cause = errno;
        ::unlink(tmp.c_str());
        return fail(error, "cannot rename onto " + path.string(), cause);
    }
    const int folderSynced = syncFolder(path.has_parent_path() ? path.parent_path() : std::filesystem::path("."));
    if (folderSynced != 0) return fail(error, "cannot flush the folder of " + path.string(), folderSynced);
    return true;
}

bool isTemporaryName(std::string_view name) {
    const auto at = name.rfind(".tmp-");
    if (at == std::string_view::npos || at == 0) return false;
    const auto rest = name.substr(at + 5);
    const auto dash = rest.find('-');
    auto digits = [](std::string_view s) {
        return !s.empty() && s.find_first_not_of("0123456789") == std::string_view::npos;
    };
    return dash != std::string_view::npos && digits(rest.substr(0, dash)) && digits(rest.substr(dash + 1));
}

bool ensureDirectory(const std::filesystem::path& path) {
    std::error_code ec;
    std::filesystem::create_directories(path, ec);
    return std::filesystem::is_directory(path, ec);
}

std::filesystem::path uniqueName(const std::filesystem::path& dir, const std::string& stem,
                                 const std::string& ext) {
    auto candidate = dir / (stem + ext);
    for (int n = 1; std::filesystem::exists(candidate); ++n) {
        candidate = dir / (stem + "-" + std::to_string(n) + ext);
    }
    return candidate;
}

}  // namespace plat::file
