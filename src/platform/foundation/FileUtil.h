#pragma once

#include <cerrno>
#include <filesystem>
#include <functional>
#include <initializer_list>
#include <optional>
#include <string>
#include <string_view>

namespace plat {

// Whole-file helpers. Writes go to a temporary file beside the target, are flushed to disk and
// renamed over it, so that a crash leaves either the old file or the new one, never half.
namespace file {

std::optional<std::string> read(const std::filesystem::path& path);

// Causes readPlainFile gives besides the system's: the name (or what a link at it leads to) is
// no plain file but a FIFO, a device or a socket; the file is larger than asked for.
inline constexpr int kNotPlainFile = ENODEV;
inline constexpr int kTooLarge = EFBIG;

// Reads a plain file of at most `limit` bytes, never waiting and never holding more than that:
// a FIFO or a device under the name is not opened to be read. On failure `cause` gets ENOENT
// (no file), kNotPlainFile, EISDIR (a folder), kTooLarge or the errno of the failed open or read.
std::optional<std::string> readPlainFile(const std::filesystem::path& path, std::size_t limit, int& cause);

// On failure returns false and, when `error` is given, a description; errno then holds the
// cause (ENOSPC on a full disk). The folders on the way may be links (a Documents folder kept
// elsewhere); a link standing at the file's own name is replaced by the file, and nothing is
// ever written through a link found at a temporary name; a missing folder is made as
// makeOwnFolder makes it. What stands at the name and is no file is never replaced: a
// character device or a FIFO is written to as a shell's redirection would (waiting for a
// reader), a folder, a socket or a disk device is refused.
bool writeAtomically(const std::filesystem::path& path, std::string_view bytes,
                     std::string* error = nullptr);

// writeAtomically in pieces, for a file too big to hold whole: open() makes the temporary file
// beside `path`, append() adds bytes, commit() flushes it and renames it onto `path`. The first
// failure is kept (errno() its cause) and makes every later step fail; a writer dropped before
// commit() removes its temporary file.
class AtomicFile {
public:
    AtomicFile() = default;
    AtomicFile(const AtomicFile&) = delete;
    AtomicFile& operator=(const AtomicFile&) = delete;
    ~AtomicFile();

    bool open(const std::filesystem::path& path, std::string* error = nullptr);
    bool append(std::string_view bytes, std::string* error = nullptr);
    bool commit(std::string* error = nullptr);
    // Like commit(), but never replaces a file that came to stand at the name since open() (a
    // second export of the same second): the name `another` gives is taken instead.
    bool commitAsNew(const std::function<std::filesystem::path()>& another, std::string* error = nullptr);
    const std::filesystem::path& path() const { return path_; }
    int cause() const { return cause_; }

private:
    bool failed(std::string* error, const std::string& what, int cause);
    bool place(std::string* error, const std::function<std::filesystem::path()>& another);
    bool openThrough(unsigned mode, std::string* error);
    bool finishThrough(std::string* error);
    void discard();

    std::filesystem::path path_, tmp_;
    int fd_ = -1;
    // Writing straight into a device or FIFO found at the name, with no temporary file.
    bool through_ = false;
    int cause_ = 0;
    std::string failure_;
};

// A check every write of writeAtomically passes first, told the number of bytes; when it
// returns false the write fails with the errno it set. Lets tests fill the disk. None: no check.
using WriteFilter = std::function<bool(std::size_t bytes)>;
void setWriteFilter(WriteFilter filter);

// Whether a failed write's errno means the disk (or the user's quota) has no room left.
bool isOutOfRoom(int code);

// Whether a file name is that of writeAtomically's temporary files ("<name>.tmp-<pid>-<n>").
bool isTemporaryName(std::string_view name);

// Gives `tmp` the name `path` unless something already has it; 0 or the errno (EEXIST).
int renameAsNew(const std::filesystem::path& tmp, const std::filesystem::path& path);

// Gives `file` the first free name of "<file><suffix>", "<file><suffix>-1", ... (a hundred at
// most), so that a damaged file kept for its user never replaces one kept before: 0, `aside`
// then holding the new name, or the errno of the failure.
int moveAside(const std::filesystem::path& file, const std::string& suffix, std::filesystem::path& aside);

// Run as root, a file or folder the program makes in another user's place is given to that
// user: the owner of the plain file it replaces at `name` (unless that is root), else the owner
// of the folder it goes in, as SQLite gives its journals the database's owner. One run under
// sudo on a person's data folder must not leave them files they cannot open. Does nothing for
// any other user.
void keepOwner(int fd, const std::filesystem::path& name);

// Creates the folder and its missing parents; true when it exists afterwards. Otherwise
// `cause`, when given, gets the errno of the failure.
bool ensureDirectory(const std::filesystem::path& path, int* cause = nullptr);

// Makes a missing folder (and its missing parents) for its owner only, and for the owner of
// the folder it is made in when run as root (see keepOwner). A folder that is there already, or
// a link to one, is the person's and keeps its rights. True when the folder exists afterwards.
bool makeOwnFolder(const std::filesystem::path& path);

// A fresh unique name for a file inside `dir`: "<stem>-<n><ext>" when "<stem><ext>" is taken
// (by anything, a link leading nowhere included). Never throws: in a folder that cannot be
// searched the first name is returned.
std::filesystem::path uniqueName(const std::filesystem::path& dir, const std::string& stem,
                                 const std::string& ext);

// Takes away the group's and others' rights from a folder or plain file, never through a link:
// a link's target (a file or folder of the person's) keeps the rights they gave it. True when
// the path is a folder or plain file that others now cannot reach.
bool keepToOwner(const std::filesystem::path& path);

// Whether `name` is one uniqueName gives for a stem of the form `pattern` (each '#' a digit) and
// one of `extensions`: the stem, an optional "-<n>", the extension.
bool isUniqueNameOf(std::string_view name, std::string_view pattern,
                    std::initializer_list<std::string_view> extensions);

}  // namespace file
}  // namespace plat
