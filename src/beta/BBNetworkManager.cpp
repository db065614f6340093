#include "beta/BBNetworkManager.h"

#include <filesystem>
#include <system_error>

#include "beta/BBHostApplication.h"
#include "beta/BBServiceHost.h"
#include "beta/BBTimer.h"
#include "beta/BBBackgroundTask.h"
#include "beta/BBSDK.h"

namespace bb {

namespace {

using Alive = std::weak_ptr<BBNetworkManager*>;

// Runs `task` with the manager on the SDK queue, unless the manager is gone by then.
void onSDKQueue(const Alive& alive, std::function<void(BBNetworkManager&)> task) {
    bb_sdk_queue().async([alive, task = std::move(task)] {
        if (auto manager = alive.lock()) task(**manager);
    });
}

// A one-shot delay on the SDK queue, made of a timer that ends itself when it fires.
void afterDelay(double seconds, std::function<void()> task) {
    auto holder = std::make_shared<std::shared_ptr<BBTimer>>();
    *holder = BBTimer::initWithIntervalDispatchQueueBlock(seconds, &bb_sdk_queue(), [holder, task] {
        // Invalidating drops this very block, so nothing of it is touched afterwards.
        auto run = task;
        if (auto timer = std::move(*holder)) timer->invalidate();
        run();
    });
}

}  // namespace

BBNetworkManager& BBNetworkManager::sharedManager() {
    static BBNetworkManager* instance =
        new BBNetworkManager(BBReachability::reachabilityWithHostName(BBServiceHost::sdkHostName()));
    return *instance;
}

BBNetworkManager::BBNetworkManager(std::shared_ptr<BBReachability> reach)
    : networkQueue_(kQueueName, 1),
      reach_(std::move(reach)),
      backgroundTaskID_(BBBackgroundTask::kInvalid),
      alive_(std::make_shared<BBNetworkManager*>(this)) {
    Alive alive = alive_;
    networkQueue_.setOperationCountObserver([alive](std::size_t count) {
        if (count == 0) onSDKQueue(alive, [](BBNetworkManager& m) { m._endBackgroundTaskIfAppropriate(); });
    });
    if (reach_) {
        onSDKQueue(alive, [](BBNetworkManager& m) { m._handleReachabilityStatus(m.reach_->status()); });
        reach_->setReachabilityStatusUpdateBlock([alive](int status) {
            if (auto manager = alive.lock()) (*manager)->_handleReachabilityStatus(status);
        });
    }
    observeApplication();
}

BBNetworkManager::~BBNetworkManager() {
    if (reach_) reach_->setReachabilityStatusUpdateBlock(nullptr);
    networkQueue_.setOperationCountObserver(nullptr);
    // Whatever is queued for this manager on the SDK queue finds it gone from here on.
    bb_sdk_queue().sync([this] { alive_.reset(); });
}

void BBNetworkManager::observeApplication() {
    Alive alive = alive_;
    auto startIfAppropriate = [alive](const plat::Notification&) {
        onSDKQueue(alive, [](BBNetworkManager& m) { m._startBackgroundTaskIfAppropriate(); });
    };
    auto& center = plat::NotificationCenter::defaultCenter();
    didBecomeActive_ = center.addObserver(BBHostApplication::kDidBecomeActiveNotification, startIfAppropriate);
    didEnterBackground_ = center.addObserver(BBHostApplication::kDidEnterBackgroundNotification, startIfAppropriate);
}

void BBNetworkManager::sendFileToURL(const std::string& path, const std::string& url) {
    sendFileToURLWithPriority(path, url, BBOperation::Normal);
}

void BBNetworkManager::sendFileToURLWithPriority(const std::string& path, const std::string& url, int priority) {
    auto operation = _createFileOperationForFileUrl(path, url);
    if (!operation) return;
    operation->setQueuePriority(priority);
    addNetworkOperation(operation);
}

void BBNetworkManager::addNetworkOperation(const std::shared_ptr<BBOperation>& operation) {
    if (!operation) return;
    networkQueue_.addOperation(operation);
    _startBackgroundTaskIfAppropriateAsyncSafe();
}

std::shared_ptr<BBURLConnectionOperation> BBNetworkManager::_createFileOperationForFileUrl(const std::string& path,
                                                                                          const std::string& url) {
    BBURLRequest request;
    request.url = url;
    request.networkServiceType = BBURLRequest::Background;
    request.httpMethod = "POST";
    std::error_code error;
    const auto size = std::filesystem::file_size(path, error);
    request.setValueForHTTPHeaderField(std::to_string(error ? 0 : size), "Content-Length");
    Alive alive = alive_;
    return BBURLConnectionOperation::initWithRequestStreamPathCompletionHandler(
        request, path,
        [alive, path, url](const auto&, auto, std::optional<BBURLResponse> response, std::optional<BBURLError> err) {
            if (auto manager = alive.lock()) (*manager)->fileSendDidFinish(path, url, response, err);
        });
}

void BBNetworkManager::fileSendDidFinish(const std::string& path, const std::string& url,
                                         const std::optional<BBURLResponse>& response,
                                         const std::optional<BBURLError>& error) {
    if (_isResponseASuccess(response)) {
        std::error_code ignored;
        std::filesystem::remove(path, ignored);
        return;
    }
    const bool retry = _shouldPauseAndRetryFailedFileSendResponseError(response, error);
    _pauseQueueForABit();
    if (retry) sendFileToURLWithPriority(path, url, BBOperation::Low);
}

bool BBNetworkManager::_isResponseASuccess(const std::optional<BBURLResponse>& response) {
    return response && response->isSuccess();
}

bool BBNetworkManager::_shouldPauseAndRetryFailedFileSendResponseError(const std::optional<BBURLResponse>& response,
                                                                       const std::optional<BBURLError>& error) {
    if (error && error->domain == BBURLError::kDomain) {
        switch (error->code) {
        case BBURLError::TimedOut:
        case BBURLError::NetworkConnectionLost:
        case BBURLError::NotConnectedToInternet:
        case BBURLError::CallIsActive:
            return true;
        default:
            return false;
        }
    }
    return response && response->statusCode >= 500 && response->statusCode <= 599;
}

void BBNetworkManager::_pauseQueueForABit() {
    _setPaused(true);
    Alive alive = alive_;
    afterDelay(kPauseAfterFailure, [alive] {
        if (auto manager = alive.lock()) (*manager)->_setPaused(false);
    });
}

// Pauses nest: the queue runs again only when every reason to pause has gone.
void BBNetworkManager::_setPaused(bool pause) {
    pauseCounter_ += pause ? 1 : -1;
    if (pause && pauseCounter_ == 1) {
        paused_ = true;
        _endBackgroundTask();
        networkQueue_.setSuspended(true);
    } else if (!pause && pauseCounter_ == 0) {
        paused_ = false;
        _startBackgroundTaskIfAppropriate();
        networkQueue_.setSuspended(false);
    }
}

void BBNetworkManager::_handleReachabilityStatus(int status) {
    if (status != BBReachability::NotReachable && pausedForReachability_) {
        pausedForReachability_ = false;
        _setPaused(false);
    } else if (status == BBReachability::NotReachable && !pausedForReachability_) {
        pausedForReachability_ = true;
        _setPaused(true);
    }
}

void BBNetworkManager::_startBackgroundTaskIfAppropriateAsyncSafe() {
    onSDKQueue(alive_, [](BBNetworkManager& m) { m._startBackgroundTaskIfAppropriate(); });
}

void BBNetworkManager::_startBackgroundTaskIfAppropriate() {
    if (networkQueue_.operationCount() > 0 && !paused_) _startBackgroundTask();
}

void BBNetworkManager::_startBackgroundTask() {
    if (backgroundTaskID_ != BBBackgroundTask::kInvalid) return;
    Alive alive = alive_;
    auto taskID = std::make_shared<BBBackgroundTask::Identifier>(BBBackgroundTask::kInvalid);
    *taskID = BBBackgroundTask::begin([alive, taskID] {
        const BBBackgroundTask::Identifier expired = *taskID;
        BBBackgroundTask::end(expired);
        onSDKQueue(alive, [expired](BBNetworkManager& m) {
            if (m.backgroundTaskID_ == expired) m.backgroundTaskID_ = BBBackgroundTask::kInvalid;
        });
    });
    backgroundTaskID_ = *taskID;
}

void BBNetworkManager::_endBackgroundTaskIfAppropriate() {
    if (networkQueue_.operationCount() == 0) _endBackgroundTask();
}

void BBNetworkManager::_endBackgroundTask() {
    if (backgroundTaskID_ == BBBackgroundTask::kInvalid) return;
    BBBackgroundTask::end(backgroundTaskID_);
    backgroundTaskID_ = BBBackgroundTask::kInvalid;
}

}  // namespace bb
