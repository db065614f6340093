#pragma once

#include <cstddef>
#include <filesystem>
#include <memory>
#include <string_view>

namespace plat {

// A regular file's bytes mapped read-only into memory: the pages are read from the file as they
// are used and can be dropped again by the kernel, so a file of hundreds of megabytes can be
// handed around (a mail attachment) without a copy of it on the heap. Never opened through a
// symbolic link. The mapping shows the file as it is on disk: the file must not be shortened
// while it is mapped (it may be renamed or removed).
class MappedFile {
public:
    // None when the path is a link, not a regular file, or cannot be opened or mapped.
    static std::shared_ptr<const MappedFile> open(const std::filesystem::path& path);

    MappedFile(const MappedFile&) = delete;
    MappedFile& operator=(const MappedFile&) = delete;
    ~MappedFile();

    std::string_view bytes() const { return {static_cast<const char*>(address_), size_}; }
    // Lets the kernel take back the pages before `offset`, which a reader from start to end is
    // done with: mapped pages once read count as the process's memory until then. They are read
    // from the file again if touched.
    void forgetBefore(std::size_t offset) const;

private:
    MappedFile(void* address, std::size_t size) : address_(address), size_(size) {}
    void* address_ = nullptr;  // none for an empty file
    std::size_t size_ = 0;
};

}  // namespace plat
