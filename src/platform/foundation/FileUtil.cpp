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
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        const int cause = errno;
        ::unlink(tmp.c_str());
        return fail(error, "cannot flush " + tmp.string(), cause);
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        const int cause = errno;
        ::unlink(tmp.c_str());
        return fail(error, "cannot rename onto " + path.string(), cause);
    }
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
