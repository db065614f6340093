#include <gtest/gtest.h>

#include <atomic>
#include <future>
#include <string>
#include <thread>
#include <vector>

#include "TestEnvironment.h"
#include "platform/foundation/Dispatch.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/Timer.h"

using plat::RunLoop;
using plat::Timer;

class RunLoopTest : public qxtest::AppTest {};

TEST_F(RunLoopTest, BackgroundResultsArriveOnTheMainThread) {
    const auto mainId = std::this_thread::get_id();
    std::vector<int> order;
    std::atomic<bool> ranElsewhere{false};
    for (int i = 0; i < 8; ++i) {
        plat::dispatch::backgroundThenMain(
            [&] { ranElsewhere = ranElsewhere || std::this_thread::get_id() != mainId; },
            [&, i] {
                EXPECT_EQ(std::this_thread::get_id(), mainId);
                order.push_back(i);
            });
    }
    EXPECT_TRUE(order.empty()) << "results must wait for the main queue";
    drain();
    EXPECT_EQ(order.size(), 8u);
    EXPECT_TRUE(ranElsewhere);
}

TEST_F(RunLoopTest, SerialQueueKeepsOrderAndSyncWaits) {
    plat::SerialQueue queue("test.serial");
    std::vector<int> seen;
    for (int i = 0; i < 100; ++i) queue.async([&, i] { seen.push_back(i); });
    queue.sync([] {});
    ASSERT_EQ(seen.size(), 100u);
    for (int i = 0; i < 100; ++i) EXPECT_EQ(seen[i], i);
}

TEST_F(RunLoopTest, RepeatingTimerFiresOncePerIntervalOfVirtualTime) {
    std::vector<double> fireTimes;
    const double start = clock().now().timeIntervalSince1970();
    auto timer = Timer::scheduled(2.0, true, [&](Timer&) {
        fireTimes.push_back(clock().now().timeIntervalSince1970() - start);
    });
    advance(1.9);
    EXPECT_TRUE(fireTimes.empty());
    advance(8.1);  // to t = 10
    EXPECT_EQ(fireTimes, (std::vector<double>{2, 4, 6, 8, 10}));
    timer->invalidate();
    advance(10);
    EXPECT_EQ(fireTimes.size(), 5u);
    EXPECT_FALSE(RunLoop::main().nextTimerDate().has_value());
}

TEST_F(RunLoopTest, OneShotTimerFiresOnceAndInvalidatingFromItsBlockStopsARepeater) {
    int once = 0;
    int repeats = 0;
    auto oneShot = Timer::scheduled(1, false, [&](Timer&) { ++once; });
    auto repeater = Timer::scheduled(1, true, [&](Timer& t) {
        if (++repeats == 3) t.invalidate();
    });
    advance(10);
    EXPECT_EQ(once, 1);
    EXPECT_FALSE(oneShot->isValid());
    EXPECT_EQ(repeats, 3);
}

TEST_F(RunLoopTest, CancelableDelayRunsOnlyTheLatestBlock) {
    plat::CancelableDelay delay;
    std::vector<int> ran;
    delay.schedule(5, [&] { ran.push_back(1); });
    advance(3);
    delay.schedule(5, [&] { ran.push_back(2); });
    advance(3);
    EXPECT_TRUE(ran.empty());
    advance(3);
    EXPECT_EQ(ran, std::vector<int>{2});
}

TEST_F(RunLoopTest, PostFromAnotherThreadRunsOnlyWhenPumped) {
    int value = 0;
    std::thread([&] { RunLoop::main().post([&] { value = 42; }); }).join();
    EXPECT_EQ(value, 0);
    RunLoop::main().runUntilIdle();
    EXPECT_EQ(value, 42);
}

// A person may stop waiting for a server; the program's own work is still waited for (and the
// watch asked on, for servers turned to meanwhile), and what the server sends later still
// arrives, retries and all, without being waited for.
TEST_F(RunLoopTest, DrainLetsGoOfServersWhenToldButNotOfItsOwnWorkNorOfTheirRetries) {
    RunLoop& loop = RunLoop::main();
    int asked = 0;
    EXPECT_TRUE(loop.drainWhile([&] { return ++asked < 0; }, 0.001)) << "nothing to wait for";
    EXPECT_EQ(asked, 0);

    const auto server = loop.beginBackgroundWork("127.0.0.1:9 (login)");
    std::promise<void> gate;
    std::atomic<bool> ownDone{false};
    plat::dispatch::background([wait = gate.get_future().share(), &ownDone] {
        wait.wait();
        ownDone = true;
    });
    EXPECT_EQ(loop.backgroundWorkWaitedFor(), std::vector<std::string>{"127.0.0.1:9 (login)"});
    const bool waitedOut = loop.drainWhile(
        [&] {
            if (++asked < 3) return true;
            if (asked == 3) gate.set_value();
            return false;
        },
        0.001);
    EXPECT_FALSE(waitedOut);
    EXPECT_GE(asked, 3);
    EXPECT_TRUE(ownDone);
    EXPECT_TRUE(loop.backgroundWorkWaitedFor().empty());
    loop.drain();  // returns at once: the server is no longer waited for

    // A reply no one waited for that turns to a server again (a retry) is not waited for either.
    RunLoop::WorkId retry = 0;
    loop.endBackgroundWork(server, [&] { retry = loop.beginBackgroundWork("127.0.0.1:9 (retry)"); });
    loop.runUntilIdle();
    ASSERT_NE(retry, 0u);
    EXPECT_TRUE(loop.backgroundWorkWaitedFor().empty());
    // One that was waited for is, as its retry.
    RunLoop::WorkId again = 0;
    loop.endBackgroundWork(retry);
    const auto waited = loop.beginBackgroundWork("127.0.0.1:9 (upload)");
    loop.endBackgroundWork(waited, [&] { again = loop.beginBackgroundWork("127.0.0.1:9 (retry)"); });
    loop.runUntilIdle();
    EXPECT_EQ(loop.backgroundWorkWaitedFor(), std::vector<std::string>{"127.0.0.1:9 (retry)"});
    loop.endBackgroundWork(again);

    // Neither is a request started by the result of work let go while still in flight (a save
    // that waited for another program holding the store).
    const auto save = loop.beginBackgroundWork("another program");
    loop.stopWaitingForBackgroundWork();
    RunLoop::WorkId upload = 0;
    loop.postResult(save, [&] { upload = loop.beginBackgroundWork("127.0.0.1:9 (upload)"); });
    loop.runUntilIdle();
    ASSERT_NE(upload, 0u);
    EXPECT_TRUE(loop.backgroundWorkWaitedFor().empty());
    loop.endBackgroundWork(save);
    loop.endBackgroundWork(upload);
}
