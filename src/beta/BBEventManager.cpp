#include "beta/BBEventManager.h"

#include <algorithm>
#include <mutex>
#include <set>
#include <system_error>

#include "beta/BBApplicationInformation.h"
#include "beta/BBDeviceInfo.h"
#include "beta/BBInformationHooks.h"
#include "beta/BBMessagePack.h"
#include "beta/BBNetworkManager.h"
#include "beta/BBOperation.h"
#include "beta/BBReachability.h"
#include "beta/BBSDK.h"
#include "beta/BBUUID.h"
#include "platform/foundation/FileUtil.h"

namespace bb {

namespace fs = std::filesystem;

namespace {

struct ClassState {
    std::mutex mutex;  // guards the registry; the rest is touched on the SDK queue only
    std::set<BBEventManager*> registry;
    std::optional<std::string> startData;
    bool startDataReady = false;
};

ClassState& classState() {
    static ClassState* state = new ClassState();
    return *state;
}

std::vector<BBEventManager*> liveManagers() {
    std::lock_guard lock(classState().mutex);
    return {classState().registry.begin(), classState().registry.end()};
}

// The information records report their changes here; the start data built from them are then
// stale. The records also ask how the service can be reached.
void connectToInformationRecords() {
    static std::once_flag once;
    std::call_once(once, [] {
        bb_set_information_change_handler([] {
            if (bb_sdk_queue().isCurrent()) {
                BBEventManager::bustCachedNetworkStartData();
            } else {
                bb_sdk_queue().async(&BBEventManager::bustCachedNetworkStartData);
            }
        });
        bb_set_reachability_status_source([] {
            static const auto internet = BBReachability::reachabilityForInternetConnection();
            return internet ? internet->status() : static_cast<int>(BBReachability::NotReachable);
        });
    });
}

bool appendPacked(std::string& bytes, const BBValue& value) {
    auto packed = BBMessagePack::pack(value);
    if (!packed) return false;
    bytes.append(packed->view());
    return true;
}

// A map of four entries whose first three are written here; each queue file adds the fourth.
std::string buildStartData() {
    std::string bytes(BBMessagePack::packMapHeaderOnly(4).view());
    const bool whole = appendPacked(bytes, "bundle_info") &&
                       appendPacked(bytes, BBValue(BBApplicationInformation::bundleInformation())) &&
                       appendPacked(bytes, "device_info") &&
                       appendPacked(bytes, BBValue(BBDeviceInfo::deviceInformation())) &&
                       appendPacked(bytes, "sdk_version") && appendPacked(bytes, BBEventManager::kSDKVersion);
    return whole ? bytes : std::string();
}

void removeFile(const fs::path& path) {
    std::error_code ignored;
    fs::remove(path, ignored);
}

}  // namespace

std::shared_ptr<BBEventManager> BBEventManager::eventManagerWithQueueKeyUrl(std::string queueKey,
                                                                           std::optional<std::string> url) {
    return std::make_shared<BBEventManager>(std::move(queueKey), std::move(url));
}

BBEventManager::BBEventManager(std::string queueKey, std::optional<std::string> url)
    : queueKey_(std::move(queueKey)), queueFolderPath_(eventsFolderPath() / queueKey_), url_(std::move(url)) {
    connectToInformationRecords();
    plat::file::ensureDirectory(queueFolderPath_);
    _getOldQueuePaths();
    std::lock_guard lock(classState().mutex);
    classState().registry.insert(this);
}

BBEventManager::BBEventManager() : BBEventManager(std::string(), std::nullopt) {}

BBEventManager::~BBEventManager() {
    std::lock_guard lock(classState().mutex);
    classState().registry.erase(this);
}

fs::path BBEventManager::eventsFolderPath() { return fs::path(bb_sdk_directory_path()) / "BBEventManager"; }

fs::path BBEventManager::startDataFilePath() { return eventsFolderPath() / "start network data.msgpack"; }

const std::string& BBEventManager::_ensureNetworkStartDataIsSetup() {
    auto& state = classState();
    if (!state.startData) state.startData = buildStartData();
    if (!state.startDataReady && !state.startData->empty()) {
        plat::file::ensureDirectory(eventsFolderPath());
        state.startDataReady = plat::file::writeAtomically(startDataFilePath(), *state.startData);
    }
    return *state.startData;
}

void BBEventManager::bustCachedNetworkStartData() {
    classState().startData.reset();
    classState().startDataReady = false;
    for (auto* manager : liveManagers()) manager->_endCurrentEventQueue();
}

void BBEventManager::flush() {
    for (auto* manager : liveManagers()) manager->_flush();
}

void BBEventManager::enqueueObject(const BBValue& object) { enqueueObjectAndSendImmediately(object, false); }

void BBEventManager::enqueueObjectAndSendImmediately(const BBValue& object, bool sendImmediately) {
    _ensureEventQueueIsSetup();
    if (queue_ && queue_->count() < UINT32_MAX) {
        if (auto packed = BBMessagePack::pack(object)) queue_->appendItem(packed->view());
    }
    if (queue_ && queue_->size() >= kQueueFileSizeLimit) _endCurrentEventQueue();
    if (sendImmediately) {
        moveCurrentFileToHighPriority();
        _flush();
    }
}

bool BBEventManager::enqueueDictionaryWithExtraPairWithKeyAndObjectDataWriter(const BBDictionary& dictionary,
                                                                              const std::string& extraKey,
                                                                              const ObjectDataWriter& writer) {
    if (dictionary.size() + 1 > UINT32_MAX) return false;
    // The file being appended to is finished first, so that it is neither left open nor lost.
    _endCurrentEventQueue();
    auto file = _createNewQueueAtPathItemCount(queueFolderPath_ / "temp", 1);
    if (!file) return false;
    std::string head(BBMessagePack::packMapHeaderOnly(static_cast<std::uint32_t>(dictionary.size() + 1)).view());
    bool whole = true;
    for (const auto& [key, value] : dictionary) whole = whole && appendPacked(head, key) && appendPacked(head, value);
    whole = whole && appendPacked(head, extraKey) && file->writeAtEnd(head);
    if (!whole) {
        file->close();
        removeFile(file->path());
        return false;
    }
    return finishOneEventFile(std::move(file), writer);
}

bool BBEventManager::finishOneEventFile(std::unique_ptr<BBQueueFile> file, const ObjectDataWriter& writer) {
    file->seekToEnd();
    const bool written = writer && writer(file->fileDescriptor());
    if (written) file->synchronize();
    file->close();
    const fs::path temp = file->path();
    if (!written) {
        removeFile(temp);
        return false;
    }
    const fs::path final = _createNewQueueFileName();
    std::error_code error;
    fs::rename(temp, final, error);
    if (error) {
        removeFile(temp);
        return false;
    }
    queuePaths_.push_back(final);
    return true;
}

void BBEventManager::_ensureEventQueueIsSetup() {
    if (queue_) return;
    const fs::path path = _createNewQueueFileName();
    queue_ = _createNewQueueAtPathItemCount(path, 0);
    // A file whose head could not be written is abandoned; the event has nowhere to go.
    if (queue_) queuePaths_.push_back(path);
}

fs::path BBEventManager::_createNewQueueFileName() const {
    return queueFolderPath_ / (BBUUID::uuidString() + ".msgpack");
}

std::unique_ptr<BBQueueFile> BBEventManager::_createNewQueueAtPathItemCount(const fs::path& path,
                                                                           std::uint32_t count) {
    const std::string& startData = _ensureNetworkStartDataIsSetup();
    plat::file::ensureDirectory(queueFolderPath_);
    auto file = BBQueueFile::create(path, startData, queueKey_, count);
    if (file) queuePath_ = path;
    return file;
}

// Files of earlier processes are made whole again before they are sent: a process may have died
// in the middle of an append.
void BBEventManager::_getOldQueuePaths() {
    std::vector<fs::path> found;
    std::error_code error;
    for (fs::directory_iterator it(queueFolderPath_, error), end; !error && it != end; it.increment(error)) {
        if (found.size() >= kOldQueueFileLimit) break;
        const fs::path path = it->path();
        if (path.extension() != ".msgpack" || !it->is_regular_file()) continue;
        if (BBQueueFile::repair(path)) found.push_back(path);
    }
    oldQueuePaths_ = std::move(found);
}

void BBEventManager::_endCurrentEventQueue() { queue_.reset(); }

void BBEventManager::moveCurrentFileToHighPriority() {
    auto current = std::find(queuePaths_.begin(), queuePaths_.end(), queuePath_);
    if (current == queuePaths_.end()) return;
    queuePathsHighPriority_.push_back(*current);
    queuePaths_.erase(current);
}

void BBEventManager::_flush() {
    _endCurrentEventQueue();
    if (!url_) return;
    auto& network = BBNetworkManager::sharedManager();
    for (const auto& path : queuePathsHighPriority_) network.sendFileToURLWithPriority(path.string(), *url_, BBOperation::High);
    for (const auto& path : queuePaths_) network.sendFileToURL(path.string(), *url_);
    if (oldQueuePaths_) {
        for (const auto& path : *oldQueuePaths_) network.sendFileToURLWithPriority(path.string(), *url_, BBOperation::Low);
    }
    queuePathsHighPriority_.clear();
    queuePaths_.clear();
    oldQueuePaths_.reset();
}

}  // namespace bb
