#include "TestEnvironment.h"

#include <unistd.h>

#include <atomic>
#include <cstdlib>

#include "platform/foundation/DataFolder.h"
#include "platform/foundation/RunLoop.h"
#include "platform/foundation/UserDefaults.h"

namespace qxtest {

TempDir::TempDir() {
    static std::atomic<unsigned> counter{0};
    auto base = std::filesystem::temp_directory_path();
    path_ = base / ("qxtest-" + std::to_string(::getpid()) + "-" + std::to_string(counter++));
    std::filesystem::remove_all(path_);
    std::filesystem::create_directories(path_);
}

TempDir::~TempDir() {
    std::error_code ec;
    std::filesystem::remove_all(path_, ec);
}

LogCapture::LogCapture() : lines_(std::make_shared<std::vector<std::string>>()) {
    auto lines = lines_;
    previous_ = plat::Log::setSink([lines](const std::string& line) { lines->push_back(line); });
}

LogCapture::~LogCapture() { plat::Log::setSink(std::move(previous_)); }

bool LogCapture::contains(const std::string& fragment) const { return count(fragment) > 0; }

std::size_t LogCapture::count(const std::string& fragment) const {
    std::size_t n = 0;
    for (const auto& l : *lines_) n += l.find(fragment) != std::string::npos;
    return n;
}

void AppTest::SetUp() {
    temp_ = std::make_unique<TempDir>();
    plat::DataFolder::setRoot(temp_->path());
    plat::UserDefaults::resetStandard();
    clock_ = std::make_shared<plat::VirtualClock>();
    plat::Clock::setShared(clock_);
    plat::RunLoop::main().bindToCurrentThread();
}

void AppTest::TearDown() {
    drain();
    plat::UserDefaults::resetStandard();
    temp_.reset();
}

void AppTest::drain() { plat::RunLoop::main().drain(); }

void AppTest::advance(plat::TimeInterval seconds) {
    ASSERT_TRUE(plat::RunLoop::main().advanceVirtualTime(seconds));
}

}  // namespace qxtest
