#include <fcntl.h>
#include <gtest/gtest.h>
#include <sys/resource.h>
#include <unistd.h>

#include <csignal>
#include <filesystem>
#include <random>
#include <string>

#include "SessionLogReader.h"
#include "TestEnvironment.h"
#include "beta/BBMessagePack.h"
#include "beta/BBRemoteLog.h"
#include "platform/foundation/FileUtil.h"

using namespace bb;
using bbtest::LogEntry;

namespace {

class BBRemoteLogTest : public ::testing::Test {
protected:
    void SetUp() override {
        bb_log_store_setup(&log, dir.path().c_str(), "session");
        ASSERT_EQ(log.path_set, 0);
        ASSERT_EQ(bb_log_open(&log), 0);
    }
    void TearDown() override { bb_log_close(&log); }

    std::string file(const char* extension) const {
        return plat::file::read(std::string(log.path) + "." + extension).value_or("");
    }
    std::string base() const { return log.path; }

    void appendBytes(const std::string& bytes) {
        ASSERT_EQ(bb_log_append(&log, bytes.data(), bytes.size()), 0);
    }

    // Copies the session's log through a scratch file, as an upload body would take it.
    std::string copied(int hurry, int* result, std::uint64_t* written) {
        const std::string out = (dir.path() / "body").string();
        const int fd = ::open(out.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        *result = bb_log_copy_to_fd(dir.path().c_str(), "session", fd, hurry, written);
        ::close(fd);
        return plat::file::read(out).value_or("");
    }

    qxtest::TempDir dir;
    BBRemoteLog log{};
};

std::string randomBytes(std::size_t n, unsigned seed) {
    std::mt19937 random(seed);
    std::string s(n, '\0');
    for (auto& c : s) c = static_cast<char>(random());
    return s;
}

}  // namespace

TEST_F(BBRemoteLogTest, EntriesFollowTheCountHeader) {
    ASSERT_EQ(bb_log_append_entry(&log, "0123456789", 1000), 0);
    const std::string entry = std::string("\x82\xa4Time\xd3\0\0\0\0\0\0\x03\xe8\xa7Message\xaa", 24) + "0123456789";
    ASSERT_EQ(entry.size(), 34u);
    EXPECT_EQ(file("ulog"), std::string("\xdd\0\0\0\x01", 5) + entry);

    ASSERT_EQ(bb_log_append_entry(&log, "0123456789", 1000), 0);
    ASSERT_EQ(bb_log_append_entry(&log, "0123456789", 1000), 0);
    EXPECT_EQ(file("ulog"), std::string("\xdd\0\0\0\x03", 5) + entry + entry + entry);
    EXPECT_EQ(log.end_offset, 5u + 3 * 34);
    EXPECT_EQ(file("zlog"), "");
}

TEST_F(BBRemoteLogTest, EntryCrossingARunIsSplitBetweenStreamAndFreshFile) {
    const std::string first = randomBytes(65'000, 1);
    const std::string crossing = randomBytes(600, 2);
    for (std::size_t i = 0; i < first.size(); i += 1000) appendBytes(first.substr(i, 1000));
    appendBytes(crossing);

    const auto streams = bbtest::inflateStreams(file("zlog"));
    ASSERT_EQ(streams.size(), 1u);
    EXPECT_EQ(streams[0], first + crossing.substr(0, 536));
    EXPECT_EQ(file("ulog"), std::string("\xdd\0\0\0\x42", 5) + crossing.substr(536));  // 66 appends counted
    EXPECT_EQ(log.data_offset, 5u);
    EXPECT_EQ(log.end_offset, 5u + 64);
}

TEST_F(BBRemoteLogTest, InflatingEveryStreamInTurnGivesBackEveryEntry) {
    std::vector<LogEntry> written;
    std::mt19937 random(7);
    for (int i = 0; i < 3000; ++i) {
        std::string text = "line " + std::to_string(i) + " " + std::string(random() % 200, 'a' + i % 26);
        if (i == 1500) text = std::string(150'000, 'L');  // one entry spanning several runs
        ASSERT_EQ(bb_log_append_entry(&log, text, 1'700'000'000 + i), 0);
        written.push_back({1'700'000'000 + i, text});
    }
    const auto read = bbtest::readSessionLog(base());
    EXPECT_GT(read.streams, 3u);
    EXPECT_EQ(read.count, 3000u);
    EXPECT_EQ(read.entries, written);
}

TEST_F(BBRemoteLogTest, FailedCompressionLeavesNoHalfEntry) {
    // Entries that compress little; two streams make the .zlog larger than a .ulog can grow, so
    // that a size limit just above it stops only the .zlog.
    std::vector<LogEntry> kept;
    auto add = [&](int i) {
        std::string text = randomBytes(4000, i);
        for (auto& c : text) c = static_cast<char>('!' + static_cast<unsigned char>(c) % 90);
        kept.push_back({i, text});
        return bb_log_append_entry(&log, text, i);
    };
    int i = 0;
    while (file("zlog").size() < kBBLogRunSize + 5000) ASSERT_EQ(add(i++), 0);
    const std::string zlogBefore = file("zlog");
    while (log.end_offset - log.data_offset + 4100 < kBBLogRunSize) ASSERT_EQ(add(i++), 0);
    const std::string ulogBefore = file("ulog");
    const std::uint32_t countBefore = log.count;

    // The next stream cannot be written whole: the file size limit stops it part way.
    std::signal(SIGXFSZ, SIG_IGN);
    rlimit limit{static_cast<rlim_t>(zlogBefore.size() + 1000), RLIM_INFINITY};
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);
    EXPECT_EQ(add(i++), -1);
    kept.pop_back();
    limit.rlim_cur = RLIM_INFINITY;
    ASSERT_EQ(::setrlimit(RLIMIT_FSIZE, &limit), 0);

    EXPECT_EQ(file("zlog"), zlogBefore) << "cut back to its last whole stream";
    EXPECT_EQ(file("ulog"), ulogBefore) << "the failed entry is neither written nor counted";
    EXPECT_EQ(log.count, countBefore);

    // The log goes on where it stood, and reads back whole.
    ASSERT_EQ(add(i++), 0);
    ASSERT_EQ(add(i++), 0);
    const auto read = bbtest::readSessionLog(base());
    EXPECT_EQ(read.count, kept.size());
    EXPECT_EQ(read.entries, kept);
}

// Entries held in memory reach the files on a flush, when a crash writes them out, and when
// their run fills up; read back they are the entries appended, in order.
TEST_F(BBRemoteLogTest, HeldEntriesReachTheFilesOnAFlushACrashOrARollover) {
    std::vector<LogEntry> written;
    auto hold = [&](int i, std::size_t length) {
        std::string text = "line " + std::to_string(i) + std::string(length, static_cast<char>('a' + i % 26));
        written.push_back({i, text});
        return bb_log_append_entry_held(&log, text, i);
    };
    for (int i = 0; i < 3; ++i) ASSERT_EQ(hold(i, 10), 0);
    EXPECT_EQ(file("ulog"), std::string("\xdd\0\0\0\0", 5)) << "held, not written";
    EXPECT_EQ(log.count, 3u);

    bb_log_set_crash_log(&log);
    bb_log_flush_crash_log();
    bb_log_forget_crash_log(&log);
    EXPECT_EQ(file("ulog").substr(0, 5), std::string("\xdd\0\0\0\3", 5));
    EXPECT_EQ(bbtest::readSessionLog(base()).entries, written);
    bb_log_flush_crash_log();  // none set: nothing happens

    // Several runs' worth, one entry longer than a run among them.
    for (int i = 3; i < 1500; ++i) ASSERT_EQ(hold(i, i == 700 ? 100'000 : i % 300), 0);
    EXPECT_GT(bbtest::inflateStreams(file("zlog")).size(), 3u) << "full runs went into the .zlog without a flush";
    ASSERT_EQ(bb_log_flush(&log), 0);
    const auto read = bbtest::readSessionLog(base());
    EXPECT_EQ(read.count, 1500u);
    EXPECT_EQ(read.entries, written);
}

TEST_F(BBRemoteLogTest, CopyWrapsTheFilesInOneRaw) {
    for (int i = 0; i < 2000; ++i) ASSERT_EQ(bb_log_append_entry(&log, std::string(60, 'x'), i), 0);
    ASSERT_FALSE(file("zlog").empty());
    const std::string inner = file("ulog").substr(0, 5) + file("zlog") + file("ulog").substr(5);

    int result = 0;
    std::uint64_t written = 0;
    const std::string body = copied(0, &result, &written);
    EXPECT_EQ(result, 0);
    EXPECT_EQ(written, inner.size() + 5);
    ASSERT_EQ(body.size(), inner.size() + 5);
    const std::uint32_t n = static_cast<std::uint32_t>(inner.size());
    const std::string header{'\xdb', char(n >> 24), char(n >> 16), char(n >> 8), char(n)};
    EXPECT_EQ(body.substr(0, 5), header);
    EXPECT_EQ(body.substr(5), inner);

    // At crash time a log that rolled over is left for the next start.
    EXPECT_EQ(copied(1, &result, &written), "");
    EXPECT_EQ(result, -1);
}

TEST_F(BBRemoteLogTest, CopyOfMissingSentOrUnreachableLogs) {
    int result = 0;
    std::uint64_t written = 0;
    ASSERT_EQ(bb_log_append_entry(&log, "line", 1), 0);
    bb_log_close(&log);
    EXPECT_EQ(copied(1, &result, &written).size(), 5u + 5 + 28);
    EXPECT_EQ(result, 0);

    bb_log_mark_sent(dir.path().c_str(), "session");
    EXPECT_EQ(file("ulog").substr(0, 5), std::string("sent\0", 5));
    EXPECT_TRUE(bb_log_file_is_sent((base() + ".ulog").c_str()));
    EXPECT_EQ(copied(0, &result, &written), "");
    EXPECT_EQ(result, -1);

    std::filesystem::remove(base() + ".ulog");
    EXPECT_EQ(copied(0, &result, &written), "\x90");
    EXPECT_EQ(result, 0);
    EXPECT_EQ(written, 1u);

    EXPECT_EQ(bb_log_copy_to_fd(dir.path().c_str(), "session", -1, 0, &written), -1);
}

TEST_F(BBRemoteLogTest, PathThatDoesNotFitIsNeverOpened) {
    BBRemoteLog tooLong{};
    const std::string id(1020, 'i');
    bb_log_store_setup(&tooLong, dir.path().c_str(), id.c_str());
    EXPECT_EQ(tooLong.path_set, -1);
    EXPECT_EQ(bb_log_open(&tooLong), -1);
    EXPECT_EQ(bb_log_append_entry(&tooLong, "x", 1), kBBLogNotOpen);

    char path[16];
    EXPECT_EQ(bb_log_build_path(path, sizeof path, "/d", "id"), 0);
    EXPECT_STREQ(path, "/d/logs/id");
    EXPECT_EQ(bb_log_build_path(path, sizeof path, "/dir", "id"), -1);  // 4 + 2 + 12 > 16
}

TEST_F(BBRemoteLogTest, AppendBeyondThirtyTwoBitOffsetsIsRefused) {
    log.end_offset = 0xfffffff0u;
    const std::string bytes(32, 'b');
    EXPECT_EQ(bb_log_append(&log, bytes.data(), bytes.size()), kBBLogTooLarge);
}
