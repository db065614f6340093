#pragma once

#include <cstdint>
#include <filesystem>
#include <functional>
#include <memory>
#include <optional>
#include <string>
#include <vector>

#include "beta/BBQueueFile.h"
#include "beta/BBValue.h"

namespace bb {

// Keeps events on disk until they are uploaded. Each manager appends to queue files in a folder
// of its own (named by its queue key); a file is closed when it grows past a limit, on a flush, or
// when the start data go stale. A flush hands the files to the network manager: the ones to send
// first at high priority, files of earlier processes at low priority. Everything runs on the SDK
// queue.
class BBEventManager {
public:
    using ObjectDataWriter = std::function<bool(int fileDescriptor)>;

    static constexpr std::uint64_t kQueueFileSizeLimit = 500'001;
    static constexpr std::size_t kOldQueueFileLimit = 11;
    static constexpr const char* kSDKVersion = "__libBetabeam_v3.0.2__";

    static std::shared_ptr<BBEventManager> eventManagerWithQueueKeyUrl(std::string queueKey,
                                                                       std::optional<std::string> url);
    BBEventManager(std::string queueKey, std::optional<std::string> url);
    BBEventManager();
    ~BBEventManager();
    BBEventManager(const BBEventManager&) = delete;
    BBEventManager& operator=(const BBEventManager&) = delete;

    const std::optional<std::string>& url() const { return url_; }
    void setUrl(std::optional<std::string> url) { url_ = std::move(url); }

    void enqueueObject(const BBValue& object);
    void enqueueObjectAndSendImmediately(const BBValue& object, bool sendImmediately);
    // Writes a file of one event: the dictionary's pairs, then `extraKey` whose value the writer
    // streams straight into the file. True when the file was written and queued.
    bool enqueueDictionaryWithExtraPairWithKeyAndObjectDataWriter(const BBDictionary& dictionary,
                                                                  const std::string& extraKey,
                                                                  const ObjectDataWriter& writer);

    // Every live manager hands its files to the network manager.
    static void flush();
    // Start data are built again, and every live manager starts a new file with the next event.
    static void bustCachedNetworkStartData();

    static std::filesystem::path eventsFolderPath();
    static std::filesystem::path startDataFilePath();

    const std::string& queueKey() const { return queueKey_; }
    const std::filesystem::path& queueFolderPath() const { return queueFolderPath_; }
    const std::filesystem::path& queuePath() const { return queuePath_; }
    bool hasOpenQueue() const { return static_cast<bool>(queue_); }
    std::uint32_t queueCount() const { return queue_ ? queue_->count() : 0; }
    const std::vector<std::filesystem::path>& queuePaths() const { return queuePaths_; }
    const std::vector<std::filesystem::path>& queuePathsHighPriority() const { return queuePathsHighPriority_; }
    const std::optional<std::vector<std::filesystem::path>>& oldQueuePaths() const { return oldQueuePaths_; }

    // The start data of every new queue file, built when missing; the copy on disk, which the crash
    // path reads, is written again until that succeeds.
    static const std::string& _ensureNetworkStartDataIsSetup();

private:
    void _ensureEventQueueIsSetup();
    std::filesystem::path _createNewQueueFileName() const;
    std::unique_ptr<BBQueueFile> _createNewQueueAtPathItemCount(const std::filesystem::path& path, std::uint32_t count);
    void _getOldQueuePaths();
    void _endCurrentEventQueue();
    void _flush();
    void moveCurrentFileToHighPriority();
    bool finishOneEventFile(std::unique_ptr<BBQueueFile> file, const ObjectDataWriter& writer);

    std::string queueKey_;
    std::filesystem::path queueFolderPath_;
    std::unique_ptr<BBQueueFile> queue_;
    std::filesystem::path queuePath_;
    std::vector<std::filesystem::path> queuePaths_;
    std::vector<std::filesystem::path> queuePathsHighPriority_;
    std::optional<std::vector<std::filesystem::path>> oldQueuePaths_;
    std::optional<std::string> url_;
};

}  // namespace bb
