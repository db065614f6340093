#include "beta/Betabeam.h"

#include <gtest/gtest.h>

#include <algorithm>
#include <atomic>
#include <filesystem>
#include <mutex>
#include <thread>

#include "BetaTestSupport.h"
#include "FakeService.h"
#include "beta/BBAlternateSignalStack.h"
#include "beta/BBAppUpdater.h"
#include "beta/BBApplicationInformation.h"
#include "beta/BBCrashReportingHooks.h"
#include "beta/BBDeviceInfo.h"
#include "beta/BBHostApplication.h"
#include "beta/BBLogManager.h"
#include "beta/BBMessagePack.h"
#include "beta/BBNetworkManager.h"
#include "beta/BBSDK.h"
#include "beta/BBSDKUpgradeManager.h"
#include "beta/BBServiceHost.h"
#include "beta/BBSessionManager.h"
#include "platform/foundation/FileUtil.h"
#include "platform/foundation/NotificationCenter.h"

namespace bb {
namespace {

using bbtest::FakeService;
namespace fs = std::filesystem;

constexpr const char* kToken = "abc";
constexpr const char* kTokenDigest = "a9993e364706816aba3e25717850c26c9cd0d89d";

bool contains(const std::string& text, const std::string& part) { return text.find(part) != std::string::npos; }

class BetabeamTest : public bbtest::BetaTest {
protected:
    void SetUp() override {
        BetaTest::SetUp();
        host(adHocBuild);
        BBServiceHost::setSDKHostName("sdk.service.test");
        service = std::make_unique<FakeService>("sdk.service.test");
        BBServiceHost::setCertificateAuthorityFile(service->certificateAuthorityFile());
        BBServiceHost::setConnectTo({std::string(kTokenDigest) + ".sdk.service.test:443:127.0.0.1:" +
                                     std::to_string(service->port())});
        BBHostApplication::setActiveStateSource([this] { return active.load(); });
        BBCrashReportingHooks::set({[this] { called("install"); },
                                    [this](const std::string& token) { called("digest " + token); },
                                    [this] { called("old crashes"); }});
    }
    void TearDown() override {
        BBCrashReportingHooks::set({});
        BBHostApplication::setActiveStateSource(nullptr);
        settle();
        // Nothing may still talk to the service while the process ends.
        EXPECT_TRUE(waitUntil([] { return BBNetworkManager::sharedManager().networkQueue().operationCount() == 0; }));
        BBServiceHost::setConnectTo({});
        BetaTest::TearDown();
    }
    // A build for testers (ad hoc), or one from the store (production).
    void host(bool adHoc) {
        const auto executable = dataDir() / "bin" / "host";
        plat::file::writeAtomically(executable, "host");
        if (adHoc) {
            plat::file::writeAtomically(dataDir() / "bin" / "embedded.mobileprovision",
                                        "signed<?xml version=\"1.0\"?><plist><dict><key>ProvisionedDevices</key>"
                                        "<array><string>a1</string></array></dict></plist>");
        }
        BBApplicationInformation::setHostBundle({{"CFBundleVersion", "45"}, {"CFBundleName", "Host"}},
                                                executable.string());
        ASSERT_EQ(BBApplicationInformation::isProduction(), !adHoc);
    }
    void called(const std::string& what) {
        std::lock_guard lock(callsMutex);
        calls.push_back(what);
    }
    std::vector<std::string> crashCalls() {
        std::lock_guard lock(callsMutex);
        return calls;
    }
    // Lets the library's queue, the main loop and background work come to rest.
    void settle() {
        onSDKQueue([] {});
        drain();
        onSDKQueue([] {});
        BBLogManager::sharedManager().sync([] {});
    }
    std::string logDuring(const std::function<void()>& during) {
        return libraryLogDuring([&] {
            during();
            settle();
        });
    }
    void post(const char* notification) {
        plat::NotificationCenter::defaultCenter().post(notification);
        settle();
    }
    // Every event the service received in uploaded queue files, in order of arrival.
    std::vector<BBDictionary> uploadedEvents() {
        std::vector<BBDictionary> events;
        for (const auto& request : service->requests()) {
            if (request.target != "/beamdeck/1.0/sessions.mpack") continue;
            auto body = BBMessagePack::unpackDictionary(request.body);
            const BBValue* list = body ? body->find("events") : nullptr;
            if (!list || !list->asArray()) continue;
            for (const auto& event : *list->asArray()) events.push_back(*event.asDictionary());
        }
        return events;
    }
    std::vector<std::string> uploadedTypes() {
        std::vector<std::string> types;
        for (const auto& event : uploadedEvents()) types.emplace_back(event.find("type")->string());
        return types;
    }
    // Waits until the service has the events and the library is done with the upload: a request
    // still in flight when a test moves the library's clock on would run past its time limit.
    bool waitForUploaded(const std::string& type, std::size_t count = 1) {
        return waitUntil([&] {
            const auto types = uploadedTypes();
            return static_cast<std::size_t>(std::count(types.begin(), types.end(), type)) >= count &&
                   BBNetworkManager::sharedManager().networkQueue().operationCount() == 0;
        });
    }
    std::string currentSessionID() {
        std::string id;
        onSDKQueue([&] { id = BBSessionManager::sharedSessionManager().sessionID().value_or(""); });
        return id;
    }

    std::unique_ptr<FakeService> service;
    bool adHocBuild = true;
    std::atomic<bool> active{true};
    std::mutex callsMutex;
    std::vector<std::string> calls;
};

TEST_F(BetabeamTest, ATeamTokenIsRefusedAndAProperTokenThenTakesOff) {
    for (const std::optional<std::string>& token : {std::optional<std::string>("team_token"), std::optional<std::string>()}) {
        const std::string log = logDuring([&] { Betabeam::takeOff(token); });
        EXPECT_TRUE(contains(log, "**BETABEAM WARNING**:\nIt looks like you have used a Team Token. Betabeam SDK 1.2 and "
                                  "higher require an Application Token.\nYou can get your application token from " +
                                      BBServiceHost::webAddress()));
        EXPECT_TRUE(contains(log, ".\nSelect this application and then select SDK."));
        EXPECT_FALSE(Betabeam::tookOff());
        EXPECT_FALSE(Betabeam::isInSession());
    }
    EXPECT_TRUE(crashCalls().empty());

    // The thread that takes off is readied for a crash report of a stack overflow.
    std::string log;
    std::size_t signalStack = 0;
    std::thread([&] {
        log = logDuring([] { Betabeam::takeOff(kToken); });
        signalStack = BBAlternateSignalStack::currentThreadStackSize();
    }).join();
    EXPECT_FALSE(contains(log, "WARNING"));
    EXPECT_GE(signalStack, BBAlternateSignalStack::kSize);
    EXPECT_TRUE(Betabeam::tookOff());
    EXPECT_TRUE(Betabeam::isInSession()) << "the application is active";
    EXPECT_EQ(BBApplicationInformation::applicationToken(), kToken);
}

TEST_F(BetabeamTest, ASecondTakeOffChangesNothing) {
    Betabeam::takeOff(kToken);
    settle();
    const std::string id = currentSessionID();
    const std::string log = logDuring([] { Betabeam::takeOff("other"); });
    EXPECT_TRUE(contains(log, "**BETABEAM WARNING**: You may not call takeOff: more than once"));
    EXPECT_EQ(BBApplicationInformation::applicationToken(), kToken);
    onSDKQueue([] { EXPECT_EQ(BBSessionManager::sharedSessionManager().appToken(), kToken); });
    EXPECT_EQ(currentSessionID(), id);
    EXPECT_EQ(crashCalls(), (std::vector<std::string>{"install", "digest abc", "old crashes"}));
}

// The application's active periods are the sessions; a session's events reach the service when
// it ends.
TEST_F(BetabeamTest, ActivePeriodsAreSessionsAndTheirEventsAreUploaded) {
    std::string log = logDuring([] { Betabeam::takeOff(kToken); });
    EXPECT_TRUE(contains(log, "Betabeam: Started Session"));
    ASSERT_TRUE(waitForUploaded("session_start")) << "the first session is announced at once";
    const std::string id = currentSessionID();

    log = logDuring([this] { post(BBHostApplication::kDidBecomeActiveNotification); });
    EXPECT_FALSE(contains(log, "Session")) << "one session at a time";

    Betabeam::passCheckpoint("level 1");
    Betabeam::submitFeedback("Nice");
    log = logDuring([this] { post(BBHostApplication::kWillResignActiveNotification); });
    EXPECT_TRUE(contains(log, "Betabeam: Ending Session"));
    EXPECT_FALSE(Betabeam::isInSession());
    EXPECT_FALSE(Betabeam::hasFlushTimer());
    ASSERT_TRUE(waitForUploaded("session_end"));
    EXPECT_EQ(uploadedTypes(), (std::vector<std::string>{"session_start", "checkpoint", "feedback_custom", "session_end"}));
    const auto events = uploadedEvents();
    for (const auto& event : events) EXPECT_EQ(event.find("session_id")->string(), id);
    EXPECT_EQ(events[1].find("checkpoint_id")->string(), "level 1");
    EXPECT_EQ(events[2].find("feedback_text")->string(), "Nice");
    // The session's log went with its end: the lines the library logged during the session.
    const std::string body = service->requests().back().body;
    EXPECT_TRUE(contains(body, "Betabeam: Started Session"));
    EXPECT_TRUE(contains(body, "Betabeam: Submitting custom feedback: Nice"));
    EXPECT_TRUE(contains(body, "Betabeam: Ending Session"));

    advanceLibraryTime(10);
    log = logDuring([this] { post(BBHostApplication::kDidBecomeActiveNotification); });
    EXPECT_TRUE(contains(log, "Betabeam: Continuing Session"));
    EXPECT_EQ(currentSessionID(), id);
    post(BBHostApplication::kWillTerminateNotification);
    EXPECT_FALSE(Betabeam::isInSession());
    EXPECT_TRUE(waitForUploaded("session_end", 2));
}

TEST_F(BetabeamTest, AnInactiveApplicationStartsItsSessionWhenItBecomesActive) {
    active = false;
    Betabeam::takeOff(kToken);
    settle();
    EXPECT_FALSE(Betabeam::isInSession());
    post(BBHostApplication::kDidBecomeActiveNotification);
    EXPECT_TRUE(Betabeam::isInSession());
}

TEST_F(BetabeamTest, ManualSessionsAreTheHostsToStartAndEnd) {
    Betabeam::setOptions(BBDictionary{{"BBOptionManualSessions", true}});
    auto& center = plat::NotificationCenter::defaultCenter();
    const std::size_t observers = center.observerCount(BBHostApplication::kWillResignActiveNotification);
    Betabeam::takeOff(kToken);
    settle();
    EXPECT_FALSE(Betabeam::isInSession()) << "active, but sessions are the host's";
    EXPECT_EQ(center.observerCount(BBHostApplication::kWillResignActiveNotification), observers);
    post(BBHostApplication::kDidBecomeActiveNotification);
    EXPECT_FALSE(Betabeam::isInSession());

    Betabeam::manuallyStartSession();
    settle();
    EXPECT_TRUE(Betabeam::isInSession());
    post(BBHostApplication::kWillResignActiveNotification);
    EXPECT_TRUE(Betabeam::isInSession());
    Betabeam::manuallyEndSession();
    EXPECT_FALSE(Betabeam::isInSession());
    ASSERT_TRUE(waitForUploaded("session_end"));
    EXPECT_TRUE(uploadedEvents().back().find("manual")->boolValue());

    const std::string log = logDuring([] { Betabeam::setOptions(BBDictionary{{"BBOptionManualSessions", false}}); });
    EXPECT_TRUE(contains(log, "**BETABEAM WARNING**: You must set the `BBOptionManualSessions` option before calling `takeOff:`"));
    Betabeam::manuallyStartSession();
    settle();
    EXPECT_TRUE(Betabeam::isInSession()) << "the option stayed on";
}

TEST_F(BetabeamTest, SessionsStartedByHandNeedTheOption) {
    std::string log = logDuring([] { Betabeam::manuallyStartSession(); });
    EXPECT_TRUE(contains(log, "**BETABEAM WARNING**: You cannot start a session without properly taking off"));
    Betabeam::takeOff(kToken);
    settle();
    log = logDuring([] {
        Betabeam::manuallyEndSession();
        Betabeam::manuallyStartSession();
    });
    EXPECT_TRUE(contains(log, "**BETABEAM WARNING**: You cannot manually end a session without turning on manual "
                              "sessions. Use option `BBOptionManualSessions`"));
    EXPECT_TRUE(contains(log, "**BETABEAM WARNING**: You cannot manually start a session without turning on manual "
                              "sessions. Use option `BBOptionManualSessions`"));
    EXPECT_TRUE(Betabeam::isInSession()) << "the automatic session goes on";
}

TEST_F(BetabeamTest, TheFlushIntervalIsAtLeastThirtySecondsOrOff) {
    EXPECT_EQ(Betabeam::flushInterval(), 60u);
    EXPECT_TRUE(contains(logDuring([] { Betabeam::setOptions(BBDictionary{{"BBOptionFlushSecondsInterval", 5}}); }),
                         "Betabeam: Flush interval changed to 30"));
    EXPECT_EQ(Betabeam::flushInterval(), 30u);
    EXPECT_FALSE(Betabeam::hasFlushTimer()) << "no session yet";
    Betabeam::setOptions(BBDictionary{{"BBOptionFlushSecondsInterval", 45.9}});
    EXPECT_EQ(Betabeam::flushInterval(), 45u);
    EXPECT_TRUE(contains(logDuring([] { Betabeam::setOptions(BBDictionary{{"BBOptionFlushSecondsInterval", "90"}}); }),
                         "Betabeam: Flush Timer turned off"));
    EXPECT_EQ(Betabeam::flushInterval(), 0u);
    Betabeam::setOptions(BBDictionary{{"BBOptionFlushSecondsInterval", -30}});
    EXPECT_EQ(Betabeam::flushInterval(), 0u) << "a negative span is no interval";

    Betabeam::takeOff(kToken);
    settle();
    EXPECT_FALSE(Betabeam::hasFlushTimer());
    Betabeam::setOptions(BBDictionary{{"BBOptionFlushSecondsInterval", 30}});
    EXPECT_TRUE(Betabeam::hasFlushTimer()) << "started within the session";
}

// Events wait in their file until the flush timer hands them to the upload queue.
TEST_F(BetabeamTest, TheFlushTimerUploadsTheSessionsEvents) {
    Betabeam::setOptions(BBDictionary{{"BBOptionFlushSecondsInterval", 30}});
    Betabeam::takeOff(kToken);
    settle();
    ASSERT_TRUE(waitForUploaded("session_start"));
    Betabeam::passCheckpoint("waiting");
    settle();
    advanceLibraryTime(29);
    EXPECT_FALSE(waitUntil([&] { return uploadedEvents().size() > 1; }, std::chrono::milliseconds(50)));
    advanceLibraryTime(1);
    ASSERT_TRUE(waitForUploaded("checkpoint"));

    Betabeam::setOptions(BBDictionary{{"BBOptionFlushSecondsInterval", 0}});
    EXPECT_FALSE(Betabeam::hasFlushTimer());
    Betabeam::passCheckpoint("stays");
    settle();
    advanceLibraryTime(120);
    EXPECT_FALSE(waitUntil([&] { return uploadedEvents().size() > 2; }, std::chrono::milliseconds(50)));
    Betabeam::flush();
    EXPECT_TRUE(waitForUploaded("checkpoint", 2));
}

TEST_F(BetabeamTest, ACheckpointBeforeTakeOffIsLoggedButNotRecorded) {
    std::string log = logDuring([] { Betabeam::passCheckpoint("early"); });
    EXPECT_TRUE(contains(log, "Betabeam: Checkpoint Passed - early"));
    Betabeam::setOptions(BBDictionary{{"BBOptionLogOnCheckpoint", false}});
    log = logDuring([] { Betabeam::passCheckpoint("quiet"); });
    EXPECT_FALSE(contains(log, "Checkpoint Passed"));

    Betabeam::takeOff(kToken);
    settle();
    Betabeam::passCheckpoint("recorded");
    Betabeam::manuallyEndSession();  // refused: the automatic session goes on
    post(BBHostApplication::kWillResignActiveNotification);
    ASSERT_TRUE(waitForUploaded("session_end"));
    EXPECT_EQ(uploadedTypes(), (std::vector<std::string>{"session_start", "checkpoint", "session_end"}));
    EXPECT_EQ(uploadedEvents()[1].find("checkpoint_id")->string(), "recorded");
}

class BetabeamProductionTest : public BetabeamTest {
protected:
    void SetUp() override {
        adHocBuild = false;
        BetabeamTest::SetUp();
    }
};

TEST_F(BetabeamProductionTest, AProductionBuildRecordsNoCheckpointsFeedbackOrLog) {
    Betabeam::takeOff(kToken);
    settle();
    Betabeam::passCheckpoint("not recorded");
    Betabeam::submitFeedback("not recorded");
    Betabeam::addCustomEnvironmentInformationForKey("value", "custom");
    settle();
    const std::string id = currentSessionID();
    post(BBHostApplication::kWillResignActiveNotification);
    ASSERT_TRUE(waitForUploaded("session_end"));
    EXPECT_EQ(uploadedTypes(), (std::vector<std::string>{"session_start", "session_end"}));
    EXPECT_FALSE(BBDeviceInfo::deviceInformation().contains("custom_environment"));
    EXPECT_FALSE(fs::exists(BBLogManager::sharedManager().pathForSessionID(id) + ".ulog"));
}

TEST_F(BetabeamTest, CustomEnvironmentValuesReachTheDeviceRecord) {
    Betabeam::addCustomEnvironmentInformationForKey("blue", "colour");
    settle();
    const BBDictionary record = BBDeviceInfo::deviceInformation();
    const BBValue* custom = record.find("custom_environment");
    ASSERT_TRUE(custom && custom->asDictionary());
    EXPECT_EQ(custom->asDictionary()->find("colour")->string(), "blue");
    Betabeam::setDeviceIdentifier("ignored");
    settle();
    EXPECT_FALSE(BBDeviceInfo::deviceInformation().contains("udid"));
}

TEST_F(BetabeamTest, CrashReportingIsSetUpAtTakeOffUnlessTurnedOff) {
    Betabeam::setOptions(BBDictionary{{"reinstallCrashHandlers", false}});
    EXPECT_TRUE(crashCalls().empty());
    Betabeam::setOptions(BBDictionary{{"BBOptionReportCrashes", false}});
    Betabeam::takeOff(kToken);
    settle();
    EXPECT_EQ(crashCalls(), std::vector<std::string>{"old crashes"}) << "earlier crash files are still handed on";

    const std::string log = logDuring([] { Betabeam::setOptions(BBDictionary{{"BBOptionReportCrashes", true}}); });
    EXPECT_TRUE(contains(log, "**BETABEAM WARNING**: You must set the `BBOptionReportCrashes` option before calling `takeOff:`"));
    Betabeam::setOptions(BBDictionary{{"reinstallCrashHandlers", true}});
    EXPECT_EQ(crashCalls(), (std::vector<std::string>{"old crashes", "install"}));
}

TEST_F(BetabeamTest, OptionsReachTheirPartsAndUnknownKeysAreNamed) {
    const std::string log = logDuring([] {
        Betabeam::setOptions(BBDictionary{{"sendLogOnlyOnCrash", true},
                                          {"BBOptionSessionKeepAliveTimeout", 120},
                                          {"disableInAppUpdates", 1},
                                          {"colour", "blue"}});
    });
    EXPECT_TRUE(contains(log, "Betabeam: The key colour is not a valid option"));
    onSDKQueue([] {
        EXPECT_TRUE(BBSessionManager::sharedSessionManager().sendLogOnlyOnCrash());
        EXPECT_EQ(BBSessionManager::sharedSessionManager().sessionKeepAliveTimeout(), 120.0);
    });
    EXPECT_TRUE(BBAppUpdater::inAppUpdatesDisabled());
}

// The first use brings the library's directory to this version's layout; take-off then ends what
// an earlier process left running.
TEST_F(BetabeamTest, TakeOffEndsTheSessionsOfEarlierProcesses) {
    const fs::path stale = fs::path(bb_sdk_directory_path()) / "stale.mpack";
    plat::file::writeAtomically(stale, "from an older library");
    Betabeam::setOptions({});
    EXPECT_FALSE(fs::exists(stale));
    EXPECT_EQ(BBSDKUpgradeManager::currentVersion(), 13);

    const fs::path info = BBSessionManager::sessionInfoDirectoryPath();
    fs::create_directories(info);
    plat::file::writeAtomically(info / "EARLIER.session.mpack",
                                std::string(BBMessagePack::pack(BBValue(BBDictionary{{"session_id", "EARLIER"},
                                                                                     {"start_time", 10.0},
                                                                                     {"timestamp", 70.0},
                                                                                     {"duration", 60.0}}))->view()));
    Betabeam::takeOff(kToken);
    ASSERT_TRUE(waitUntil([&] { return !fs::exists(info / "EARLIER.session.mpack"); }));
    Betabeam::flush();
    ASSERT_TRUE(waitForUploaded("session_end"));
    const auto events = uploadedEvents();
    const auto end = std::find_if(events.begin(), events.end(), [](const BBDictionary& e) {
        return e.find("type")->string() == "session_end";
    });
    EXPECT_EQ(end->find("session_id")->string(), "EARLIER");
    EXPECT_EQ(end->find("sesinfo source")->string(), "disk");
    EXPECT_EQ(end->find("duration")->doubleValue(), 60.0);
    EXPECT_EQ(end->find("sequence_number")->int64Value(), -1);
}

}  // namespace
}  // namespace bb
