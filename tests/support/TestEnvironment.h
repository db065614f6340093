#pragma once

#include <gtest/gtest.h>

#include <filesystem>
#include <memory>
#include <string>
#include <vector>

#include "platform/foundation/Clock.h"
#include "platform/foundation/Log.h"

namespace qxtest {

// A fresh temporary folder, removed when the object goes.
class TempDir {
public:
    TempDir();
    ~TempDir();
    TempDir(const TempDir&) = delete;
    TempDir& operator=(const TempDir&) = delete;
    const std::filesystem::path& path() const { return path_; }

private:
    std::filesystem::path path_;
};

// Collects log lines while alive.
class LogCapture {
public:
    LogCapture();
    ~LogCapture();
    const std::vector<std::string>& lines() const { return *lines_; }
    bool contains(const std::string& fragment) const;
    std::size_t count(const std::string& fragment) const;

private:
    std::shared_ptr<std::vector<std::string>> lines_;
    plat::Log::Sink previous_;
};

// Base fixture of tests that run application code: its own data folder, a virtual clock at a
// fixed date, the main run loop bound to the test's thread, fresh standard user defaults.
class AppTest : public ::testing::Test {
protected:
    void SetUp() override;
    void TearDown() override;

    // Runs the main queue (and waits for background work) until quiet.
    void drain();
    // Moves the virtual clock, firing timers at their times.
    void advance(plat::TimeInterval seconds);

    const std::filesystem::path& dataDir() const { return temp_->path(); }
    plat::VirtualClock& clock() { return *clock_; }

private:
    std::unique_ptr<TempDir> temp_;
    std::shared_ptr<plat::VirtualClock> clock_;
};

}  // namespace qxtest
