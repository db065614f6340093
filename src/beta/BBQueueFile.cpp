#include "beta/BBQueueFile.h"

#include <fcntl.h>
#include <unistd.h>

#include <cerrno>
#include <system_error>

#include "beta/BBMessagePack.h"
#include "beta/BBMessagePackReader.h"
#include "platform/foundation/FileUtil.h"

namespace bb {

namespace {

bool writeFully(int fd, std::uint64_t offset, std::string_view bytes) {
    while (!bytes.empty()) {
        const ssize_t n = ::pwrite(fd, bytes.data(), bytes.size(), static_cast<off_t>(offset));
        if (n < 0 && errno == EINTR) continue;
        if (n <= 0) return false;
        bytes.remove_prefix(static_cast<std::size_t>(n));
        offset += static_cast<std::uint64_t>(n);
    }
    return true;
}

std::string packedKey(const std::string& queueKey) {
    auto packed = BBMessagePack::pack(BBValue(queueKey));
    return packed ? std::string(packed->view()) : std::string();
}

std::uint64_t offsetIn(const std::string& bytes, const BBMessagePackReader& reader) {
    return static_cast<std::uint64_t>(reinterpret_cast<const char*>(reader.ptr) - bytes.data());
}

// Where the current item of the reader ends (for a container: where its header ends).
std::uint64_t endOfCurrent(const std::string& bytes, const BBMessagePackReader& reader) {
    return offsetIn(bytes, reader) + bb_mp_header_size(reader.kind) + reader.rawLength;
}

struct Layout {
    std::uint64_t countOffset = 0;
    std::uint32_t storedCount = 0;
    std::uint32_t wholeItems = 0;
    std::uint64_t end = 0;  // just after the last whole item
};

// Reads the head (a map of 4 whose first three pairs are the start data, then the queue key and
// the array header) and then as many whole items as there are.
bool readLayout(const std::string& bytes, Layout& layout) {
    auto reader = bb_mp_reader_init(bytes.data(), bytes.size());
    if (bb_mp_reader_next(reader) != BBMessagePackTypeMap32 || bb_mp_reader_map_count(reader) != 4) return false;
    for (int piece = 0; piece < 7; ++piece) {  // three pairs of start data, then the queue key
        if (!bb_mp_build_object(reader)) return false;
    }
    if (bb_mp_reader_next(reader) != BBMessagePackTypeArray32) return false;
    layout.countOffset = offsetIn(bytes, reader);
    layout.storedCount = bb_mp_reader_array_count(reader);
    layout.end = endOfCurrent(bytes, reader);
    while (layout.end < bytes.size() && layout.wholeItems < UINT32_MAX && bb_mp_build_object(reader)) {
        layout.end = endOfCurrent(bytes, reader);
        ++layout.wholeItems;
    }
    return true;
}

}  // namespace

std::unique_ptr<BBQueueFile> BBQueueFile::create(const std::filesystem::path& path, std::string_view startData,
                                                 const std::string& queueKey, std::uint32_t count) {
    const int fd = ::open(path.c_str(), O_RDWR | O_CREAT | O_TRUNC | O_CLOEXEC, 0644);
    if (fd < 0) return nullptr;
    std::unique_ptr<BBQueueFile> file(new BBQueueFile(path, fd));
    const std::string key = packedKey(queueKey);
    file->countOffset_ = startData.size() + key.size();
    file->count_ = count;
    file->end_ = file->countOffset_ + 5;
    const bool whole = !startData.empty() && !key.empty() && writeFully(fd, 0, startData) &&
                       writeFully(fd, startData.size(), key) && file->writeCount(count) && file->synchronize();
    if (!whole) {
        file->close();
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return nullptr;
    }
    return file;
}

bool BBQueueFile::repair(const std::filesystem::path& path) {
    auto bytes = plat::file::read(path);
    Layout layout;
    if (!bytes || !readLayout(*bytes, layout)) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return false;
    }
    if (layout.wholeItems == layout.storedCount && layout.end == bytes->size()) return true;
    const int fd = ::open(path.c_str(), O_RDWR | O_CLOEXEC);
    if (fd < 0) return true;  // left as it is; the service reads the items the count names
    BBQueueFile file(path, fd);
    file.countOffset_ = layout.countOffset;
    if (::ftruncate(fd, static_cast<off_t>(layout.end)) == 0 && file.writeCount(layout.wholeItems)) file.synchronize();
    return true;
}

BBQueueFile::~BBQueueFile() { close(); }

bool BBQueueFile::writeCount(std::uint32_t count) {
    return writeFully(fd_, countOffset_, BBMessagePack::packArrayHeaderOnly(count).view());
}

bool BBQueueFile::appendItem(std::string_view packedItem) {
    if (fd_ < 0 || count_ == UINT32_MAX) return false;
    const std::uint64_t before = end_;
    if (!writeFully(fd_, before, packedItem) || !writeCount(count_ + 1)) {
        // A piece of an item, or a count that names it, would spoil every later append.
        if (::ftruncate(fd_, static_cast<off_t>(before)) == 0) writeCount(count_);
        return false;
    }
    ++count_;
    end_ = before + packedItem.size();
    synchronize();
    return true;
}

bool BBQueueFile::writeAtEnd(std::string_view bytes) {
    if (fd_ < 0 || !writeFully(fd_, end_, bytes)) return false;
    end_ += bytes.size();
    return true;
}

void BBQueueFile::seekToEnd() {
    if (fd_ >= 0) ::lseek(fd_, static_cast<off_t>(end_), SEEK_SET);
}

bool BBQueueFile::synchronize() { return fd_ >= 0 && ::fsync(fd_) == 0; }

void BBQueueFile::close() {
    if (fd_ >= 0) ::close(fd_);
    fd_ = -1;
}

}  // namespace bb
