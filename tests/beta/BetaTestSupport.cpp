#include "BetaTestSupport.h"

#include <atomic>
#include <thread>

#include "beta/BBLogManager.h"
#include "beta/BBReachability.h"
#include "beta/BBServiceHost.h"
#include "beta/BBTimerSource.h"
#include "beta/BBURLConnectionOperation.h"
#include "beta/BBSDK.h"
#include "TestCertificates.h"
#include "platform/foundation/FileUtil.h"

namespace bbtest {

namespace {
// Read from whatever thread asks a watcher; -1 stands for flags that cannot be read.
std::atomic<std::int64_t> injected{bb::BBReachability::kReachable};

std::optional<std::uint32_t> injectedFlags() {
    const std::int64_t flags = injected;
    if (flags < 0) return std::nullopt;
    return static_cast<std::uint32_t>(flags);
}
}  // namespace

void BetaTest::SetUp() {
    qxtest::AppTest::SetUp();
    bb::BBServiceHost::setCertificateAuthorityFile(TestCertificates::forHost("127.0.0.1").caFile);
    bb::BBURLConnectionOperation::setTimeLimit(0.25);
    injected = bb::BBReachability::kReachable;
    bb::BBReachability::setFlagsSource([](const bb::BBReachability&) { return injectedFlags(); });
}

void BetaTest::TearDown() {
    onSDKQueue([] {});
    qxtest::AppTest::TearDown();
}

void BetaTest::setReachabilityFlags(std::optional<std::uint32_t> flags) {
    injected = flags ? static_cast<std::int64_t>(*flags) : -1;
    bb::BBReachability::networkStateDidChange();
    onSDKQueue([] {});
}

void BetaTest::advanceLibraryTime(double seconds) {
    onSDKQueue([] {});
    clock().advance(seconds);
    bb::BBTimerSource::fireDueSources();
    onSDKQueue([] {});
}

bool BetaTest::waitUntil(const std::function<bool()>& condition, std::chrono::milliseconds limit) {
    const auto until = std::chrono::steady_clock::now() + limit;
    for (;;) {
        bool met = false;
        onSDKQueue([&] { met = condition(); });
        if (met) return true;
        if (std::chrono::steady_clock::now() >= until) return false;
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
}

void BetaTest::onSDKQueue(const std::function<void()>& task) { bb::bb_sdk_queue().sync(task); }

std::string BetaTest::libraryLogDuring(const std::function<void()>& during) {
    auto& logManager = bb::BBLogManager::sharedManager();
    logManager.setLogToConsole(false);
    logManager.setLogToSTDERR(true);
    ::testing::internal::CaptureStderr();
    during();
    logManager.sync([] {});
    return ::testing::internal::GetCapturedStderr();
}

std::filesystem::path BetaTest::writeFile(const std::string& name, const std::string& bytes) {
    auto path = dataDir() / name;
    plat::file::writeAtomically(path, bytes);
    return path;
}

std::string binaryBytes(std::size_t length) {
    std::string bytes(length, '\0');
    for (std::size_t i = 0; i < length; ++i) bytes[i] = static_cast<char>(i % 256);
    return bytes;
}

}  // namespace bbtest
