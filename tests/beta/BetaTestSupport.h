#pragma once

#include <chrono>
#include <cstdint>
#include <filesystem>
#include <functional>
#include <optional>
#include <string>

#include "TestEnvironment.h"

namespace bbtest {

// Base of the library's tests: a fresh data folder and virtual clock, the transport trusting the
// fake service's authority with a short time limit, and every host reachable unless a test says
// otherwise.
class BetaTest : public qxtest::AppTest {
protected:
    void SetUp() override;
    void TearDown() override;

    // Makes every reachability watcher read these flags, and tells the watchers.
    void setReachabilityFlags(std::optional<std::uint32_t> flags);
    // Moves the virtual clock and runs the library's timers that came due, then lets the SDK
    // queue settle.
    void advanceLibraryTime(double seconds);
    // Waits, at most `limit` of real time, until `condition` holds, checking it on the SDK queue.
    // The limit only ends a test that fails: it leaves room for a busy machine.
    bool waitUntil(const std::function<bool()>& condition,
                   std::chrono::milliseconds limit = std::chrono::seconds(30));
    // Runs `task` on the SDK queue and waits for it.
    void onSDKQueue(const std::function<void()>& task);

    // What the library logged (through its log entry) while `during` ran.
    std::string libraryLogDuring(const std::function<void()>& during);

    std::filesystem::path writeFile(const std::string& name, const std::string& bytes);
};

// Bytes of every value 0 to 255, repeated to `length`.
std::string binaryBytes(std::size_t length);

}  // namespace bbtest
