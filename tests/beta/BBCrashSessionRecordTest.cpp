#include "beta/BBCrashSessionRecord.h"

#include <fcntl.h>
#include <sys/stat.h>
#include <gtest/gtest.h>
#include <unistd.h>

#include <atomic>
#include <cstring>
#include <ctime>
#include <thread>

#include "BetaTestSupport.h"
#include "beta/BBDeviceInfo.h"
#include "beta/BBEventManager.h"
#include "beta/BBMessagePack.h"
#include "beta/BBSDK.h"
#include "beta/BBSessionManager.h"
#include "beta/BBThreadSuspension.h"
#include "platform/foundation/FileUtil.h"

namespace bb {
namespace {

namespace fs = std::filesystem;

std::string packed(const BBValue& value) { return std::string(BBMessagePack::pack(value)->view()); }

std::string bytesOf(const fs::path& path) { return plat::file::read(path).value_or(""); }

std::string int32Bytes(std::int32_t value) {
    std::string bytes("\xd2", 1);
    for (int shift = 24; shift >= 0; shift -= 8) bytes += static_cast<char>((static_cast<std::uint32_t>(value) >> shift) & 0xff);
    return bytes;
}

// The clock the record reads: time() may run a tick behind it, which made the bounds fail at a
// second's turn.
std::int64_t realNow() {
    timespec now{};
    ::clock_gettime(CLOCK_REALTIME, &now);
    return static_cast<std::int64_t>(now.tv_sec);
}

class BBCrashSessionRecordTest : public bbtest::BetaTest {
protected:
    void SetUp() override {
        BetaTest::SetUp();
        directory = (dataDir() / "sdk").string();
        fs::create_directories(fs::path(directory) / "session_info");
    }
    fs::path sessionFile(const std::string& name) const { return fs::path(directory) / "session_info" / name; }
    // The session files as the session manager leaves them.
    void storeSession(const std::string& id, double start, double fragmentStart, std::int32_t sequence) {
        plat::file::writeAtomically(sessionFile("last_session_id.mpack"), packed(id));
        plat::file::writeAtomically(sessionFile("last_session_start_time.mpack"), packed(start));
        plat::file::writeAtomically(sessionFile("last_session_fragment_start_time.mpack"), packed(fragmentStart));
        plat::file::writeAtomically(sessionFile(id + ".seq.mpack"), int32Bytes(sequence));
    }
    struct Written {
        std::string bytes;
        std::uint32_t idLength = 0;
        std::string id;
    };
    // The record as written to a fresh file, with `extra` written after it by the caller.
    Written write(const char* type, const std::string& dir, std::uint32_t extraCount = 0, std::size_t bufferSize = 50) {
        const fs::path out = dataDir() / "record.mpack";
        const int fd = ::open(out.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
        EXPECT_NE(fd, -1);
        char buffer[64];
        std::memset(buffer, 'x', sizeof buffer);
        Written written;
        written.idLength = bb_write_session_end_record(fd, type, extraCount, dir.c_str(), buffer, bufferSize);
        // The caller's own entries, so that the record parses whole.
        for (std::uint32_t i = 0; i < extraCount; ++i) {
            const std::string pair = packed("extra" + std::to_string(i)) + "\xc0";
            EXPECT_EQ(::write(fd, pair.data(), pair.size()), static_cast<ssize_t>(pair.size()));
        }
        ::close(fd);
        written.bytes = bytesOf(out);
        written.id = buffer;
        return written;
    }
    static BBDictionary recordOf(const Written& written) {
        auto record = BBMessagePack::unpackDictionary(written.bytes);
        EXPECT_TRUE(record);
        return record.value_or(BBDictionary{});
    }

    std::string directory;
};

TEST_F(BBCrashSessionRecordTest, WithoutSessionFilesTheRecordFallsBackField) {
    const std::int64_t before = realNow();
    const Written written = write("crash", directory);
    const std::int64_t after = realNow();

    // Everything but the time is fixed: map of 8, then each key with its fallback.
    ASSERT_GE(written.bytes.size(), 20u);
    const std::string timestampBytes = written.bytes.substr(11, 9);
    const std::string expected = std::string("\x88\xa9timestamp", 11) + timestampBytes +
                                 "\xa4type\xa5" "crash" "\xaasession_id\xa0" "\xafsequence_number" + int32Bytes(-1) +
                                 "\xaastart_time" + int32Bytes(0) + "\xa8" "duration" + int32Bytes(0) +
                                 "\xb3" "fragment_start_time" + int32Bytes(0) + "\xb1" "fragment_duration" + int32Bytes(0);
    EXPECT_EQ(written.bytes, expected);
    const BBDictionary record = recordOf(written);
    const BBValue* timestamp = record.find("timestamp");
    ASSERT_TRUE(timestamp);
    EXPECT_EQ(timestamp->type(), BBValue::Type::Int64);
    EXPECT_GE(timestamp->int64Value(), before);
    EXPECT_LE(timestamp->int64Value(), after);
    EXPECT_EQ(written.idLength, 0u);
    EXPECT_EQ(written.id, "");
    EXPECT_FALSE(fs::exists(sessionFile(".seq.mpack")));
}

// The crash takes the stored number and leaves the next for the session's end, which takes it
// and leaves the file alone.
TEST_F(BBCrashSessionRecordTest, ACrashTakesTheStoredSequenceNumberAndTheSessionEndTheNext) {
    const std::string id = "5B1F3C2A-9D4E-4F60-8A7B-0C1D2E3F4A5B";
    storeSession(id, 1'700'000'000.25, 1'700'000'100.5, 7);

    const Written crash = write("crash", directory, 5);
    ASSERT_EQ(static_cast<unsigned char>(crash.bytes[0]), 0x8d) << "8 entries and the caller's 5";
    const BBDictionary record = recordOf(crash);
    EXPECT_EQ(record.find("type")->string(), "crash");
    EXPECT_EQ(record.find("session_id")->string(), id);
    EXPECT_EQ(record.find("sequence_number")->type(), BBValue::Type::Int32);
    EXPECT_EQ(record.find("sequence_number")->int64Value(), 7);
    EXPECT_EQ(record.find("start_time")->type(), BBValue::Type::Double);
    EXPECT_EQ(record.find("start_time")->doubleValue(), 1'700'000'000.25);
    EXPECT_EQ(record.find("fragment_start_time")->doubleValue(), 1'700'000'100.5);
    // The durations run to the same moment as the whole-second timestamp, to the microsecond.
    const double now = static_cast<double>(record.find("timestamp")->int64Value());
    EXPECT_GE(record.find("duration")->doubleValue(), now - 1'700'000'000.25);
    EXPECT_LT(record.find("duration")->doubleValue(), now + 1 - 1'700'000'000.25);
    EXPECT_DOUBLE_EQ(record.find("duration")->doubleValue() - record.find("fragment_duration")->doubleValue(), 100.25);
    EXPECT_EQ(crash.idLength, id.size());
    EXPECT_EQ(crash.id, id);
    EXPECT_EQ(bytesOf(sessionFile(id + ".seq.mpack")), int32Bytes(8));

    const Written end = write("session_end", directory, 1);
    EXPECT_EQ(static_cast<unsigned char>(end.bytes[0]), 0x89);
    EXPECT_EQ(recordOf(end).find("sequence_number")->int64Value(), 8);
    EXPECT_EQ(bytesOf(sessionFile(id + ".seq.mpack")), int32Bytes(8));
}

// The session's start is taken in microseconds of the same clock: a crash in the session's first
// second has a duration below a second, not a negative one, and a start after the crash (the
// clock set back meanwhile) gives 0.
TEST_F(BBCrashSessionRecordTest, DurationsAreExactAndNeverNegative) {
    timespec clock{};
    ::clock_gettime(CLOCK_REALTIME, &clock);
    const double before = static_cast<double>(clock.tv_sec) + static_cast<double>(clock.tv_nsec / 1000) / 1e6;
    const struct {
        double startsBefore;
        double least;
    } cases[] = {{0.000001, 0.000001}, {0.25, 0.25}, {3600.5, 3600.5}, {-30.0, 0.0}};
    for (const auto& c : cases) {
        storeSession("S", before - c.startsBefore, before - c.startsBefore, 1);
        const BBDictionary record = recordOf(write("crash", directory, 0));
        ::clock_gettime(CLOCK_REALTIME, &clock);
        const double elapsed = static_cast<double>(clock.tv_sec) + static_cast<double>(clock.tv_nsec) / 1e9 - before;
        for (const char* key : {"duration", "fragment_duration"}) {
            const double duration = record.find(key)->doubleValue();
            EXPECT_GE(duration, c.least - 1e-6) << key << " " << c.startsBefore;
            EXPECT_LE(duration, c.least + elapsed + 1e-6) << key << " " << c.startsBefore;
        }
    }
}

TEST_F(BBCrashSessionRecordTest, TheSequenceNumberWrapsToZeroAfterTheLargest) {
    const std::string id = "5B1F3C2A-9D4E-4F60-8A7B-0C1D2E3F4A5B";
    storeSession(id, 1'700'000'000.25, 1'700'000'100.5, INT32_MAX);
    EXPECT_EQ(recordOf(write("crash", directory, 5)).find("sequence_number")->int64Value(), INT32_MAX);
    EXPECT_EQ(bytesOf(sessionFile(id + ".seq.mpack")), int32Bytes(0));
    EXPECT_EQ(recordOf(write("session_end", directory, 1)).find("sequence_number")->int64Value(), 0);

    // The session manager numbers its events the same way.
    onSDKQueue([] {
        BBSessionManager& manager = BBSessionManager::sharedSessionManager();
        manager.setNextSeqNumber(INT32_MAX);
        EXPECT_EQ(manager.useSeqNumber(), INT32_MAX);
        EXPECT_EQ(manager.useSeqNumber(), 0);
    });
}

TEST_F(BBCrashSessionRecordTest, TheIdIsCopiedIntoASmallBufferCutAndTerminated) {
    storeSession("ABCDEFGHIJKLMNOP", 1.0, 1.0, 0);
    const Written written = write("crash", directory, 0, 10);
    EXPECT_EQ(written.idLength, 16u);
    EXPECT_EQ(written.id, "ABCDEFGHI");
    EXPECT_EQ(recordOf(written).find("session_id")->string(), "ABCDEFGHIJKLMNOP");
}

TEST_F(BBCrashSessionRecordTest, UnreadableFilesFallBackOneByOne) {
    // An id longer than 49 bytes, a start time packed as an integer, a sequence number of -1.
    plat::file::writeAtomically(sessionFile("last_session_id.mpack"), packed(std::string(50, 'I')));
    plat::file::writeAtomically(sessionFile("last_session_start_time.mpack"), packed(1700));
    plat::file::writeAtomically(sessionFile("last_session_fragment_start_time.mpack"), packed(1700.0));
    plat::file::writeAtomically(sessionFile(".seq.mpack"), int32Bytes(-1));
    const BBDictionary record = recordOf(write("crash", directory));
    EXPECT_EQ(record.find("session_id")->string(), "");
    EXPECT_EQ(record.find("start_time")->type(), BBValue::Type::Int32);
    EXPECT_EQ(record.find("start_time")->int64Value(), 0);
    EXPECT_EQ(record.find("fragment_start_time")->doubleValue(), 1700.0);
    EXPECT_EQ(record.find("sequence_number")->int64Value(), -1);
    EXPECT_EQ(bytesOf(sessionFile(".seq.mpack")), int32Bytes(-1)) << "-1 is not moved on";
}

TEST_F(BBCrashSessionRecordTest, APathThatDoesNotFitIsRefusedAndTheRecordFallsBack) {
    char path[kBBCrashPathSize];
    // directory + "session_info" + name + extension + 4 must fit in the buffer.
    const std::string fitting(kBBCrashPathSize - 4 - 12 - 1 - 5, 'd');
    EXPECT_EQ(bb_session_info_path(path, sizeof path, fitting.c_str(), "n", "mpack"), 0u);
    EXPECT_EQ(std::strlen(path), kBBCrashPathSize - 1);
    EXPECT_EQ(std::string(path).substr(fitting.size()), "/session_info/n.mpack");
    std::strcpy(path, "untouched");
    EXPECT_EQ(bb_session_info_path(path, sizeof path, (fitting + "d").c_str(), "n", "mpack"), kBBPathDoesNotFit);
    EXPECT_STREQ(path, "untouched");

    const std::string longDirectory = "/" + std::string(999, 'x');
    const BBDictionary record = recordOf(write("crash", longDirectory));
    EXPECT_EQ(record.find("session_id")->string(), "");
    EXPECT_EQ(record.find("sequence_number")->int64Value(), -1);
    EXPECT_EQ(record.find("start_time")->int64Value(), 0);
    EXPECT_EQ(bb_mark_session_info_sent(longDirectory.c_str(), "id"), kBBPathDoesNotFit);
}

TEST_F(BBCrashSessionRecordTest, TheSentMarkerOverwritesTheFirstFiveBytesOnly) {
    plat::file::writeAtomically(sessionFile("S1.session.mpack"), "0123456789");
    EXPECT_EQ(bb_mark_session_info_sent(directory.c_str(), "S1"), 0u);
    EXPECT_EQ(bytesOf(sessionFile("S1.session.mpack")), std::string("sent\0" "56789", 10));

    EXPECT_EQ(bb_mark_session_info_sent(directory.c_str(), "S2"), kBBPathDoesNotFit);
    EXPECT_FALSE(fs::exists(sessionFile("S2.session.mpack"))) << "never created";
}

TEST_F(BBCrashSessionRecordTest, TheSequenceFileIsReplacedWhole) {
    const fs::path path = sessionFile("S.seq.mpack");
    plat::file::writeAtomically(path, "a longer file than five bytes");
    EXPECT_EQ(bb_write_int32_file(path.c_str(), 7), 1);
    EXPECT_EQ(bytesOf(path), std::string("\xd2\x00\x00\x00\x07", 5));
    const fs::path fresh = sessionFile("T.seq.mpack");
    EXPECT_EQ(bb_write_int32_file(fresh.c_str(), -2), 1);
    EXPECT_EQ(bytesOf(fresh), int32Bytes(-2));
    const mode_t mask = ::umask(0);
    ::umask(mask);
    EXPECT_EQ(static_cast<mode_t>(fs::status(fresh).permissions() & fs::perms::all), 0644 & ~mask);
    EXPECT_EQ(bb_write_int32_file((dataDir() / "missing" / "x").c_str(), 7), 0);
}

// The crash path reads back exactly what the session manager wrote, and the session's end then
// takes the number after the crash's.
TEST_F(BBCrashSessionRecordTest, TheFilesOfARunningSessionAreReadBackAtCrashTime) {
    auto manager = BBSessionManager::create();
    onSDKQueue([&] {
        manager->startSession(false);
        manager->recordEvent("checkpoint");
    });
    clock().advance(12.5);
    onSDKQueue([&] {
        manager->endSession(false);
        manager->startSession(false);  // continued: a fragment of its own
    });
    const std::string sdk = bb_sdk_directory_path();
    const BBDictionary crash = recordOf(write("crash", sdk, 5));
    EXPECT_EQ(crash.find("session_id")->string(), *manager->sessionID());
    EXPECT_EQ(crash.find("start_time")->doubleValue(), manager->startTime());
    EXPECT_EQ(crash.find("fragment_start_time")->doubleValue(), manager->fragmentStartTime());
    EXPECT_EQ(crash.find("fragment_start_time")->doubleValue(), manager->startTime() + 12.5);
    EXPECT_EQ(crash.find("sequence_number")->int64Value(), manager->nextSeqNumber());
    EXPECT_EQ(recordOf(write("session_end", sdk, 1)).find("sequence_number")->int64Value(),
              manager->nextSeqNumber() + 1);
    onSDKQueue([&] { manager.reset(); });
}

TEST_F(BBCrashSessionRecordTest, TheStartDataAreCopiedWhole) {
    const std::string sdk = bb_sdk_directory_path();
    const fs::path out = dataDir() / "copy";
    int fd = ::open(out.c_str(), O_RDWR | O_CREAT | O_TRUNC, 0644);
    EXPECT_EQ(bb_copy_network_start_data(fd, sdk.c_str()), -1) << "no start data yet";
    BBDeviceInfo::addCustomEnvironmentInformationForKey(std::string(600, 'v'), "long");
    std::string startData;
    onSDKQueue([&] { startData = BBEventManager::_ensureNetworkStartDataIsSetup(); });
    ASSERT_GT(startData.size(), 512u) << "longer than one copy step";
    EXPECT_EQ(bb_copy_network_start_data(fd, sdk.c_str()), static_cast<std::int64_t>(startData.size()));
    ::close(fd);
    EXPECT_EQ(bytesOf(out), startData);
    EXPECT_EQ(bb_copy_network_start_data(-1, sdk.c_str()), -1);
}

TEST_F(BBCrashSessionRecordTest, OtherThreadsStandStillWhileSuspended) {
    std::atomic<bool> stop{false};
    std::atomic<std::uint64_t> counter{0};
    std::thread worker([&] {
        while (!stop.load()) counter.fetch_add(1);
    });
    while (counter.load() == 0) std::this_thread::yield();

    EXPECT_EQ(bb_suspend_other_threads(), 0);
    const std::uint64_t suspendedAt = counter.load();
    // Work of our own (no allocation: a parked thread may hold the allocator's lock).
    volatile std::uint64_t spin = 0;
    for (int i = 0; i < 20'000'000; ++i) spin = spin + 1;
    const std::uint64_t later = counter.load();
    EXPECT_EQ(bb_resume_other_threads(), 0);
    EXPECT_EQ(later, suspendedAt);

    while (counter.load() == later) std::this_thread::yield();
    EXPECT_GT(counter.load(), later);
    stop = true;
    worker.join();
    // Suspending again works after a resume.
    EXPECT_EQ(bb_suspend_other_threads(), 0);
    EXPECT_EQ(bb_resume_other_threads(), 0);
}

}  // namespace
}  // namespace bb
