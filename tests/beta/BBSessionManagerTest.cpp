#include "beta/BBSessionManager.h"

#include <gtest/gtest.h>

#include <cstring>
#include <filesystem>

#include "BetaTestSupport.h"
#include "FakeService.h"
#include "beta/BBApplicationInformation.h"
#include "beta/BBLogManager.h"
#include "beta/BBMessagePack.h"
#include "beta/BBNetworkManager.h"
#include "beta/BBSDK.h"
#include "beta/BBServiceHost.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/UserDefaults.h"

namespace bb {
namespace {

using bbtest::FakeService;
namespace fs = std::filesystem;

constexpr double kStart = 1'800'000'000.0;  // the virtual clock's start

std::string packed(const BBValue& value) { return std::string(BBMessagePack::pack(value)->view()); }

std::string bytesOf(const fs::path& path) { return plat::file::read(path).value_or(""); }

std::string bigEndianDouble(double value) {
    std::uint64_t bits;
    std::memcpy(&bits, &value, 8);
    std::string bytes("\xcb", 1);
    for (int shift = 56; shift >= 0; shift -= 8) bytes += static_cast<char>((bits >> shift) & 0xff);
    return bytes;
}

// The events of a queue file.
BBArray eventsIn(const fs::path& path) {
    auto top = BBMessagePack::unpackDictionary(bytesOf(path));
    const BBValue* events = top ? top->find("events") : nullptr;
    EXPECT_TRUE(events && events->asArray()) << path;
    return events && events->asArray() ? *events->asArray() : BBArray{};
}

// The bytes of the raw that ends a file (a streamed log), read from its header.
std::string lastRawOf(const std::string& file) {
    const std::size_t key = file.rfind("\xa3log");
    if (key == std::string::npos || key + 4 >= file.size()) return {};
    const auto lead = static_cast<unsigned char>(file[key + 4]);
    std::size_t at = key + 5;
    std::size_t length = lead & 0x1f;
    if (lead == 0xda || lead == 0xdb) {
        const int width = lead == 0xda ? 2 : 4;
        length = 0;
        for (int i = 0; i < width; ++i) length = (length << 8) | static_cast<unsigned char>(file[at++]);
    }
    return file.substr(at, length);
}

std::string typeOf(const BBValue& event) { return std::string(event.asDictionary()->find("type")->string()); }

class BBSessionManagerTest : public bbtest::BetaTest {
protected:
    void SetUp() override {
        BetaTest::SetUp();
        BBServiceHost::setSDKHostName("sdk.service.test");
        auto& log = BBLogManager::sharedManager();
        log.setLogToConsole(false);
        log.setLogToSTDERR(false);
    }
    void TearDown() override {
        onSDKQueue([&] { manager.reset(); });
        BBServiceHost::setConnectTo({});
        BetaTest::TearDown();
    }
    void makeManager() {
        onSDKQueue([&] { manager = BBSessionManager::create(); });
    }
    void storePermissions(bool valid, bool logs) {
        plat::file::writeAtomically(BBSessionManager::permissionsFilePath(),
                                    packed(BBDictionary{{"valid", valid},
                                                        {"send_checkpoints", true},
                                                        {"send_logs", logs},
                                                        {"send_crashes", true}}));
    }
    // The events queued so far, the high-priority files first, each file in order.
    std::vector<BBDictionary> queued() {
        std::vector<fs::path> files;
        onSDKQueue([&] {
            files = manager->eventManager()->queuePathsHighPriority();
            for (const auto& path : manager->eventManager()->queuePaths()) files.push_back(path);
        });
        std::vector<BBDictionary> events;
        for (const auto& file : files) {
            for (const auto& event : eventsIn(file)) events.push_back(*event.asDictionary());
        }
        return events;
    }
    std::vector<std::string> queuedTypes() {
        std::vector<std::string> types;
        for (const auto& event : queued()) types.emplace_back(event.find("type")->string());
        return types;
    }
    void run(const std::function<void(BBSessionManager&)>& step) {
        onSDKQueue([&] { step(*manager); });
        onSDKQueue([] {});  // and what the step queued behind it
    }
    std::string sessionID() {
        std::string id;
        onSDKQueue([&] { id = manager->sessionID().value_or(""); });
        return id;
    }
    static fs::path sessionFile(const std::string& name) { return BBSessionManager::sessionInfoDirectoryPath() / name; }
    static bool hasSavedInformation(const std::string& id) {
        return fs::exists(sessionFile(id + ".session.mpack")) || fs::exists(sessionFile(id + ".seq.mpack"));
    }
    // An earlier process's session, as its files were left.
    static void leaveOldSession(const std::string& id, std::optional<std::int32_t> sequence, double start = 1000.0) {
        plat::file::writeAtomically(sessionFile(id + ".session.mpack"),
                                    packed(BBDictionary{{"session_id", id},
                                                        {"start_time", start},
                                                        {"timestamp", start + 60},
                                                        {"duration", 60.0}}));
        if (sequence) plat::file::writeAtomically(sessionFile(id + ".seq.mpack"), packed(*sequence));
    }
    void endOldSessions() {
        manager->endOldSessions();
        onSDKQueue([] {});
        BBLogManager::sharedManager().sync([] {});
    }

    std::shared_ptr<BBSessionManager> manager;
};

TEST_F(BBSessionManagerTest, TheFirstSessionIsAnnouncedAtOnceWhateverThePermissions) {
    storePermissions(false, true);
    makeManager();
    run([](BBSessionManager& m) {
        m.startSession(true);
        m.checkpointHitWithParameters("not recorded", std::nullopt);
    });

    const auto events = queued();
    ASSERT_EQ(events.size(), 1u);
    const BBDictionary& start = events[0];
    EXPECT_EQ(start.find("type")->string(), "session_start");
    EXPECT_EQ(start.find("sequence_number")->type(), BBValue::Type::Int32);
    EXPECT_EQ(start.find("sequence_number")->int64Value(), 0);
    EXPECT_TRUE(start.find("manual")->boolValue());
    EXPECT_TRUE(start.find("first_session")->boolValue());
    EXPECT_EQ(start.find("session_id")->string(), sessionID());
    EXPECT_EQ(start.find("start_time")->doubleValue(), kStart);
    EXPECT_EQ(start.find("duration")->doubleValue(), 0.0);
    EXPECT_FALSE(start.contains("fragment_start_time"));
    onSDKQueue([&] { EXPECT_EQ(manager->eventManager()->queuePathsHighPriority().size(), 1u) << "sent at once"; });
    EXPECT_TRUE(plat::UserDefaults::standard().boolForKey("net.betabeam.had-first-session"));

    // Later sessions are no first sessions, and without the permission nothing of them is recorded.
    advanceLibraryTime(1);
    run([](BBSessionManager& m) { m.endSession(true); });
    advanceLibraryTime(31);
    run([](BBSessionManager& m) { m.startSession(false); });
    EXPECT_EQ(queued().size(), 1u);
}

TEST_F(BBSessionManagerTest, SessionFilesHoldTheSessionAsItRuns) {
    makeManager();
    run([](BBSessionManager& m) { m.startSession(false); });
    const std::string id = sessionID();
    ASSERT_EQ(id.size(), 36u);
    EXPECT_EQ(id.find_first_of("abcdef"), std::string::npos) << "upper-case";
    EXPECT_EQ(bytesOf(sessionFile("last_session_id.mpack")), std::string("\xda\x00\x24", 3) + id);
    EXPECT_EQ(bytesOf(sessionFile("last_session_start_time.mpack")), bigEndianDouble(kStart));
    EXPECT_EQ(bytesOf(sessionFile("last_session_fragment_start_time.mpack")), bigEndianDouble(kStart));
    EXPECT_EQ(bytesOf(sessionFile(id + ".seq.mpack")), std::string("\xd2\x00\x00\x00\x01", 5));

    advanceLibraryTime(5);
    run([](BBSessionManager& m) { m.recordEvent("checkpoint"); });
    auto saved = BBSessionManager::savedEndSessionInformationForSessionID(id);
    ASSERT_TRUE(saved);
    EXPECT_EQ(*saved, (BBDictionary{{"session_id", id}, {"start_time", kStart}, {"timestamp", kStart + 5}, {"duration", 5.0}}));
    EXPECT_EQ(bytesOf(sessionFile(id + ".seq.mpack")), std::string("\xd2\x00\x00\x00\x02", 5));

    // The persist timer saves 30 s after the last save, not on its first schedule.
    advanceLibraryTime(29);
    EXPECT_EQ(BBSessionManager::savedEndSessionInformationForSessionID(id)->find("timestamp")->doubleValue(), kStart + 5);
    advanceLibraryTime(1);
    EXPECT_EQ(BBSessionManager::savedEndSessionInformationForSessionID(id)->find("timestamp")->doubleValue(), kStart + 35);
    advanceLibraryTime(30);
    EXPECT_EQ(BBSessionManager::savedEndSessionInformationForSessionID(id)->find("duration")->doubleValue(), 65.0);
}

// A return within the keep-alive continues the session; the checkpoint recorded between waits
// for it and is queued once.
TEST_F(BBSessionManagerTest, AStartWithinTheKeepAliveContinuesTheSession) {
    makeManager();
    run([](BBSessionManager& m) { m.startSession(false); });
    const std::string id = sessionID();
    run([](BBSessionManager& m) { m.endSession(false); });
    advanceLibraryTime(4);
    run([](BBSessionManager& m) { m.checkpointHitWithParameters("between", std::nullopt); });
    onSDKQueue([&] { EXPECT_EQ(manager->eventsRecordedOutOfSession().size(), 1u); });
    EXPECT_FALSE(hasSavedInformation(id)) << "an ended session's information is not written again";
    advanceLibraryTime(6);
    run([](BBSessionManager& m) {
        m.startSession(false);
        m.recordEvent("after");
    });

    EXPECT_EQ(sessionID(), id);
    EXPECT_EQ(queuedTypes(), (std::vector<std::string>{"session_start", "session_end", "checkpoint", "after"}));
    const auto events = queued();
    EXPECT_EQ(events[2].find("sequence_number")->int64Value(), 2);
    EXPECT_FALSE(events[2].contains("fragment_start_time")) << "recorded before the continuation";
    const BBDictionary& after = events[3];
    EXPECT_EQ(after.find("sequence_number")->int64Value(), 3);
    EXPECT_EQ(after.find("fragment_start_time")->doubleValue(), kStart + 10);
    EXPECT_EQ(after.find("fragment_duration")->doubleValue(), 0.0);
    EXPECT_EQ(after.find("duration")->doubleValue(), 10.0);
    EXPECT_EQ(bytesOf(sessionFile("last_session_fragment_start_time.mpack")), bigEndianDouble(kStart + 10));
    EXPECT_EQ(bytesOf(sessionFile("last_session_start_time.mpack")), bigEndianDouble(kStart));
    onSDKQueue([&] { EXPECT_TRUE(manager->eventsRecordedOutOfSession().empty()); });
    EXPECT_TRUE(hasSavedInformation(id)) << "live again";
}

TEST_F(BBSessionManagerTest, AStartAfterTheKeepAliveBeginsANewSessionAndDropsWhatWaited) {
    makeManager();
    run([](BBSessionManager& m) {
        m.startSession(false);
        m.recordEvent("one");
    });
    const std::string first = sessionID();
    run([](BBSessionManager& m) {
        m.endSession(false);
        m.recordEvent("dropped");
    });
    advanceLibraryTime(31);
    run([](BBSessionManager& m) { m.startSession(false); });

    EXPECT_NE(sessionID(), first);
    const auto events = queued();
    ASSERT_EQ(events.size(), 4u);
    EXPECT_EQ(typeOf(events.back()), "session_start");
    EXPECT_EQ(events.back().find("sequence_number")->int64Value(), 0);
    EXPECT_FALSE(events.back().contains("first_session"));
    EXPECT_FALSE(events.back().contains("manual"));
    EXPECT_EQ(events.back().find("session_id")->string(), sessionID());
}

TEST_F(BBSessionManagerTest, TheHostsKeepAliveComesBeforeTheServices) {
    makeManager();
    onSDKQueue([&] {
        EXPECT_EQ(manager->sessionKeepAliveTimeout(), 30.0);
        manager->setSessionKeepAliveTimeout(100.0);
        EXPECT_EQ(manager->sessionKeepAliveTimeout(), 100.0);
    });
    run([](BBSessionManager& m) { m.startSession(false); });
    const std::string id = sessionID();
    run([](BBSessionManager& m) { m.endSession(false); });
    advanceLibraryTime(100);
    run([](BBSessionManager& m) { m.startSession(false); });
    EXPECT_EQ(sessionID(), id);
    onSDKQueue([&] { manager->setSessionKeepAliveTimeout(-1.0); });
    run([](BBSessionManager& m) { m.endSession(false); });
    advanceLibraryTime(30.5);
    run([](BBSessionManager& m) { m.startSession(false); });
    EXPECT_NE(sessionID(), id);
}

TEST_F(BBSessionManagerTest, AnEndCarriesTheSessionsLogWhenLogsAreSent) {
    makeManager();
    run([](BBSessionManager& m) { m.startSession(false); });
    const std::string id = sessionID();
    auto& log = BBLogManager::sharedManager();
    log.setCurrentSessionID(id);
    log.log("a line of the session");
    advanceLibraryTime(3);
    run([](BBSessionManager& m) {
        m.recordEvent("checkpoint");
        m.endSession(true);
    });

    std::vector<fs::path> files;
    onSDKQueue([&] { files = manager->eventManager()->queuePaths(); });
    ASSERT_EQ(files.size(), 2u) << "the end goes in a file of its own";
    const BBArray ends = eventsIn(files[1]);
    ASSERT_EQ(ends.size(), 1u);
    const BBDictionary& end = *ends[0].asDictionary();
    EXPECT_EQ(end.find("type")->string(), "session_end");
    EXPECT_EQ(end.find("sequence_number")->int64Value(), 2);
    EXPECT_TRUE(end.find("manual")->boolValue());
    EXPECT_EQ(end.find("duration")->doubleValue(), 3.0);
    EXPECT_EQ((end.end() - 1)->first.string(), "log");
    const std::string logBytes = lastRawOf(bytesOf(files[1]));
    EXPECT_EQ(logBytes.substr(0, 5), std::string("\xdd\x00\x00\x00\x01", 5)) << "one entry";
    EXPECT_NE(logBytes.find("a line of the session"), std::string::npos);
    EXPECT_FALSE(hasSavedInformation(id));
    onSDKQueue([&] {
        EXPECT_FALSE(manager->inSession());
        EXPECT_EQ(manager->lastSessionEndTime(), kStart + 3);
        EXPECT_FALSE(manager->hasPersistSessionTimer());
    });
}

TEST_F(BBSessionManagerTest, WithoutLogsTheEndCarriesAnEmptyLogAndTheFilesGo) {
    makeManager();
    run([](BBSessionManager& m) {
        m.setSendLogOnlyOnCrash(true);
        m.startSession(false);
    });
    const std::string id = sessionID();
    ASSERT_TRUE(hasSavedInformation(id));
    run([](BBSessionManager& m) { m.endSession(false); });
    const auto events = queued();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(typeOf(events[1]), "session_end");
    EXPECT_EQ(*events[1].find("log"), BBValue(BBArray{}));
    EXPECT_FALSE(events[1].contains("manual"));
    EXPECT_FALSE(hasSavedInformation(id));
}

TEST_F(BBSessionManagerTest, WithoutTheValidPermissionAnEndQueuesNothing) {
    makeManager();
    run([](BBSessionManager& m) { m.startSession(false); });  // the first: recorded all the same
    const std::string id = sessionID();
    onSDKQueue([&] { manager->finishedHandshakeWithDataResponseError(packed(BBDictionary{{"valid", false}}),
                                                                      std::nullopt, std::nullopt); });
    run([](BBSessionManager& m) {
        m.recordEvent("dropped");
        m.endSession(false);
    });
    EXPECT_EQ(queuedTypes(), std::vector<std::string>{"session_start"});
    EXPECT_FALSE(hasSavedInformation(id));
}

// A process about to end copies only a short log; a longer one waits on disk with the session's
// information for the next process, and the end goes without it now.
TEST_F(BBSessionManagerTest, AnApplicationThatExitsOnSuspendSendsOnlyAShortLog) {
    BBApplicationInformation::setHostBundle({{"UIApplicationExitsOnSuspend", "YES"}}, (dataDir() / "host").string());
    makeManager();
    run([](BBSessionManager& m) { m.startSession(false); });
    const std::string id = sessionID();
    auto& log = BBLogManager::sharedManager();
    log.setCurrentSessionID(id);
    // Lines that do not compress, so that the files on disk pass 64 KiB.
    std::uint32_t seed = 1;
    for (int i = 0; i < 150; ++i) {
        std::string line(1000, ' ');
        for (char& c : line) c = static_cast<char>(' ' + (seed = seed * 1103515245u + 12345u) % 95);
        log.log(line);
    }
    run([](BBSessionManager& m) { m.endSession(false); });

    const auto events = queued();
    ASSERT_EQ(events.size(), 2u);
    EXPECT_EQ(*events[1].find("log"), BBValue(BBArray{}));
    EXPECT_TRUE(hasSavedInformation(id));

    // The next process ends it again, with the whole log.
    onSDKQueue([&] { manager.reset(); });
    log.setCurrentSessionID(std::nullopt);
    makeManager();
    endOldSessions();
    const auto later = queued();
    ASSERT_EQ(later.size(), 1u);
    EXPECT_EQ(later[0].find("sesinfo source")->string(), "disk");
    std::vector<fs::path> files;
    onSDKQueue([&] { files = manager->eventManager()->queuePaths(); });
    EXPECT_GT(lastRawOf(bytesOf(files.at(0))).size(), 65536u);
    EXPECT_FALSE(hasSavedInformation(id));
}

TEST_F(BBSessionManagerTest, OldSessionsAreEndedFiveAtATime) {
    for (int i = 1; i <= 7; ++i) leaveOldSession("OLD-" + std::to_string(i), i * 10);
    const std::string orphanLog = bb_sdk_directory_path() + "/logs/ORPHAN.ulog";
    fs::create_directories(fs::path(orphanLog).parent_path());
    plat::file::writeAtomically(orphanLog, std::string("\xdd\x00\x00\x00\x00", 5));
    makeManager();

    endOldSessions();
    auto events = queued();
    ASSERT_EQ(events.size(), 5u);
    for (int i = 1; i <= 5; ++i) {
        const BBDictionary& end = events[i - 1];
        const std::string id = "OLD-" + std::to_string(i);
        EXPECT_EQ(end.find("type")->string(), "session_end");
        EXPECT_EQ(end.find("session_id")->string(), id);
        EXPECT_EQ(end.find("sesinfo source")->string(), "disk");
        EXPECT_EQ(end.find("timestamp")->doubleValue(), 1060.0);
        EXPECT_EQ(end.find("sequence_number")->int64Value(), i * 10);
        EXPECT_EQ(*end.find("log"), BBValue(BBArray{})) << "no log was kept for it";
        EXPECT_FALSE(hasSavedInformation(id));
    }
    EXPECT_TRUE(hasSavedInformation("OLD-6") && hasSavedInformation("OLD-7"));
    EXPECT_TRUE(fs::exists(orphanLog)) << "logs stay while sessions wait";

    endOldSessions();
    EXPECT_EQ(queued().size(), 7u);
    EXPECT_FALSE(hasSavedInformation("OLD-6") || hasSavedInformation("OLD-7"));
    EXPECT_FALSE(fs::exists(orphanLog));
}

TEST_F(BBSessionManagerTest, OldSessionsThatTheCrashHandlerReportedAreOnlyRemoved) {
    leaveOldSession("REPORTED", 3);
    std::string bytes = bytesOf(sessionFile("REPORTED.session.mpack"));
    bytes.replace(0, 5, std::string("sent\0", 5));
    plat::file::writeAtomically(sessionFile("REPORTED.session.mpack"), bytes);
    plat::file::writeAtomically(sessionFile("BROKEN.session.mpack"), "\xc1 not a map");
    leaveOldSession("NOSEQ", std::nullopt);
    makeManager();

    endOldSessions();
    EXPECT_FALSE(hasSavedInformation("REPORTED"));
    const auto events = queued();
    ASSERT_EQ(events.size(), 2u);
    const BBDictionary& broken = events[0];
    EXPECT_EQ(broken.find("session_id")->string(), "BROKEN");
    EXPECT_EQ(broken.find("sesinfo source")->string(), "none");
    EXPECT_EQ(broken.find("timestamp")->doubleValue(), kStart);
    EXPECT_EQ(broken.find("duration")->type(), BBValue::Type::Int32);
    EXPECT_EQ(broken.find("duration")->int64Value(), 0);
    EXPECT_EQ(broken.find("sequence_number")->int64Value(), -1);
    EXPECT_EQ(events[1].find("session_id")->string(), "NOSEQ");
    EXPECT_EQ(events[1].find("sequence_number")->int64Value(), -1);
}

TEST_F(BBSessionManagerTest, TheRunningSessionIsNoOldSession) {
    makeManager();
    run([](BBSessionManager& m) { m.startSession(false); });
    const std::string id = sessionID();
    leaveOldSession("EARLIER", 1);
    EXPECT_EQ(manager->sessionIDsWithOldSavedSessionInformation(), std::set<std::string>{"EARLIER"});
    EXPECT_TRUE(hasSavedInformation(id));
}

TEST_F(BBSessionManagerTest, CheckpointsAndFeedbackAreCheckedBeforeTheyAreRecorded) {
    makeManager();
    run([](BBSessionManager& m) { m.startSession(false); });
    const std::string log = libraryLogDuring([&] {
        run([](BBSessionManager& m) {
            m.checkpointHitWithParameters(std::nullopt, std::nullopt);
            m.checkpointHitWithParameters("", std::nullopt);
            m.checkpointHitWithParameters("level 2", BBValue(BBDictionary{{"score", 12}}));
            m.respondToFeedbackCustom(std::nullopt);
            m.respondToFeedbackCustom("Looks good");
        });
    });
    EXPECT_NE(log.find("Betabeam: checkpoint is nil unable to send to Betabeam"), std::string::npos);
    EXPECT_NE(log.find("Betabeam: checkpoint is empty unable to send to Betabeam"), std::string::npos);
    EXPECT_NE(log.find("Betabeam: Custom Feedback was nil"), std::string::npos);
    EXPECT_NE(log.find("Betabeam: Submitting custom feedback: Looks good"), std::string::npos);
    const auto events = queued();
    ASSERT_EQ(events.size(), 3u);
    EXPECT_EQ(events[1].find("checkpoint_id")->string(), "level 2");
    EXPECT_EQ(*events[1].find("parameters"), BBValue(BBDictionary{{"score", 12}}));
    EXPECT_EQ((events[1].end() - 1)->first.string(), "parameters") << "the event's own entries come last";
    EXPECT_EQ(events[2].find("type")->string(), "feedback_custom");
    EXPECT_EQ(events[2].find("feedback_text")->string(), "Looks good");

    onSDKQueue([&] { manager->finishedHandshakeWithDataResponseError(packed(BBDictionary{{"valid", true}}),
                                                                      std::nullopt, std::nullopt); });
    EXPECT_NE(libraryLogDuring([&] { run([](BBSessionManager& m) { m.checkpointHitWithParameters("x", std::nullopt); }); })
                  .find("Betabeam: checkpoint permission denied"),
              std::string::npos);
    EXPECT_EQ(queued().size(), 3u);
}

TEST_F(BBSessionManagerTest, OldCrashReportsGoOnceTheServiceIsKnown) {
    FakeService service("sdk.service.test");
    BBServiceHost::setCertificateAuthorityFile(service.certificateAuthorityFile());
    BBServiceHost::setConnectTo({"a9993e364706816aba3e25717850c26c9cd0d89d.sdk.service.test:443:127.0.0.1:" +
                                 std::to_string(service.port())});
    const fs::path crash = writeFile("E1.crash.mpack", "crash file bytes");
    makeManager();
    manager->sendOldCrashReport(crash.string());
    EXPECT_EQ(BBNetworkManager::sharedManager().networkQueue().operationCount(), 0u);

    onSDKQueue([&] { manager->setApplicationToken("abc"); });
    manager->sendOldCrashReport(crash.string());
    ASSERT_TRUE(service.waitForRequests(1));
    const auto request = service.requests()[0];
    EXPECT_EQ(request.requestLine, "POST /beamdeck/1.0/sessions.mpack HTTP/1.1");
    EXPECT_EQ(request.body, "crash file bytes");
    EXPECT_TRUE(waitUntil([&] { return !fs::exists(crash); })) << "delivered files are removed";
}

}  // namespace
}  // namespace bb
