#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/wait.h>
#include <unistd.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <random>
#include <regex>
#include <thread>

#include "SessionLogReader.h"
#include "TestEnvironment.h"
#include "beta/BBLogManager.h"
#include "platform/foundation/FileUtil.h"

using namespace bb;
using bbtest::LogEntry;
namespace fs = std::filesystem;

namespace {

// Standard error redirected into a pipe while alive.
class StderrCapture {
public:
    StderrCapture() {
        EXPECT_EQ(::pipe(pipe_), 0);
        saved_ = ::dup(STDERR_FILENO);
        ::dup2(pipe_[1], STDERR_FILENO);
    }
    ~StderrCapture() { restore(); }
    std::string text() {
        restore();
        std::string all;
        char buffer[4096];
        ssize_t n;
        while ((n = ::read(pipe_[0], buffer, sizeof buffer)) > 0) all.append(buffer, static_cast<std::size_t>(n));
        return all;
    }

private:
    void restore() {
        if (saved_ == -1) return;
        ::dup2(saved_, STDERR_FILENO);
        ::close(saved_);
        ::close(pipe_[1]);
        saved_ = -1;
    }
    int pipe_[2] = {-1, -1};
    int saved_ = -1;
};

class BBLogManagerTest : public qxtest::AppTest {
protected:
    void SetUp() override {
        AppTest::SetUp();
        manager = std::make_unique<BBLogManager>(dataDir().string());
        manager->setLogToConsole(false);
        manager->setLogToSTDERR(false);
    }
    void TearDown() override {
        manager.reset();
        AppTest::TearDown();
    }
    std::int64_t now() { return static_cast<std::int64_t>(clock().now().timeIntervalSince1970()); }
    bbtest::SessionLog sessionLog(const std::string& id) { return bbtest::readSessionLog(manager->pathForSessionID(id)); }

    std::unique_ptr<BBLogManager> manager;
};

}  // namespace

TEST_F(BBLogManagerTest, LinesBeforeTheSessionIdAreHeldAndStampedWhenItComes) {
    manager->log("dropped: nothing holds it yet");
    manager->prepareToStartSession();
    manager->log("first");
    manager->log("second");
    clock().advance(90.7);
    manager->setCurrentSessionID("A");
    manager->log("third");
    manager->sync([] {});
    const auto log = sessionLog("A");
    EXPECT_EQ(log.count, 3u);
    EXPECT_EQ(log.entries, (std::vector<LogEntry>{{now(), "first"}, {now(), "second"}, {now(), "third"}}));

    // A later session starts empty; the same id again changes nothing.
    manager->setCurrentSessionID("A");
    manager->setCurrentSessionID("B");
    manager->log("fourth");
    manager->sync([] {});
    EXPECT_EQ(sessionLog("A").count, 3u);
    EXPECT_EQ(sessionLog("B").entries, (std::vector<LogEntry>{{now(), "fourth"}}));
}

TEST_F(BBLogManagerTest, EachLineIsInItsSessionsFileWhenLogReturns) {
    const auto messages = [&](const std::string& id) {
        std::vector<std::string> all;
        for (const auto& entry : sessionLog(id).entries) all.push_back(entry.message);
        return all;
    };
    manager->setCurrentSessionID("A");
    manager->log("alone");  // queued behind the session change
    EXPECT_EQ(messages("A"), std::vector<std::string>{"alone"});
    manager->log("nothing queued");
    manager->setLogToConsole(false);
    manager->log("behind a setting");
    manager->setCurrentSessionID("B");
    manager->log("in the new session");
    EXPECT_EQ(messages("A"), (std::vector<std::string>{"alone", "nothing queued", "behind a setting"}));
    EXPECT_EQ(messages("B"), std::vector<std::string>{"in the new session"});

    // Threads logging at once, while other work comes and goes on the queue: every line once,
    // each thread's lines in their order, each in the file as its log() returns.
    constexpr int kThreads = 4, kLines = 300;
    std::vector<std::thread> threads;
    std::atomic<int> missing{0};
    for (int t = 0; t < kThreads; ++t) {
        threads.emplace_back([&, t] {
            for (int i = 0; i < kLines; ++i) {
                const std::string line = std::to_string(t) + ":" + std::to_string(i);
                manager->log(line);
                if (i % 50 == 0) {
                    std::vector<std::string> now;
                    manager->sync([&] { now = messages("B"); });  // read while no line is half written
                    if (std::find(now.begin(), now.end(), line) == now.end()) ++missing;
                }
            }
        });
    }
    for (int i = 0; i < 100; ++i) manager->logAsync("async " + std::to_string(i));
    for (auto& thread : threads) thread.join();
    manager->sync([] {});
    EXPECT_EQ(missing.load(), 0);
    const auto log = sessionLog("B");
    EXPECT_EQ(log.count, 1u + kThreads * kLines + 100);
    std::vector<int> next(kThreads, 0);
    int async = 0;
    for (const auto& entry : log.entries) {
        const auto colon = entry.message.find(':');
        if (entry.message.starts_with("async ")) {
            EXPECT_EQ(entry.message, "async " + std::to_string(async++));
        } else if (colon != std::string::npos) {
            const int t = std::stoi(entry.message.substr(0, colon));
            EXPECT_EQ(std::stoi(entry.message.substr(colon + 1)), next[t]++) << entry.message;
        }
    }
    EXPECT_EQ(async, 100);
    EXPECT_EQ(next, std::vector<int>(kThreads, kLines));
}

TEST_F(BBLogManagerTest, HeldLinesAreCappedKeepingTheLatestAndTheDropCountIsLoggedWhenTheSessionStarts) {
    // A start that is refused leaves the lines held; a second start drops what the first held.
    manager->prepareToStartSession();
    manager->log("held for a start that never came");
    manager->prepareToStartSession();
    const std::size_t logged = BBLogManager::kMaxHeldLines + 5;
    for (std::size_t i = 0; i < logged; ++i) manager->log("line " + std::to_string(i));
    // One line larger than everything that may be held goes too.
    manager->log(std::string(BBLogManager::kMaxHeldBytes + 1, 'x'));
    manager->setCurrentSessionID("A");
    manager->sync([] {});

    const auto log = sessionLog("A");
    ASSERT_EQ(log.entries.size(), BBLogManager::kMaxHeldLines + 1);
    // The first five lines, the big one and the line of the refused start were dropped.
    EXPECT_EQ(log.entries.front().message, "line 5");
    EXPECT_EQ(log.entries[BBLogManager::kMaxHeldLines - 1].message, "line " + std::to_string(logged - 1));
    EXPECT_EQ(log.entries.back().message, "Betabeam: 7 log lines were dropped while no session could start");

    // Counted once: the next session hears nothing of it.
    manager->prepareToStartSession();
    manager->setCurrentSessionID("B");
    manager->sync([] {});
    EXPECT_TRUE(sessionLog("B").entries.empty());
}

TEST_F(BBLogManagerTest, HurriedWriteSkipsLogsAboveOneRun) {
    manager->setCurrentSessionID("S");
    // Text that compresses little, so that the files hold well over one run.
    std::mt19937 random(3);
    for (int i = 0; i < 1000; ++i) {
        std::string line(100, ' ');
        for (auto& c : line) c = static_cast<char>('!' + random() % 90);
        manager->log(line);
    }
    qxtest::TempDir out;
    const std::string body = (out.path() / "body").string();
    const int fd = ::open(body.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    std::uint64_t written = 0;
    EXPECT_FALSE(manager->writeLogForToFileDescriptorInAHurryBytesWritten("S", fd, true, &written));
    EXPECT_EQ(::lseek(fd, 0, SEEK_END), 0);

    EXPECT_TRUE(manager->writeLogForToFileDescriptorInAHurryBytesWritten("S", fd, false, &written));
    ::close(fd);
    const std::string item = plat::file::read(body).value_or("");
    EXPECT_EQ(written, item.size());
    EXPECT_EQ(static_cast<unsigned char>(item[0]), 0xdb);
    const std::string ulog = plat::file::read(manager->pathForSessionID("S") + ".ulog").value_or("");
    EXPECT_EQ(item.substr(5, 5), ulog.substr(0, 5));
    EXPECT_TRUE(item.ends_with(ulog.substr(5)));
}

TEST_F(BBLogManagerTest, OversizedLogOfTheRunningSessionContinuesInAFreshFile) {
    manager->setCurrentSessionID("big");
    manager->log("before");
    manager->sync([] {});
    {
        // A compressed part past the cap stands for a long session.
        const std::string zlog = manager->pathForSessionID("big") + ".zlog";
        const int fd = ::open(zlog.c_str(), O_WRONLY | O_CREAT, 0644);
        ASSERT_EQ(::ftruncate(fd, 17 * 1024 * 1024), 0);
        ::close(fd);
    }
    const int devNull = ::open("/dev/null", O_WRONLY);
    EXPECT_TRUE(manager->writeLogForToFileDescriptorInAHurryBytesWritten("big", devNull, false, nullptr));
    ::close(devNull);
    EXPECT_FALSE(fs::exists(manager->pathForSessionID("big") + ".zlog"));

    manager->log("after");
    manager->sync([] {});
    const auto log = sessionLog("big");
    ASSERT_EQ(log.entries.size(), 2u);
    EXPECT_EQ(log.count, 2u);
    EXPECT_TRUE(log.entries[0].message.starts_with("Betabeam: Your log file was larger than 16MB."));
    EXPECT_EQ(log.entries[1].message, "after");
}

TEST_F(BBLogManagerTest, OldLogsAreListedAndDeliveredOnesDeleted) {
    fs::create_directories(dataDir() / "logs");
    auto touch = [&](const std::string& name, const std::string& bytes) {
        plat::file::writeAtomically(dataDir() / "logs" / name, bytes);
    };
    touch("old.ulog", std::string("\xdd\0\0\0\0", 5));
    touch("delivered.ulog", std::string("sent\0", 5));
    touch("delivered.zlog", "z");
    touch(".ulog", "no id");
    touch("ulog", "no id either");
    touch("other.zlog", "a compressed part alone names no session");
    manager->setCurrentSessionID("current");
    manager->log("x");

    EXPECT_EQ(manager->sessionIDsWithOldLogs(), (std::set<std::string>{"old"}));
    manager->sync([] {});
    EXPECT_FALSE(fs::exists(dataDir() / "logs" / "delivered.ulog"));
    EXPECT_FALSE(fs::exists(dataDir() / "logs" / "delivered.zlog"));
    EXPECT_TRUE(fs::exists(dataDir() / "logs" / "old.ulog"));

    manager->deleteLogFor("old");
    manager->sync([] {});
    EXPECT_FALSE(fs::exists(dataDir() / "logs" / "old.ulog"));
    EXPECT_EQ(manager->pathForSessionID("old"), (dataDir() / "logs" / "old").string());
}

TEST_F(BBLogManagerTest, StandardErrorLinesNameTimeProcessAndThread) {
    StderrCapture capture;
    manager->setLogToSTDERR(true);
    clock().advance(0.25);
    manager->log("hello there");
    manager->sync([] {});
    const std::string text = capture.text();
    // The test clock starts at 2027-01-15 08:00:00 UTC; tests run in Berlin time.
    const std::regex line(R"(2027-01-15 09:00:00:250 beta_tests\[(\d+):(\d+)\] hello there\n)");
    std::smatch match;
    ASSERT_TRUE(std::regex_match(text, match, line)) << text;
    EXPECT_EQ(std::stol(match[1]), static_cast<long>(::getpid()));
    EXPECT_EQ(std::stol(match[2]), static_cast<long>(::gettid())) << "the logging thread, not the log queue";
}

TEST_F(BBLogManagerTest, AForkedChildsLinesNameItsOwnProcessAndThread) {
    StderrCapture capture;
    manager->setLogToSTDERR(true);
    manager->log("parent");  // the parent's ids are known from here on
    manager->sync([] {});
    const pid_t child = ::fork();
    ASSERT_NE(child, -1);
    if (child == 0) {
        manager->log("child");
        ::_exit(0);
    }
    int status = 0;
    ASSERT_EQ(::waitpid(child, &status, 0), child);
    const std::string text = capture.text();
    const std::regex line(R"(\[(\d+):(\d+)\] child\n)");
    std::smatch match;
    ASSERT_TRUE(std::regex_search(text, match, line)) << text;
    EXPECT_EQ(std::stol(match[1]), static_cast<long>(child));
    EXPECT_EQ(std::stol(match[2]), static_cast<long>(child)) << "the child's only thread";
}

TEST_F(BBLogManagerTest, RemoteLogFailureIsReportedOnce) {
    StderrCapture capture;
    manager->setLogToSTDERR(true);
    manager->setCurrentSessionID(std::string(1100, 'x'));  // no room for the path: never opened
    manager->log("one");
    manager->log("two");
    manager->sync([] {});
    manager->sync([] {});
    const std::string text = capture.text();
    std::size_t reports = 0;
    for (std::size_t at = 0; (at = text.find("**** Betabeam: Remote Logging Failed with errno 9", at)) != std::string::npos;
         ++at) {
        ++reports;
    }
    EXPECT_EQ(reports, 1u) << text;
    EXPECT_NE(text.find("] two\n"), std::string::npos);
}
