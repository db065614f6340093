#include "beta/BBReachability.h"

#include <gtest/gtest.h>

#include <atomic>

#include "BetaTestSupport.h"
#include "beta/BBSDK.h"

namespace bb {
namespace {

using R = BBReachability;

class BBReachabilityTest : public bbtest::BetaTest {};

TEST_F(BBReachabilityTest, StatusForFlagsOfAHostOrAddressWatcher) {
    auto watcher = R::reachabilityWithHostName("sdk.service.test");
    ASSERT_TRUE(watcher);
    EXPECT_EQ(watcher->statusForFlags(0), R::NotReachable);
    EXPECT_EQ(watcher->statusForFlags(R::kIsWWAN | R::kIsDirect), R::NotReachable);  // reachable bit clear
    EXPECT_EQ(watcher->statusForFlags(R::kReachable), R::ReachableViaWiFi);
    EXPECT_EQ(watcher->statusForFlags(R::kReachable | R::kIsWWAN | R::kConnectionRequired), R::ReachableViaWWAN);
    // A connection that must be made first counts only when it is made automatically.
    EXPECT_EQ(watcher->statusForFlags(R::kReachable | R::kConnectionRequired), R::NotReachable);
    EXPECT_EQ(watcher->statusForFlags(R::kReachable | R::kConnectionRequired | R::kConnectionOnTraffic),
              R::ReachableViaWiFi);
    EXPECT_EQ(watcher->statusForFlags(R::kReachable | R::kConnectionRequired | R::kConnectionOnDemand),
              R::ReachableViaWiFi);
    EXPECT_EQ(watcher->statusForFlags(R::kReachable | R::kConnectionRequired | R::kConnectionOnDemand |
                                      R::kInterventionRequired),
              R::NotReachable);
    // Intervention matters only when a connection is required.
    EXPECT_EQ(watcher->statusForFlags(R::kReachable | R::kInterventionRequired), R::ReachableViaWiFi);
}

TEST_F(BBReachabilityTest, StatusForFlagsOfTheLocalWiFiWatcherNeedsADirectRoute) {
    auto watcher = R::reachabilityForLocalWiFi();
    ASSERT_TRUE(watcher);
    EXPECT_TRUE(watcher->localWifiRef());
    EXPECT_EQ(watcher->statusForFlags(R::kReachable), R::NotReachable);
    EXPECT_EQ(watcher->statusForFlags(R::kIsDirect), R::NotReachable);
    EXPECT_EQ(watcher->statusForFlags(R::kReachable | R::kIsDirect), R::ReachableViaWiFi);
    EXPECT_EQ(watcher->statusForFlags(R::kReachable | R::kIsDirect | R::kIsWWAN), R::ReachableViaWiFi);
}

TEST_F(BBReachabilityTest, TheMachineReachesItsOwnLoopbackAddressDirectly) {
    R::setFlagsSource(nullptr);
    for (const char* host : {"127.0.0.1", "localhost"}) {
        auto watcher = R::reachabilityWithHostName(host);
        auto flags = watcher->flags();
        ASSERT_TRUE(flags) << host;
        EXPECT_EQ(*flags & (R::kReachable | R::kIsLocalAddress | R::kIsDirect),
                  R::kReachable | R::kIsLocalAddress | R::kIsDirect)
            << host;
        EXPECT_EQ(watcher->status(), R::ReachableViaWiFi) << host;
    }
    EXPECT_FALSE(R::reachabilityWithHostName(""));
}

TEST_F(BBReachabilityTest, UnreadableFlagsCountAsNotReachable) {
    setReachabilityFlags(std::nullopt);
    EXPECT_EQ(R::reachabilityForInternetConnection()->status(), R::NotReachable);
}

TEST_F(BBReachabilityTest, TheBlockHearsEachChangeOnceOnTheSDKQueueAndNothingOnceCleared) {
    auto watcher = R::reachabilityWithHostName("sdk.service.test");
    std::vector<int> heard;
    std::atomic<bool> offQueue{false};
    watcher->setReachabilityStatusUpdateBlock([&](int status) {
        if (!bb_sdk_queue().isCurrent()) offQueue = true;
        heard.push_back(status);
    });
    setReachabilityFlags(R::kReachable);  // unchanged: nothing to tell
    setReachabilityFlags(0);
    setReachabilityFlags(0);
    setReachabilityFlags(R::kReachable | R::kIsWWAN);
    watcher->setReachabilityStatusUpdateBlock(nullptr);
    setReachabilityFlags(0);
    onSDKQueue([] {});
    EXPECT_EQ(heard, (std::vector<int>{R::NotReachable, R::ReachableViaWWAN}));
    EXPECT_FALSE(offQueue);
}

}  // namespace
}  // namespace bb
