#pragma once

#include <cstdint>
#include <filesystem>
#include <memory>
#include <string>
#include <string_view>

namespace bb {

// One queue file on disk: the start data, the packed queue key, an array header whose count is
// patched in place, then the packed items. After every append the file is one whole MessagePack
// document, flushed to disk, so a process that dies between appends leaves a readable file.
class BBQueueFile {
public:
    // Creates `path` (emptying a file left there) and writes the head with `count`. Nothing, and
    // no file, when the head could not be written whole: a file without its head is no use.
    static std::unique_ptr<BBQueueFile> create(const std::filesystem::path& path, std::string_view startData,
                                               const std::string& queueKey, std::uint32_t count);

    // Makes a file an earlier process left whole again: the items are counted anew (one that was
    // written but not yet counted is kept) and a last item cut short is removed. False, with the
    // file removed, when not even its head is whole.
    static bool repair(const std::filesystem::path& path);

    ~BBQueueFile();
    BBQueueFile(const BBQueueFile&) = delete;
    BBQueueFile& operator=(const BBQueueFile&) = delete;

    const std::filesystem::path& path() const { return path_; }
    int fileDescriptor() const { return fd_; }
    std::uint32_t count() const { return count_; }
    std::uint64_t countOffset() const { return countOffset_; }
    std::uint64_t size() const { return end_; }

    // Writes one packed item at the end and counts it. On failure the file is left as it was.
    bool appendItem(std::string_view packedItem);
    // Writes bytes at the end without counting them.
    bool writeAtEnd(std::string_view bytes);
    // Places the descriptor at the end, for a writer that writes straight into the file.
    void seekToEnd();
    bool synchronize();
    void close();

private:
    BBQueueFile(std::filesystem::path path, int fd) : path_(std::move(path)), fd_(fd) {}
    bool writeCount(std::uint32_t count);

    std::filesystem::path path_;
    int fd_ = -1;
    std::uint32_t count_ = 0;
    std::uint64_t countOffset_ = 0;
    std::uint64_t end_ = 0;
};

}  // namespace bb
