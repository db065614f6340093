#include "platform/foundation/FileUtil.h"

#include <fcntl.h>
#include <pthread.h>
#include <signal.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <cerrno>
#include <cstring>
#include <fstream>
#include <mutex>
#include <sstream>

#include "platform/foundation/Log.h"

namespace plat::file {

std::optional<std::string> read(const std::filesystem::path& path) {
    std::ifstream in(path, std::ios::binary);
    if (!in) return std::nullopt;
    // Read into one string of the file's size: a stream's buffer grows by doubling, up to twice
    // a file that may be hundreds of megabytes. Files that tell no true size (/proc, /sys) are
    // read to their end all the same.
    std::error_code unknown;
    const auto size = std::filesystem::file_size(path, unknown);
    std::string bytes(unknown ? 0 : static_cast<std::size_t>(size), '\0');
    in.read(bytes.data(), static_cast<std::streamsize>(bytes.size()));
    bytes.resize(static_cast<std::size_t>(in.gcount()));
    if (in.bad()) return std::nullopt;
    if (!in.eof()) {
        std::ostringstream rest;
        rest << in.rdbuf();
        if (in.bad()) return std::nullopt;
        bytes += std::move(rest).str();
    }
    return bytes;
}

namespace {
// 0 for a plain file, else the cause readPlainFile gives for what `info` describes.
int notPlainCause(int statResult, const struct stat& info) {
    if (statResult != 0) return errno;
    return S_ISREG(info.st_mode) ? 0 : S_ISDIR(info.st_mode) ? EISDIR : kNotPlainFile;
}

// Reads the open file `fd` from where it stands, at most `limit` bytes.
std::optional<std::string> readBounded(int fd, std::size_t limit, int& cause) {
    struct stat info {};
    if ((cause = notPlainCause(::fstat(fd, &info), info)) != 0) return std::nullopt;
    // One byte more than the file's size tells a file that grew meanwhile.
    std::string bytes(std::min(static_cast<std::size_t>(info.st_size), limit) + 1, '\0');
    std::size_t got = 0;
    for (;;) {
        if (got == bytes.size()) {
            if (got > limit) {
                cause = kTooLarge;
                return std::nullopt;
            }
            bytes.resize(std::min(limit + 1, std::max<std::size_t>(bytes.size() * 2, 4096)));
        }
        const ssize_t n = ::read(fd, bytes.data() + got, bytes.size() - got);
        if (n < 0 && errno == EINTR) continue;
        if (n < 0) {
            cause = errno;
            return std::nullopt;
        }
        if (n == 0) break;
        got += static_cast<std::size_t>(n);
    }
    bytes.resize(got);
    return bytes;
}
}  // namespace

std::optional<std::string> readPlainFile(const std::filesystem::path& path, std::size_t limit, int& cause) {
    // Looked at before it is opened: opening a device may do something of its own.
    struct stat info {};
    if ((cause = notPlainCause(::stat(path.c_str(), &info), info)) != 0) return std::nullopt;
    // Without waiting, should a FIFO have taken the name since.
    const int fd = ::open(path.c_str(), O_RDONLY | O_NONBLOCK | O_NOCTTY | O_CLOEXEC);
    if (fd < 0) {
        cause = errno == ENXIO ? kNotPlainFile : errno;
        return std::nullopt;
    }
    auto bytes = readBounded(fd, limit, cause);
    ::close(fd);
    return bytes;
}

namespace {
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

// While it lives, a FIFO whose reader went away fails a write with EPIPE instead of ending the
// program with SIGPIPE (which the crash reporter would take for a crash).
class PipeSignalBlock {
public:
    PipeSignalBlock() {
        sigemptyset(&pipe_);
        sigaddset(&pipe_, SIGPIPE);
        pthread_sigmask(SIG_BLOCK, &pipe_, &before_);
    }
    ~PipeSignalBlock() {
        if (sigismember(&before_, SIGPIPE)) return;
        // The signal a failed write left pending is taken before it can be delivered; the
        // write's errno is what the caller reads.
        const int cause = errno;
        const timespec none{};
        while (sigtimedwait(&pipe_, nullptr, &none) == SIGPIPE) {
        }
        pthread_sigmask(SIG_SETMASK, &before_, nullptr);
        errno = cause;
    }
    PipeSignalBlock(const PipeSignalBlock&) = delete;
    PipeSignalBlock& operator=(const PipeSignalBlock&) = delete;

private:
    sigset_t pipe_{}, before_{};
};
}  // namespace

void setWriteFilter(WriteFilter filter) {
    std::lock_guard lock(filterMutex);
    filterSlot() = std::move(filter);
}

bool isOutOfRoom(int code) { return code == ENOSPC || code == EDQUOT || code == EFBIG; }

AtomicFile::~AtomicFile() { discard(); }

void AtomicFile::discard() {
    if (fd_ >= 0) ::close(fd_);
    if (!tmp_.empty()) ::unlink(tmp_.c_str());
    fd_ = -1;
    tmp_.clear();
    through_ = false;
}

bool AtomicFile::failed(std::string* error, const std::string& what, int cause) {
    discard();
    if (cause_ == 0) {
        cause_ = cause;
        failure_ = what + ": " + std::strerror(cause);
    }
    if (error) *error = failure_;
    errno = cause_;
    return false;
}

namespace {
// Creates a fresh temporary file beside `path`. The name is only a guess another program could
// make too: one that is already there (a file, or a link planted to have its target written) is
// never opened, the next number is taken instead.
int createTemporary(const std::filesystem::path& path, std::filesystem::path& tmp) {
    static std::atomic<unsigned> counter{0};
    constexpr int kAttempts = 100;
    for (int attempt = 0; attempt < kAttempts; ++attempt) {
        tmp = path;
        tmp += ".tmp-" + std::to_string(::getpid()) + "-" + std::to_string(counter++);
        const int fd = ::open(tmp.c_str(), O_WRONLY | O_CREAT | O_EXCL | O_NOFOLLOW | O_CLOEXEC, 0600);
        if (fd >= 0 || errno != EEXIST) return fd;
    }
    errno = EEXIST;
    return -1;
}
}  // namespace

bool AtomicFile::open(const std::filesystem::path& path, std::string* error) {
    if (path.has_parent_path()) makeOwnFolder(path.parent_path());
    path_ = path;
    struct stat found {};
    if (::lstat(path.c_str(), &found) == 0 && !S_ISREG(found.st_mode) && !S_ISLNK(found.st_mode))
        return openThrough(found.st_mode, error);
    std::filesystem::path tmp;
    fd_ = createTemporary(path, tmp);
    if (fd_ < 0) return failed(error, "cannot create " + tmp.string(), errno);
    tmp_ = std::move(tmp);
    return true;
}

bool AtomicFile::openThrough(unsigned mode, std::string* error) {
    const std::string what = "cannot write " + path_.string();
    if (S_ISDIR(mode)) return failed(error, what + ", a folder", EISDIR);
    if (S_ISBLK(mode)) return failed(error, what + ", a disk device, which is never written over", EPERM);
    if (!S_ISCHR(mode) && !S_ISFIFO(mode)) return failed(error, what + ", a socket", ENXIO);
    fd_ = ::open(path_.c_str(), O_WRONLY | O_NOCTTY | O_NOFOLLOW | O_CLOEXEC);
    if (fd_ < 0) return failed(error, what, errno);
    struct stat opened {};
    if (::fstat(fd_, &opened) != 0 || !(S_ISCHR(opened.st_mode) || S_ISFIFO(opened.st_mode))) {
        // A file that took the name meanwhile would keep its old tail past the bytes written.
        return failed(error, what + ", which changed while it was opened", EAGAIN);
    }
    through_ = true;
    return true;
}

bool AtomicFile::append(std::string_view bytes, std::string* error) {
    if (cause_ != 0 || fd_ < 0) return failed(error, "cannot write " + path_.string(), cause_ ? cause_ : EBADF);
    std::optional<PipeSignalBlock> pipeSignal;
    if (through_) pipeSignal.emplace();
    const char* p = bytes.data();
    std::size_t left = bytes.size();
    while (left > 0) {
        ssize_t n = filteredWrite(fd_, p, left);
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return failed(error, "cannot write " + (through_ ? path_ : tmp_).string(), n < 0 ? errno : ENOSPC);
        p += n;
        left -= static_cast<std::size_t>(n);
    }
    return true;
}

bool AtomicFile::commit(std::string* error) { return place(error, {}); }

bool AtomicFile::commitAsNew(const std::function<std::filesystem::path()>& another, std::string* error) {
    return place(error, another);
}

// A file system that cannot refuse in the rename itself is asked through a hard link.
int renameAsNew(const std::filesystem::path& tmp, const std::filesystem::path& path) {
    if (::renameat2(AT_FDCWD, tmp.c_str(), AT_FDCWD, path.c_str(), RENAME_NOREPLACE) == 0) return 0;
    if (errno != EINVAL && errno != ENOSYS) return errno;
    if (::link(tmp.c_str(), path.c_str()) != 0) return errno;
    ::unlink(tmp.c_str());
    return 0;
}

int moveAside(const std::filesystem::path& file, const std::string& suffix, std::filesystem::path& aside) {
    constexpr int kAttempts = 100;
    int moved = EEXIST;
    for (int n = 0; moved == EEXIST && n < kAttempts; ++n) {
        aside = file;
        aside += suffix + (n == 0 ? std::string() : "-" + std::to_string(n));
        moved = renameAsNew(file, aside);
    }
    return moved;
}

void keepOwner(int fd, const std::filesystem::path& name) {
    if (::geteuid() != 0) return;
    struct stat owner {};
    // A file root was given by an earlier run goes back to the folder's owner.
    const bool replacesTheirs = ::lstat(name.c_str(), &owner) == 0 && S_ISREG(owner.st_mode) && owner.st_uid != 0;
    const auto folder = name.has_parent_path() ? name.parent_path() : std::filesystem::path(".");
    if (!replacesTheirs && ::stat(folder.c_str(), &owner) != 0) return;
    if (owner.st_uid == 0) return;
    if (::fchown(fd, owner.st_uid, owner.st_gid) != 0) {
        Log::line("keepOwner: " + Log::quoted(name.string()) + " stays root's: " + std::strerror(errno));
    }
}

bool AtomicFile::finishThrough(std::string* error) {
    // A device or FIFO has nothing to flush to a disk: its reader has the bytes.
    const int closed = ::close(fd_) == 0 ? 0 : errno;
    fd_ = -1;
    through_ = false;
    if (closed != 0) return failed(error, "cannot write " + path_.string(), closed);
    return true;
}

bool AtomicFile::place(std::string* error, const std::function<std::filesystem::path()>& another) {
    if (cause_ != 0 || fd_ < 0) return failed(error, "cannot write " + path_.string(), cause_ ? cause_ : EBADF);
    if (through_) return finishThrough(error);
    keepOwner(fd_, path_);
    // Closed whether or not it reached the disk.
    const int synced = ::fsync(fd_) == 0 ? 0 : errno;
    const int closed = ::close(fd_) == 0 ? 0 : errno;
    fd_ = -1;
    if (synced != 0 || closed != 0) {
        return failed(error, "cannot flush " + tmp_.string(), synced != 0 ? synced : closed);
    }
    // A link at the target's own name is replaced, never written through.
    int moved = another ? renameAsNew(tmp_, path_) : (::rename(tmp_.c_str(), path_.c_str()) == 0 ? 0 : errno);
    for (int tries = 0; moved == EEXIST && tries < 100; ++tries) {
        path_ = another();
        moved = renameAsNew(tmp_, path_);
    }
    if (moved != 0) return failed(error, "cannot rename onto " + path_.string(), moved);
    tmp_.clear();
    // The file is in place and whole from here on: a folder that could not be flushed only
    // means the new name might not survive a power cut, which is no failure of the write.
    const int folderSynced = syncFolder(path_.has_parent_path() ? path_.parent_path() : std::filesystem::path("."));
    if (folderSynced != 0) {
        Log::line("writeAtomically: the folder of " + Log::quoted(path_.string()) +
                  " was not flushed: " + std::strerror(folderSynced));
    }
    return true;
}

bool writeAtomically(const std::filesystem::path& path, std::string_view bytes, std::string* error) {
    AtomicFile file;
    return file.open(path, error) && file.append(bytes, error) && file.commit(error);
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

bool ensureDirectory(const std::filesystem::path& path, int* cause) {
    std::error_code made, found;
    std::filesystem::create_directories(path, made);
    if (std::filesystem::is_directory(path, found)) return true;
    if (cause) *cause = std::filesystem::exists(path, found) ? ENOTDIR : made ? made.value() : ENOENT;
    return false;
}

bool makeOwnFolder(const std::filesystem::path& path) {
    if (path.has_parent_path()) ensureDirectory(path.parent_path());
    if (::mkdir(path.c_str(), 0700) != 0) return ensureDirectory(path);
    const int fd = ::open(path.c_str(), O_RDONLY | O_DIRECTORY | O_NOFOLLOW | O_CLOEXEC);
    if (fd >= 0) {
        keepOwner(fd, path);
        ::close(fd);
    }
    return true;
}

std::filesystem::path uniqueName(const std::filesystem::path& dir, const std::string& stem,
                                 const std::string& ext) {
    auto candidate = dir / (stem + ext);
    // A link takes its name whether or not it leads anywhere. A folder that cannot be searched
    // answers with an error rather than "absent": the name is returned as it is, and writing it
    // then fails with the folder's real cause.
    for (int n = 1;; ++n) {
        std::error_code ec;
        const auto type = std::filesystem::symlink_status(candidate, ec).type();
        if (type == std::filesystem::file_type::not_found || type == std::filesystem::file_type::none) return candidate;
        candidate = dir / (stem + "-" + std::to_string(n) + ext);
    }
}

bool keepToOwner(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC);
    if (fd < 0) return false;
    struct stat info {};
    bool kept = ::fstat(fd, &info) == 0 && (S_ISDIR(info.st_mode) || S_ISREG(info.st_mode));
    if (kept && (info.st_mode & (S_IRWXG | S_IRWXO)) != 0)
        kept = ::fchmod(fd, info.st_mode & 07777 & ~(S_IRWXG | S_IRWXO)) == 0;
    ::close(fd);
    return kept;
}

bool isUniqueNameOf(std::string_view name, std::string_view pattern,
                    std::initializer_list<std::string_view> extensions) {
    if (name.size() < pattern.size()) return false;
    for (std::size_t i = 0; i < pattern.size(); ++i) {
        const bool digit = name[i] >= '0' && name[i] <= '9';
        if (pattern[i] == '#' ? !digit : name[i] != pattern[i]) return false;
    }
    name.remove_prefix(pattern.size());
    for (const auto ext : extensions) {
        if (!name.ends_with(ext)) continue;
        const auto counter = name.substr(0, name.size() - ext.size());
        if (counter.empty()) return true;
        const bool numbered = counter.size() > 1 && counter[0] == '-' &&
                              counter.find_first_not_of("0123456789", 1) == std::string_view::npos;
        if (numbered) return true;
    }
    return false;
}

}  // namespace plat::file
