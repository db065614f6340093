#include "beta/BBNetworkManager.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <filesystem>
#include <map>
#include <mutex>

#include "BetaTestSupport.h"
#include "FakeService.h"

namespace bb {
namespace {

using bbtest::FakeService;
using bbtest::Reply;
namespace fs = std::filesystem;

class BBNetworkManagerTest : public bbtest::BetaTest {
protected:
    void SetUp() override {
        BetaTest::SetUp();
        manager = std::make_unique<BBNetworkManager>(BBReachability::reachabilityWithHostName("127.0.0.1"));
    }
    void TearDown() override {
        manager.reset();
        BetaTest::TearDown();
    }

    fs::path queueFile(const std::string& name, std::size_t length = 1000) {
        return writeFile(name, bbtest::binaryBytes(length));
    }
    bool isPaused() {
        bool paused = false;
        onSDKQueue([&] { paused = manager->paused(); });
        return paused;
    }
    std::int64_t pauseCounter() {
        std::int64_t counter = 0;
        onSDKQueue([&] { counter = manager->pauseCounter(); });
        return counter;
    }
    bool idle() { return manager->networkQueue().operationCount() == 0; }
    // The priorities of the operations waiting in the queue, in the order they would run.
    std::vector<int> waitingPriorities() {
        std::vector<int> priorities;
        for (const auto& operation : manager->networkQueue().operations()) priorities.push_back(operation->queuePriority());
        return priorities;
    }

    std::unique_ptr<BBNetworkManager> manager;
};

TEST_F(BBNetworkManagerTest, PostsTheFileAsItsOnlyBodyAndDeletesItWhenTheServiceTookIt) {
    FakeService service;
    service.enqueue(Reply::withStatus(201));
    const auto path = queueFile("A.msgpack", 70'000);
    manager->sendFileToURL(path.string(), service.url("/beamdeck/1.0/sessions.mpack"));

    ASSERT_TRUE(waitUntil([&] { return !fs::exists(path) && idle(); }));
    auto requests = service.requests();
    ASSERT_EQ(requests.size(), 1u);
    EXPECT_EQ(requests[0].requestLine, "POST /beamdeck/1.0/sessions.mpack HTTP/1.1");
    EXPECT_EQ(requests[0].header("Content-Length"), "70000");
    EXPECT_EQ(requests[0].body, bbtest::binaryBytes(70'000));
    EXPECT_FALSE(isPaused());
}

TEST_F(BBNetworkManagerTest, ARefusalKeepsTheFileAndPausesWithoutRetrying) {
    FakeService service;
    service.enqueue(Reply::withStatus(404));
    const auto path = queueFile("A.msgpack");
    manager->sendFileToURL(path.string(), service.url("/up"));

    ASSERT_TRUE(waitUntil([&] { return idle(); }));
    EXPECT_TRUE(fs::exists(path));
    EXPECT_TRUE(isPaused());

    advanceLibraryTime(29.0);
    EXPECT_TRUE(isPaused());
    advanceLibraryTime(1.0);
    EXPECT_FALSE(isPaused());
    EXPECT_TRUE(idle());
    EXPECT_EQ(service.requests().size(), 1u);
    EXPECT_TRUE(fs::exists(path));
}

// The pause holds back whatever waits, even a retry; it is sent once the 30 seconds are over.
TEST_F(BBNetworkManagerTest, AServerErrorIsRetriedAtTheLowestPriorityAfterThePause) {
    FakeService service;
    service.enqueue(Reply::withStatus(503));
    service.enqueue(Reply::withStatus(200));
    const auto path = queueFile("A.msgpack");
    manager->sendFileToURLWithPriority(path.string(), service.url("/up"), BBOperation::High);

    ASSERT_TRUE(waitUntil([&] { return isPaused() && waitingPriorities() == std::vector<int>{BBOperation::Low}; }));
    auto retry = std::dynamic_pointer_cast<BBURLConnectionOperation>(manager->networkQueue().operations().front());
    ASSERT_TRUE(retry);
    EXPECT_EQ(retry->streamPath(), path.string());
    EXPECT_EQ(retry->request().url, service.url("/up"));
    EXPECT_EQ(service.requests().size(), 1u);

    advanceLibraryTime(30.0);
    ASSERT_TRUE(waitUntil([&] { return !fs::exists(path) && idle(); }));
    auto requests = service.requests();
    ASSERT_EQ(requests.size(), 2u);
    EXPECT_EQ(requests[1].body, requests[0].body);
}

TEST_F(BBNetworkManagerTest, SilencePastTheTimeLimitAndADroppedConnectionAreRetried) {
    FakeService service;
    service.enqueue(Reply::silence());
    service.enqueue(Reply::drop());
    service.enqueue(Reply::withStatus(200));
    const auto path = queueFile("A.msgpack");
    manager->sendFileToURL(path.string(), service.url("/up"));

    for (int failure = 1; failure <= 2; ++failure) {
        ASSERT_TRUE(service.waitForRequests(static_cast<std::size_t>(failure)));
        if (failure == 1) advanceLibraryTime(BBURLConnectionOperation::timeLimit());  // the silence times out
        ASSERT_TRUE(waitUntil([&] { return isPaused() && waitingPriorities() == std::vector<int>{BBOperation::Low}; }))
            << "failure " << failure;
        EXPECT_TRUE(fs::exists(path));
        advanceLibraryTime(30.0);
    }
    ASSERT_TRUE(waitUntil([&] { return !fs::exists(path) && idle(); }));
    EXPECT_EQ(service.requests().size(), 3u);
}

TEST_F(BBNetworkManagerTest, OverlappingPausesResumeOnlyWhenTheLastHasEnded) {
    onSDKQueue([&] { manager->_pauseQueueForABit(); });
    advanceLibraryTime(10.0);
    onSDKQueue([&] { manager->_pauseQueueForABit(); });
    EXPECT_EQ(pauseCounter(), 2);
    advanceLibraryTime(20.0);  // the first pause is over
    EXPECT_EQ(pauseCounter(), 1);
    EXPECT_TRUE(isPaused());
    EXPECT_TRUE(manager->networkQueue().isSuspended());
    advanceLibraryTime(10.0);
    EXPECT_EQ(pauseCounter(), 0);
    EXPECT_FALSE(isPaused());
    EXPECT_FALSE(manager->networkQueue().isSuspended());
}

TEST_F(BBNetworkManagerTest, LostReachabilityPausesOnceAndItsReturnResumesOnce) {
    setReachabilityFlags(0);
    setReachabilityFlags(BBReachability::kConnectionRequired);  // still not reachable
    EXPECT_EQ(pauseCounter(), 1);
    EXPECT_TRUE(isPaused());

    FakeService service;
    const auto path = queueFile("A.msgpack");
    manager->sendFileToURL(path.string(), service.url("/up"));
    onSDKQueue([] {});
    EXPECT_EQ(manager->networkQueue().operationCount(), 1u);
    EXPECT_TRUE(service.requests().empty());

    setReachabilityFlags(BBReachability::kReachable);
    setReachabilityFlags(BBReachability::kReachable | BBReachability::kIsDirect);
    ASSERT_TRUE(waitUntil([&] { return !fs::exists(path) && idle(); }));
    EXPECT_EQ(pauseCounter(), 0);
}

TEST_F(BBNetworkManagerTest, AFailurePauseAndAnUnreachableHostBothHoldTheQueue) {
    FakeService service;
    service.enqueue(Reply::withStatus(404));
    manager->sendFileToURL(queueFile("A.msgpack").string(), service.url("/up"));
    ASSERT_TRUE(waitUntil([&] { return isPaused() && idle(); }));

    setReachabilityFlags(0);
    const auto waiting = queueFile("B.msgpack");
    manager->sendFileToURL(waiting.string(), service.url("/up"));
    advanceLibraryTime(30.0);
    EXPECT_TRUE(isPaused());
    EXPECT_EQ(service.requests().size(), 1u);

    setReachabilityFlags(BBReachability::kReachable);
    ASSERT_TRUE(waitUntil([&] { return !fs::exists(waiting) && idle(); }));
}

TEST_F(BBNetworkManagerTest, WaitingUploadsGoByPriorityThenInTheOrderAdded) {
    FakeService service;
    setReachabilityFlags(0);
    manager->sendFileToURLWithPriority(queueFile("low.msgpack").string(), service.url("/low"), BBOperation::Low);
    manager->sendFileToURL(queueFile("normal1.msgpack").string(), service.url("/normal1"));
    manager->sendFileToURLWithPriority(queueFile("high.msgpack").string(), service.url("/high"), BBOperation::High);
    manager->sendFileToURL(queueFile("normal2.msgpack").string(), service.url("/normal2"));
    BBURLRequest handshake;
    handshake.url = service.url("/handshake");
    handshake.httpMethod = "POST";
    auto operation = BBURLConnectionOperation::initWithRequestCompletionHandler(handshake, nullptr);
    operation->setQueuePriority(BBOperation::VeryHigh);
    manager->addNetworkOperation(operation);

    setReachabilityFlags(BBReachability::kReachable);
    ASSERT_TRUE(waitUntil([&] { return idle(); }));
    std::vector<std::string> order;
    for (const auto& request : service.requests()) order.push_back(request.target);
    EXPECT_EQ(order, (std::vector<std::string>{"/handshake", "/high", "/normal1", "/normal2", "/low"}));
}

TEST_F(BBNetworkManagerTest, HoldsBackgroundTimeWhileItHasWorkAndIsNotPaused) {
    FakeService service;
    service.enqueue(Reply::silence());
    auto heldByManager = [&] {
        BBBackgroundTask::Identifier held = BBBackgroundTask::kInvalid;
        onSDKQueue([&] { held = manager->backgroundTaskID(); });
        return held != BBBackgroundTask::kInvalid;
    };
    setReachabilityFlags(0);
    manager->sendFileToURL(queueFile("A.msgpack").string(), service.url("/up"));
    onSDKQueue([] {});
    EXPECT_FALSE(heldByManager());

    setReachabilityFlags(BBReachability::kReachable);
    ASSERT_TRUE(service.waitForRequests(1));
    EXPECT_TRUE(heldByManager());
    EXPECT_EQ(BBBackgroundTask::outstandingCount(), 2u);  // the manager's and the running request's

    advanceLibraryTime(BBURLConnectionOperation::timeLimit());
    ASSERT_TRUE(waitUntil([&] { return isPaused(); }));  // the request timed out
    EXPECT_FALSE(heldByManager());
    EXPECT_EQ(BBBackgroundTask::outstandingCount(), 0u);

    advanceLibraryTime(30.0);  // the retry runs and is taken
    ASSERT_TRUE(waitUntil([&] { return idle(); }));
    onSDKQueue([] {});
    EXPECT_FALSE(heldByManager());
    EXPECT_EQ(BBBackgroundTask::outstandingCount(), 0u);
}

TEST_F(BBNetworkManagerTest, ForgetsBackgroundTimeThePlatformTookBack) {
    std::mutex mutex;
    std::map<BBBackgroundTask::Identifier, std::function<void()>> expiries;
    std::vector<BBBackgroundTask::Identifier> ended;
    BBBackgroundTask::setHooks({[&](std::function<void()> expiry) {
                                    std::lock_guard lock(mutex);
                                    const auto id = static_cast<BBBackgroundTask::Identifier>(100 + expiries.size());
                                    expiries[id] = std::move(expiry);
                                    return id;
                                },
                                [&](BBBackgroundTask::Identifier id) {
                                    std::lock_guard lock(mutex);
                                    ended.push_back(id);
                                }});
    FakeService service;
    service.enqueue(Reply::silence());
    manager->sendFileToURL(queueFile("A.msgpack").string(), service.url("/up"));
    ASSERT_TRUE(service.waitForRequests(1));
    BBBackgroundTask::Identifier held = BBBackgroundTask::kInvalid;
    onSDKQueue([&] { held = manager->backgroundTaskID(); });
    ASSERT_NE(held, BBBackgroundTask::kInvalid);

    std::function<void()> expiry;
    {
        std::lock_guard lock(mutex);
        expiry = expiries.at(held);
    }
    expiry();
    onSDKQueue([] {});
    onSDKQueue([&] { EXPECT_EQ(manager->backgroundTaskID(), BBBackgroundTask::kInvalid); });
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(std::count(ended.begin(), ended.end(), held), 1);
    }
    advanceLibraryTime(BBURLConnectionOperation::timeLimit());
    ASSERT_TRUE(waitUntil([&] { return isPaused(); }));  // the request timed out
    BBBackgroundTask::setHooks({});
}

TEST_F(BBNetworkManagerTest, TheRetryRuleTakesTransientErrorsAndServerErrorsOnly) {
    auto error = [](long code) { return std::optional<BBURLError>(BBURLError{BBURLError::kDomain, code, {}}); };
    auto status = [](long code) { return std::optional<BBURLResponse>(BBURLResponse{"", code, {}}); };
    for (long code : {-1001L, -1005L, -1009L, -1019L}) {
        EXPECT_TRUE(BBNetworkManager::_shouldPauseAndRetryFailedFileSendResponseError(std::nullopt, error(code))) << code;
    }
    for (long code : {-1004L, -1202L, -1L}) {
        EXPECT_FALSE(BBNetworkManager::_shouldPauseAndRetryFailedFileSendResponseError(status(503), error(code))) << code;
    }
    BBURLError otherDomain{"OtherDomain", -1001, {}};
    EXPECT_FALSE(BBNetworkManager::_shouldPauseAndRetryFailedFileSendResponseError(std::nullopt, otherDomain));
    EXPECT_TRUE(BBNetworkManager::_shouldPauseAndRetryFailedFileSendResponseError(status(500), otherDomain));
    EXPECT_TRUE(BBNetworkManager::_shouldPauseAndRetryFailedFileSendResponseError(status(599), std::nullopt));
    EXPECT_FALSE(BBNetworkManager::_shouldPauseAndRetryFailedFileSendResponseError(status(600), std::nullopt));
    EXPECT_FALSE(BBNetworkManager::_shouldPauseAndRetryFailedFileSendResponseError(status(499), std::nullopt));
}

}  // namespace
}  // namespace bb
