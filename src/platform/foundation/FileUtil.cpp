#include "platform/foundation/FileUtil.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
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
bool fail(std::string* error, const std::string& what) {
    if (error) *error = what + ": " + std::strerror(errno);
    return false;
}
}  // namespace

bool writeAtomically(const std::filesystem::path& path, std::string_view bytes, std::string* error) {
    static std::atomic<unsigned> counter{0};
    if (path.has_parent_path()) ensureDirectory(path.parent_path());
    auto tmp = path;
    tmp += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
    int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_TRUNC | O_CLOEXEC, 0600);
    if (fd < 0) return fail(error, "cannot create " + tmp.string());
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = ::write(fd, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) {
            ::close(fd);
            ::unlink(tmp.c_str());
            return fail(error, "cannot write " + tmp.string());
        }
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    if (::fsync(fd) != 0 || ::close(fd) != 0) {
        ::unlink(tmp.c_str());
        return fail(error, "cannot flush " + tmp.string());
    }
    if (::rename(tmp.c_str(), path.c_str()) != 0) {
        ::unlink(tmp.c_str());
        return fail(error, "cannot rename onto " + path.string());
    }
    return true;
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
