#include "beta/BBAlternateSignalStack.h"

#include <gtest/gtest.h>
#include <sys/mman.h>
#include <unistd.h>

#include <algorithm>
#include <csignal>
#include <thread>
#include <vector>

#include "BetaTestSupport.h"
#include "beta/BBLogManager.h"
#include "beta/BBSDK.h"

namespace bb {
namespace {

void* currentStack() {
    stack_t current = {};
    ::sigaltstack(nullptr, &current);
    return (current.ss_flags & SS_DISABLE) != 0 ? nullptr : current.ss_sp;
}

bool isMapped(void* address) {
    const auto page = static_cast<std::uintptr_t>(::sysconf(_SC_PAGESIZE));
    unsigned char resident = 0;
    return ::mincore(reinterpret_cast<void*>(reinterpret_cast<std::uintptr_t>(address) & ~(page - 1)), 1,
                     &resident) == 0;
}

TEST(BBAlternateSignalStackTest, AThreadGetsItsOwnStackOnceAndGivesItBackWhenItEnds) {
    void* given = nullptr;
    std::thread([&] {
        ASSERT_TRUE(BBAlternateSignalStack::prepareCurrentThread());
        // The library's own, or one the runtime gave the thread that is as large (the address
        // sanitizer sizes its stacks by the processor's signal frame).
        EXPECT_GE(BBAlternateSignalStack::currentThreadStackSize(), BBAlternateSignalStack::kSize);
        given = currentStack();
        // Asking again keeps the stack the thread has.
        ASSERT_TRUE(BBAlternateSignalStack::prepareCurrentThread());
        EXPECT_EQ(currentStack(), given);
        EXPECT_TRUE(isMapped(given));
    }).join();
    ASSERT_NE(given, nullptr);
    EXPECT_FALSE(isMapped(given));
}

TEST(BBAlternateSignalStackTest, AHostsLargeEnoughStackIsKeptAndASmallOneReplaced) {
    std::thread([] {
        std::vector<char> hosts(2 * BBAlternateSignalStack::kSize);
        stack_t own = {};
        own.ss_sp = hosts.data();
        own.ss_size = hosts.size();
        ASSERT_EQ(::sigaltstack(&own, nullptr), 0);
        ASSERT_TRUE(BBAlternateSignalStack::prepareCurrentThread());
        EXPECT_EQ(currentStack(), hosts.data());

        // Small for the library, yet large enough for this processor's signal frame (which
        // can take tens of kilobytes where the registers are wide).
        own.ss_size = std::max<std::size_t>(MINSIGSTKSZ, BBAlternateSignalStack::kSize / 2);
        ASSERT_EQ(::sigaltstack(&own, nullptr), 0);
        ASSERT_TRUE(BBAlternateSignalStack::prepareCurrentThread());
        EXPECT_NE(currentStack(), hosts.data());
        EXPECT_EQ(BBAlternateSignalStack::currentThreadStackSize(), BBAlternateSignalStack::kSize);
    }).join();
}

TEST(BBAlternateSignalStackTest, TheLibrarysQueuesRunOnThreadsWithAStack) {
    std::size_t sdkQueue = 0;
    bb_sdk_queue().sync([&] { sdkQueue = BBAlternateSignalStack::currentThreadStackSize(); });
    EXPECT_GE(sdkQueue, BBAlternateSignalStack::kSize);
    std::size_t logQueue = 0;
    BBLogManager::sharedManager().sync([&] { logQueue = BBAlternateSignalStack::currentThreadStackSize(); });
    EXPECT_GE(logQueue, BBAlternateSignalStack::kSize);
}

}  // namespace
}  // namespace bb
