#include <gtest/gtest.h>

#include <atomic>
#include <filesystem>
#include <mutex>
#include <semaphore>
#include <vector>

#include "TestEnvironment.h"
#include "beta/BBBackgroundTask.h"
#include "beta/BBLogManager.h"
#include "beta/BBMessagePack.h"
#include "beta/BBSDK.h"
#include "beta/BBSDKUpgradeManager.h"
#include "beta/BBTimer.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"

using namespace bb;
namespace fs = std::filesystem;

namespace {

class BBSDKTest : public qxtest::AppTest {
protected:
    // Lets timer sources see the moved virtual clock, then waits for what they queued.
    void advanceTimers(double seconds) {
        clock().advance(seconds);
        BBTimerSource::fireDueSources();
        bb_sdk_queue().sync([] {});
    }

    std::shared_ptr<BBTimer> countingTimer(double interval) {
        return BBTimer::initWithIntervalDispatchQueueBlock(interval, &bb_sdk_queue(), [this] { ++fired; });
    }

    std::atomic<int> fired{0};
};

}  // namespace

TEST_F(BBSDKTest, DirectoryIsMadeWithItsMissingParentsUnderTheCaches) {
    fs::remove_all(plat::DataFolder::caches());
    const fs::path dir = bb_sdk_directory_path();
    EXPECT_TRUE(fs::is_directory(dir));
    EXPECT_EQ(dir.parent_path(), plat::DataFolder::caches());
    EXPECT_TRUE(dir.filename().string().ends_with("betabeamsdk"));
    EXPECT_EQ(&bb_sdk_directory_path(), &bb_sdk_directory_path());
    EXPECT_TRUE(bb_sdk_queue().label().ends_with(".Betabeam"));
}

TEST_F(BBSDKTest, LogEntryFormatsIntoTheSessionLog) {
    BBLogManager& manager = BBLogManager::sharedManager();
    manager.setLogToSTDERR(false);
    manager.setLogToConsole(false);
    manager.setCurrentSessionID("s1");
    bb_log_format("%s=%d", "answer", 42);
    bb_log_format(nullptr);
    const std::string ulog = plat::file::read(manager.pathForSessionID("s1") + ".ulog").value_or("");
    ASSERT_GE(ulog.size(), 5u);
    EXPECT_EQ(ulog.substr(0, 5), std::string("\xdd\x00\x00\x00\x01", 5)) << "one entry, none for the null format";
    EXPECT_TRUE(ulog.ends_with("\xa9" "answer=42"));
}

TEST_F(BBSDKTest, BackgroundTaskRunsOnTheLibraryQueue) {
    std::atomic<bool> onQueue{false};
    bb_run_in_background_task([&] { onQueue = bb_sdk_queue().isCurrent(); });
    bb_sdk_queue().sync([] {});
    EXPECT_TRUE(onQueue);
}

// The platform's time is held from the call until the block has run, and given back once, also
// when the platform took it back first.
TEST_F(BBSDKTest, BackgroundTaskHoldsPlatformTimeUntilItsBlockHasRun) {
    std::mutex mutex;
    std::vector<std::function<void()>> expiries;
    std::vector<BBBackgroundTask::Identifier> ended;
    BBBackgroundTask::setHooks({[&](std::function<void()> expiry) {
                                    std::lock_guard lock(mutex);
                                    expiries.push_back(std::move(expiry));
                                    return static_cast<BBBackgroundTask::Identifier>(expiries.size());
                                },
                                [&](BBBackgroundTask::Identifier id) {
                                    std::lock_guard lock(mutex);
                                    ended.push_back(id);
                                }});
    auto endedIDs = [&] {
        std::lock_guard lock(mutex);
        return ended;
    };
    std::vector<BBBackgroundTask::Identifier> endedWhileRunning{99};
    std::size_t heldWhileRunning = 0;
    std::binary_semaphore release{0};
    bb_sdk_queue().async([&] { release.acquire(); });  // the block waits behind other work
    bb_run_in_background_task([&] {
        endedWhileRunning = endedIDs();
        heldWhileRunning = BBBackgroundTask::outstandingCount();
    });
    EXPECT_EQ(BBBackgroundTask::outstandingCount(), 1u) << "begun before the call returns";
    release.release();
    bb_sdk_queue().sync([] {});
    EXPECT_TRUE(endedWhileRunning.empty());
    EXPECT_EQ(heldWhileRunning, 1u);
    EXPECT_EQ(endedIDs(), std::vector<BBBackgroundTask::Identifier>{1});
    EXPECT_EQ(BBBackgroundTask::outstandingCount(), 0u);

    // Taken back before the block ran: ended then, and not a second time after the block.
    std::atomic<bool> ran{false};
    std::binary_semaphore releaseAgain{0};
    bb_sdk_queue().async([&] { releaseAgain.acquire(); });
    bb_run_in_background_task([&] { ran = true; });
    std::function<void()> expiry;
    {
        std::lock_guard lock(mutex);
        EXPECT_EQ(expiries.size(), 2u);
        if (expiries.size() == 2) expiry = expiries[1];
    }
    if (expiry) expiry();
    EXPECT_EQ(endedIDs(), (std::vector<BBBackgroundTask::Identifier>{1, 2}));
    releaseAgain.release();
    bb_sdk_queue().sync([] {});
    EXPECT_TRUE(ran);
    EXPECT_EQ(endedIDs(), (std::vector<BBBackgroundTask::Identifier>{1, 2}));
    BBBackgroundTask::setHooks({});
}

TEST_F(BBSDKTest, TimerIsMadeOnlyWithQueueBlockAndPositiveInterval) {
    EXPECT_FALSE(BBTimer::initWithIntervalDispatchQueueBlock(0, &bb_sdk_queue(), [] {}));
    EXPECT_FALSE(BBTimer::initWithIntervalDispatchQueueBlock(-1, &bb_sdk_queue(), [] {}));
    EXPECT_FALSE(BBTimer::initWithIntervalDispatchQueueBlock(5, &bb_sdk_queue(), nullptr));
    EXPECT_FALSE(BBTimer::initWithIntervalDispatchQueueBlock(5, nullptr, [] {}));
    auto timer = countingTimer(5);
    ASSERT_TRUE(timer);
    EXPECT_TRUE(timer->isValid());
    EXPECT_EQ(timer->interval(), 5);
}

TEST_F(BBSDKTest, TimerRepeatsAndARestartMovesItsSchedule) {
    auto timer = countingTimer(10);
    advanceTimers(6);
    EXPECT_EQ(fired, 0);
    timer->restart();  // next firing at 16, not 10
    advanceTimers(5);
    EXPECT_EQ(fired, 0);
    advanceTimers(5);
    EXPECT_EQ(fired, 1);
    advanceTimers(10);
    EXPECT_EQ(fired, 2);
    advanceTimers(35);  // several periods at once are delivered once
    EXPECT_EQ(fired, 3);
}

TEST_F(BBSDKTest, NewIntervalTakesEffectAtOnce) {
    auto timer = countingTimer(10);
    advanceTimers(3);
    timer->setInterval(2);
    advanceTimers(2);
    EXPECT_EQ(fired, 1);
    advanceTimers(2);
    EXPECT_EQ(fired, 2);
    EXPECT_EQ(timer->interval(), 2);
}

TEST_F(BBSDKTest, InvalidatedOrDestroyedTimersStayQuiet) {
    auto timer = countingTimer(1);
    timer->invalidate();
    EXPECT_FALSE(timer->isValid());
    EXPECT_FALSE(timer->block());
    auto other = countingTimer(1);
    other.reset();
    advanceTimers(5);
    EXPECT_EQ(fired, 0);
    timer->fire();  // no block left
    EXPECT_EQ(fired, 0);
}

TEST_F(BBSDKTest, FirstRunEmptiesTheDirectoryOnceAndRecordsTheVersion) {
    const fs::path dir = bb_sdk_directory_path();
    ASSERT_TRUE(plat::file::writeAtomically(dir / "old-layout", "x"));
    BBSDKUpgradeManager::sharedSDKUpgradeManager().upgradeSDKIfNecessary();
    EXPECT_FALSE(fs::exists(dir / "old-layout"));
    EXPECT_EQ(plat::file::read(dir / "latest_upgrade_version.msgpack"),
              std::string("\x81\xa7version\xd2\x00\x00\x00\x0d", 14));

    ASSERT_TRUE(plat::file::writeAtomically(dir / "kept", "x"));
    BBSDKUpgradeManager::sharedSDKUpgradeManager().upgradeSDKIfNecessary();
    EXPECT_TRUE(fs::exists(dir / "kept"));
}

TEST_F(BBSDKTest, NewerOrUnreadableVersionFiles) {
    const fs::path dir = bb_sdk_directory_path();
    const fs::path versionFile = dir / "latest_upgrade_version.msgpack";
    ASSERT_TRUE(plat::file::writeAtomically(versionFile, BBMessagePack::pack(BBDictionary{{"version", 14}})->view()));
    ASSERT_TRUE(plat::file::writeAtomically(dir / "kept", "x"));
    BBSDKUpgradeManager::sharedSDKUpgradeManager().upgradeSDKIfNecessary();
    EXPECT_TRUE(fs::exists(dir / "kept"));
    EXPECT_EQ(BBSDKUpgradeManager::currentVersion(), 13);

    // A version that is not a number counts as none: the directory is wiped again.
    ASSERT_TRUE(plat::file::writeAtomically(versionFile, BBMessagePack::pack(BBDictionary{{"version", "14"}})->view()));
    BBSDKUpgradeManager::sharedSDKUpgradeManager().upgradeSDKIfNecessary();
    EXPECT_FALSE(fs::exists(dir / "kept"));
    EXPECT_EQ(BBSDKUpgradeManager::currentVersion(), 13);
}
