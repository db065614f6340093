#include "platform/foundation/MappedFile.h"

#include <fcntl.h>
#include <sys/mman.h>
#include <sys/stat.h>
#include <unistd.h>

#include <algorithm>

namespace plat {

std::shared_ptr<const MappedFile> MappedFile::open(const std::filesystem::path& path) {
    const int fd = ::open(path.c_str(), O_RDONLY | O_NOFOLLOW | O_NONBLOCK | O_CLOEXEC | O_NOCTTY);
    if (fd < 0) return nullptr;
    struct stat info {};
    void* address = nullptr;
    bool ok = ::fstat(fd, &info) == 0 && S_ISREG(info.st_mode);
    const auto size = ok ? static_cast<std::size_t>(info.st_size) : 0;
    if (ok && size > 0) {
        address = ::mmap(nullptr, size, PROT_READ, MAP_PRIVATE, fd, 0);
        ok = address != MAP_FAILED;
        // Read from start to end, once: the kernel may read ahead and drop pages behind.
        if (ok) ::madvise(address, size, MADV_SEQUENTIAL);
    }
    ::close(fd);  // the mapping keeps the file
    if (!ok) return nullptr;
    return std::shared_ptr<const MappedFile>(new MappedFile(address, size));
}

void MappedFile::forgetBefore(std::size_t offset) const {
    static const auto kPage = static_cast<std::size_t>(::sysconf(_SC_PAGESIZE));
    const std::size_t whole = std::min(offset, size_) / kPage * kPage;
    if (whole > 0) ::madvise(address_, whole, MADV_DONTNEED);
}

MappedFile::~MappedFile() {
    if (address_) ::munmap(address_, size_);
}

}  // namespace plat
