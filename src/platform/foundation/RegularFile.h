#pragma once

#include <cstddef>
#include <filesystem>
#include <optional>

namespace plat {

// A file opened for reading only when it is a regular file itself: never through a symbolic
// link, and never a FIFO, device or socket (opening one of those must not block or read from a
// device). Files the user drops in for import are read this way, in pieces.
class RegularFile {
public:
    // None when the path is a link, not a regular file, or cannot be opened.
    static std::optional<RegularFile> open(const std::filesystem::path& path);

    RegularFile(RegularFile&& other) noexcept;
    RegularFile& operator=(RegularFile&& other) noexcept;
    RegularFile(const RegularFile&) = delete;
    RegularFile& operator=(const RegularFile&) = delete;
    ~RegularFile();

    // Fills `buffer` as far as the file goes; returns the bytes read, 0 at the end or on error.
    std::size_t read(char* buffer, std::size_t size);
    bool failed() const { return failed_; }

private:
    explicit RegularFile(int fd) : fd_(fd) {}
    int fd_ = -1;
    bool failed_ = false;
};

}  // namespace plat
