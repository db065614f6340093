#include <gtest/gtest.h>

#include <atomic>
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
