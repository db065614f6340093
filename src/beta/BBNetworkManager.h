#pragma once

#include <cstdint>
#include <memory>
#include <optional>
#include <string>

#include "beta/BBBackgroundTask.h"
#include "beta/BBOperationQueue.h"
#include "beta/BBReachability.h"
#include "beta/BBURLConnectionOperation.h"
#include "platform/foundation/NotificationCenter.h"

namespace bb {

// The library's uploads: one operation at a time from a priority queue. A file the service took
// (a 2xx reply) is deleted; any failure pauses the queue for a while, and a transient one sends
// the file again at the lowest priority. The queue also waits while the service's host cannot be
// reached, and holds background time while it has work.
class BBNetworkManager {
public:
    static constexpr const char* kQueueName = "Betabeam Network Connection Operation Queue";
    static constexpr double kPauseAfterFailure = 30.0;

    // Watches the service's SDK host; made on first use, lives until the process ends.
    static BBNetworkManager& sharedManager();

    // A manager watching `reach` (none: the host counts as reachable).
    explicit BBNetworkManager(std::shared_ptr<BBReachability> reach);
    ~BBNetworkManager();
    BBNetworkManager(const BBNetworkManager&) = delete;
    BBNetworkManager& operator=(const BBNetworkManager&) = delete;

    void sendFileToURL(const std::string& path, const std::string& url);
    void sendFileToURLWithPriority(const std::string& path, const std::string& url, int priority);
    void addNetworkOperation(const std::shared_ptr<BBOperation>& operation);

    // Read on the SDK queue.
    bool paused() const { return paused_; }
    std::int64_t pauseCounter() const { return pauseCounter_; }
    bool pausedForReachability() const { return pausedForReachability_; }
    BBBackgroundTask::Identifier backgroundTaskID() const { return backgroundTaskID_; }
    BBOperationQueue& networkQueue() { return networkQueue_; }
    const std::shared_ptr<BBReachability>& reach() const { return reach_; }

    // The pause rules, run on the SDK queue: a failure pauses for a while, an unreachable host
    // until it is back; the queue runs again when no reason to pause is left.
    void _pauseQueueForABit();
    void _setPaused(bool paused);
    void _handleReachabilityStatus(int status);

    // The decisions taken on a finished upload.
    static bool _isResponseASuccess(const std::optional<BBURLResponse>& response);
    static bool _shouldPauseAndRetryFailedFileSendResponseError(const std::optional<BBURLResponse>& response,
                                                                const std::optional<BBURLError>& error);

private:
    std::shared_ptr<BBURLConnectionOperation> _createFileOperationForFileUrl(const std::string& path,
                                                                             const std::string& url);
    void fileSendDidFinish(const std::string& path, const std::string& url,
                           const std::optional<BBURLResponse>& response, const std::optional<BBURLError>& error);
    void _startBackgroundTaskIfAppropriateAsyncSafe();
    void _startBackgroundTaskIfAppropriate();
    void _startBackgroundTask();
    void _endBackgroundTaskIfAppropriate();
    void _endBackgroundTask();
    void observeApplication();

    BBOperationQueue networkQueue_;
    std::shared_ptr<BBReachability> reach_;
    // State below is touched on the SDK queue only.
    bool paused_ = false;
    std::int64_t pauseCounter_ = 0;
    bool pausedForReachability_ = false;
    BBBackgroundTask::Identifier backgroundTaskID_;
    // Lets callbacks that outlive a (test's) manager find it gone.
    std::shared_ptr<BBNetworkManager*> alive_;
    plat::ObserverToken didBecomeActive_;
    plat::ObserverToken didEnterBackground_;
};

}  // namespace bb
