#include <gtest/gtest.h>
#include <pthread.h>
#include <sched.h>
#include <unistd.h>

#include <atomic>
#include <csignal>
#include <exception>
#include <filesystem>
#include <stdexcept>
#include <string>
#include <thread>
#include <vector>

#include "BetaTestSupport.h"
#include "CrashChild.h"
#include "FakeService.h"
#include "RawHTTPServer.h"
#include "beta/BBCrashFile.h"
#include "beta/BBCrashReporter.h"
#include "beta/BBCrashSender.h"
#include "beta/BBEventManager.h"
#include "beta/BBMessagePack.h"
#include "beta/BBRemoteLog.h"
#include "beta/BBSDK.h"
#include "beta/BBServiceHost.h"
#include "beta/BBSessionManager.h"
#include "platform/foundation/DataFolder.h"
#include "platform/foundation/FileUtil.h"

namespace bb {
namespace {

using bbtest::RawHTTPServer;
using bbtest::runInChild;
namespace fs = std::filesystem;

constexpr const char* kSessionID = "5B0C8F0E-1D2A-4E6B-9C3D-7A8B9C0D1E2F";
constexpr const char* kTokenDigest = "a9993e364706816aba3e25717850c26c9cd0d89d";  // SHA-1 of "abc"

std::string packed(const BBValue& value) { return std::string(BBMessagePack::pack(value)->view()); }

// The action installed for a signal now.
struct sigaction actionOf(int signal) {
    struct sigaction action = {};
    ::sigaction(signal, nullptr, &action);
    return action;
}

bool sameAction(const struct sigaction& a, const struct sigaction& b) {
    return a.sa_handler == b.sa_handler && (a.sa_flags & SA_SIGINFO) == (b.sa_flags & SA_SIGINFO);
}

std::vector<std::string> keysOf(const BBDictionary& map) {
    std::vector<std::string> keys;
    for (const auto& [key, value] : map) keys.emplace_back(key.string());
    return keys;
}

const BBDictionary& dictionaryAt(const BBDictionary& map, const char* key) {
    static const BBDictionary empty;
    const BBValue* value = map.find(key);
    return value && value->asDictionary() ? *value->asDictionary() : empty;
}

const BBArray& arrayAt(const BBDictionary& map, const char* key) {
    static const BBArray empty;
    const BBValue* value = map.find(key);
    return value && value->asArray() ? *value->asArray() : empty;
}

class BBCrashReporterTest : public bbtest::BetaTest {
protected:
    void SetUp() override {
        BetaTest::SetUp();
        BBServiceHost::setSDKHostName("sdk.service.test");
    }
    void TearDown() override {
        bb_restore_crash_handlers(false);
        bb_prepare_crash_sender(std::nullopt);
        BBServiceHost::setConnectTo({});
        BetaTest::TearDown();
    }

    fs::path directory() const { return bb_sdk_directory_path(); }
    fs::path crashFile() const { return directory() / kBBCrashFileName; }
    fs::path infoFile(const std::string& name) const { return directory() / "session_info" / name; }

    // A running session as the session manager leaves it on disk, with a short log, and the
    // start data of the event queue.
    void prepareSession() {
        onSDKQueue([] { BBEventManager::_ensureNetworkStartDataIsSetup(); });
        plat::file::ensureDirectory(directory() / "session_info");
        plat::file::writeAtomically(infoFile("last_session_id.mpack"), packed(kSessionID));
        plat::file::writeAtomically(infoFile("last_session_start_time.mpack"), packed(1000.0));
        plat::file::writeAtomically(infoFile("last_session_fragment_start_time.mpack"), packed(1000.0));
        plat::file::writeAtomically(infoFile(std::string(kSessionID) + ".seq.mpack"), std::string("\xd2\0\0\0\x07", 5));
        plat::file::writeAtomically(infoFile(std::string(kSessionID) + ".session.mpack"),
                                    packed(BBDictionary{{"session_id", kSessionID}}));
        plat::file::ensureDirectory(directory() / "logs");
        BBRemoteLog log{};
        bb_log_store_setup(&log, directory().c_str(), kSessionID);
        ASSERT_EQ(bb_log_open(&log), 0);
        ASSERT_EQ(bb_log_append_entry(&log, "before the crash", 1000), 0);
        bb_log_close(&log);
    }

    // The crash host of the token "abc" is the server; the digest file and the socket are ready.
    void postTo(const RawHTTPServer& server) {
        BBServiceHost::setConnectTo({std::string(kTokenDigest) + ".sdk.service.test:80:127.0.0.1:" +
                                     std::to_string(server.port())});
        bb_save_token_digest("abc");
        drain();
        ASSERT_TRUE(bb_crash_sender_prepared());
    }

    static BBDictionary unpacked(const std::string& bytes) {
        auto map = BBMessagePack::unpackDictionary(bytes);
        EXPECT_TRUE(map) << "the crash file is not one MessagePack map";
        return map.value_or(BBDictionary{});
    }
    static const BBDictionary& event(const BBDictionary& file, std::size_t index) {
        static const BBDictionary empty;
        const BBArray& events = arrayAt(file, "events");
        return index < events.size() && events[index].asDictionary() ? *events[index].asDictionary() : empty;
    }
};

TEST_F(BBCrashReporterTest, AFaultIsReportedWithItsThreadRegistersAndImagesPostedAtOnceAndMarkedSent) {
    prepareSession();
    RawHTTPServer server;
    postTo(server);
    // No earlier handler (a sanitizer has one) to end the process before the post.
    ::signal(SIGSEGV, SIG_DFL);
    bb_install_crash_handlers();

    const auto end = runInChild([] {
        volatile std::uintptr_t wild = 0x10;  // unknown to the compiler
        *reinterpret_cast<volatile int*>(wild) = 1;
    });
    ASSERT_TRUE(end.finished);
    EXPECT_TRUE(end.signaled);
    EXPECT_EQ(end.signal, SIGSEGV);

    ASSERT_TRUE(server.waitForRequests(1));
    const std::string body = RawHTTPServer::body(server.requests()[0]);
    const std::string file = plat::file::read(crashFile()).value_or("");
    ASSERT_GT(file.size(), 5u);
    EXPECT_EQ(file.substr(0, 5), std::string("sent\0", 5));
    EXPECT_EQ(file.substr(5), body.substr(5));

    const BBDictionary report = unpacked(body);
    EXPECT_EQ(keysOf(report), (std::vector<std::string>{"bundle_info", "device_info", "sdk_version", "events"}));
    ASSERT_EQ(arrayAt(report, "events").size(), 2u);

    const BBDictionary& crash = event(report, 0);
    EXPECT_EQ(keysOf(crash), (std::vector<std::string>{"timestamp", "type", "session_id", "sequence_number",
                                                       "start_time", "duration", "fragment_start_time",
                                                       "fragment_duration", "stacktrace", "crashtype", "signal",
                                                       "register_state", "image_list"}));
    EXPECT_EQ(crash.find("type")->string(), "crash");
    EXPECT_EQ(crash.find("session_id")->string(), kSessionID);
    EXPECT_EQ(crash.find("sequence_number")->int64Value(), 7);
    EXPECT_EQ(crash.find("crashtype")->string(), "signal");
    EXPECT_EQ(crash.find("signal")->string(), "SIGSEGV");

    // The crashing thread's frames begin at the faulting instruction.
    const BBDictionary& threads = dictionaryAt(crash, "stacktrace");
    ASSERT_NE(threads.find("primary_thread"), nullptr);
    const BBValue* primary = threads.find(threads.find("primary_thread")->string());
    ASSERT_TRUE(primary && primary->asArray() && !primary->asArray()->empty());
    const BBDictionary& registers = dictionaryAt(crash, "register_state");
#if defined(__x86_64__)
    ASSERT_EQ(registers.size(), 37u);
    EXPECT_EQ(registers.find("far")->uint64Value(), 0x10u);
    char pc[19];
    std::snprintf(pc, sizeof pc, "0x%016llx", static_cast<unsigned long long>(registers.find("pc")->uint64Value()));
    EXPECT_NE((*primary->asArray())[0].string().find(pc), std::string::npos) << (*primary->asArray())[0].string();
#endif

    bool executableListed = false;
    const std::string executable = fs::read_symlink("/proc/self/exe").string();
    for (const auto& line : arrayAt(crash, "image_list")) {
        if (line.string().ends_with("> " + executable)) executableListed = true;
    }
    EXPECT_TRUE(executableListed);

    // The session ends in the same file, with its log, which is then known to be delivered.
    const BBDictionary& sessionEnd = event(report, 1);
    EXPECT_EQ(sessionEnd.size(), 9u);
    EXPECT_EQ(sessionEnd.find("type")->string(), "session_end");
    EXPECT_EQ(sessionEnd.find("sequence_number")->int64Value(), 8);
    EXPECT_NE(body.find("\xa3log\xdb", body.find("session_end")), std::string::npos);
    EXPECT_NE(body.find("before the crash", body.find("session_end")), std::string::npos);
    EXPECT_TRUE(bb_log_file_is_sent((directory() / "logs" / (std::string(kSessionID) + ".ulog")).c_str()));
    EXPECT_EQ(plat::file::read(infoFile(std::string(kSessionID) + ".session.mpack")).value_or("").substr(0, 5),
              std::string("sent\0", 5));

    // Delivered already: the next start (a process whose handlers are not installed yet) deletes
    // it rather than uploading it again.
    bb_restore_crash_handlers(false);
    bb_send_old_crashes();
    EXPECT_FALSE(fs::exists(crashFile()));
    EXPECT_TRUE(fs::is_empty(directory() / kBBOldCrashesFolder));
}

TEST_F(BBCrashReporterTest, AnUncaughtExceptionIsReportedWithItsReasonAndTheStackItWasThrownOn) {
    prepareSession();
    bb_install_crash_handlers();

    const auto end = runInChild([] {
        // A thread has no handler around its function: the exception ends the program.
        std::thread thrower([] { throw std::runtime_error("disk on fire"); });
        thrower.join();
    });
    ASSERT_TRUE(end.finished);
    EXPECT_TRUE(end.signaled);
    EXPECT_EQ(end.signal, SIGABRT);

    // Nothing could be posted: the file stays unmarked for the next start.
    const BBDictionary report = unpacked(plat::file::read(crashFile()).value_or(""));
    const BBDictionary& crash = event(report, 0);
    EXPECT_EQ(crash.size(), 13u);
    EXPECT_EQ(crash.find("crashtype")->string(), "exception");
    EXPECT_EQ(crash.find("exception")->string(), "disk on fire");
    const BBDictionary& registers = dictionaryAt(crash, "register_state");
#if defined(__x86_64__)
    ASSERT_EQ(registers.size(), 37u);
    EXPECT_EQ(registers.find("far")->uint64Value(), 0u);
    EXPECT_EQ(registers.find("exception")->uint64Value(), 0u);
#endif

    const BBDictionary& threads = dictionaryAt(crash, "stacktrace");
    const BBValue* primary = threads.find(threads.find("primary_thread") ? threads.find("primary_thread")->string() : "");
    ASSERT_TRUE(primary && primary->asArray());
    std::string lines;
    for (const auto& line : *primary->asArray()) lines += std::string(line.string()) + "\n";
    EXPECT_NE(lines.find(" __cxa_throw + "), std::string::npos) << lines;

    bb_restore_crash_handlers(false);
    bb_send_old_crashes();
    EXPECT_FALSE(fs::exists(crashFile()));
    EXPECT_EQ(std::distance(fs::directory_iterator(directory() / kBBOldCrashesFolder), fs::directory_iterator()), 1);
}

TEST_F(BBCrashReporterTest, EveryThreadIsListedByNameInOrderWithWhereItStood) {
    prepareSession();
    ::signal(SIGBUS, SIG_DFL);
    bb_install_crash_handlers();

    const auto end = runInChild([] {
        std::atomic<int> started{0};
        int never[2];
        if (::pipe(never) != 0) return;
        auto worker = [&](const char* name, bool crashes) {
            if (name) ::pthread_setname_np(::pthread_self(), name);
            ++started;
            if (crashes) {
                while (started.load() < 4) ::sched_yield();
                // Give the others time to block where they will stay.
                std::this_thread::sleep_for(std::chrono::milliseconds(20));
                ::raise(SIGBUS);
            }
            char byte;
            (void)::read(never[0], &byte, 1);
        };
        std::thread one(worker, "bb-one", false);
        std::thread two(worker, "bb-two", false);
        std::thread three(worker, "bb-three", true);
        std::thread four(worker, nullptr, false);
        one.join();
    });
    ASSERT_TRUE(end.finished);
    EXPECT_EQ(end.signal, SIGBUS);

    const BBDictionary report = unpacked(plat::file::read(crashFile()).value_or(""));
    const BBDictionary& crash = event(report, 0);
    EXPECT_EQ(crash.find("signal")->string(), "SIGBUS");
    const BBDictionary& threads = dictionaryAt(crash, "stacktrace");
    EXPECT_EQ(keysOf(threads), (std::vector<std::string>{"Thread 0", "bb-one", "bb-two", "primary_thread",
                                                         "bb-three", "Thread 4"}));
    EXPECT_EQ(threads.find("primary_thread")->string(), "bb-three");
    // Each thread recorded its own stack when it was stopped.
    for (const char* name : {"Thread 0", "bb-one", "bb-two", "bb-three", "Thread 4"}) {
        const BBValue* frames = threads.find(name);
        ASSERT_TRUE(frames && frames->asArray()) << name;
        EXPECT_FALSE(frames->asArray()->empty()) << name;
    }
}

// Chained handlers record here what reached them.
int gChainPipe = -1;

void chainedHandler(int signal, siginfo_t*, void*) {
    const char byte = static_cast<char>(signal);
    (void)::write(gChainPipe, &byte, 1);
}

TEST_F(BBCrashReporterTest, TheHandlerInstalledBeforeIsCalledOnceEvenAfterInstallingAgain) {
    prepareSession();
    int chain[2];
    ASSERT_EQ(::pipe(chain), 0);
    gChainPipe = chain[1];
    struct sigaction previous = {};
    previous.sa_sigaction = chainedHandler;
    previous.sa_flags = SA_SIGINFO;
    ::sigaction(SIGILL, &previous, nullptr);

    bb_install_crash_handlers();
    bb_install_crash_handlers();
    const auto end = runInChild([] { ::raise(SIGILL); });
    ASSERT_TRUE(end.finished);
    EXPECT_EQ(end.signal, SIGILL);

    ::close(chain[1]);
    char got[8];
    EXPECT_EQ(::read(chain[0], got, sizeof got), 1);
    EXPECT_EQ(got[0], SIGILL);
    ::close(chain[0]);
    const BBDictionary report = unpacked(plat::file::read(crashFile()).value_or(""));
    EXPECT_EQ(event(report, 0).find("signal")->string(), "SIGILL");

    // Put back as it was.
    bb_restore_crash_handlers(false);
    EXPECT_EQ(actionOf(SIGILL).sa_sigaction, chainedHandler);
    ::signal(SIGILL, SIG_DFL);
}

TEST_F(BBCrashReporterTest, InstallingLeavesIgnoredSignalsAloneAndRestoringPutsEveryHandlerBack) {
    const auto terminateBefore = std::get_terminate();
    const struct sigaction segvBefore = actionOf(SIGSEGV);
    ::signal(SIGPIPE, SIG_IGN);
    bb_install_crash_handlers();

    EXPECT_EQ(actionOf(SIGSEGV).sa_sigaction, bb_crash_signal_handler);
    EXPECT_NE(actionOf(SIGSEGV).sa_flags & SA_ONSTACK, 0);
    EXPECT_EQ(actionOf(SIGTRAP).sa_sigaction, bb_crash_signal_handler);
    EXPECT_EQ(actionOf(SIGPIPE).sa_handler, SIG_IGN);
    EXPECT_EQ(std::get_terminate(), bb_uncaught_exception_handler);

    bb_restore_crash_handlers(false);
    EXPECT_TRUE(sameAction(actionOf(SIGSEGV), segvBefore));
    EXPECT_EQ(actionOf(SIGPIPE).sa_handler, SIG_IGN);
    EXPECT_EQ(actionOf(SIGTRAP).sa_handler, SIG_DFL);
    EXPECT_EQ(std::get_terminate(), terminateBefore);
    ::signal(SIGPIPE, SIG_DFL);
}

TEST_F(BBCrashReporterTest, NothingIsInstalledWhenTheServiceRefusesCrashReports) {
    const BBDictionary refused{{"valid", true}, {"send_checkpoints", true}, {"send_logs", true},
                               {"send_crashes", false}};
    plat::file::writeAtomically(BBSessionManager::permissionsFilePath(), packed(BBValue(refused)));
    bb_install_crash_handlers();
    EXPECT_NE(actionOf(SIGSEGV).sa_sigaction, bb_crash_signal_handler);
    EXPECT_NE(std::get_terminate(), bb_uncaught_exception_handler);
}

TEST_F(BBCrashReporterTest, ALibraryDirectoryTooLongForTheCrashPathPreventsInstalling) {
    fs::path root = dataDir();
    while (root.string().size() < 1000) root /= std::string(100, 'd');
    ASSERT_TRUE(plat::DataFolder::setRoot(root));
    const std::string log = libraryLogDuring([] { bb_install_crash_handlers(); });
    EXPECT_NE(log.find("**** Betabeam Error: Could not install crash handlers because cache path is too long.\n\n"
                       "cachePath = \"" + bb_sdk_directory_path() + "\""),
              std::string::npos);
    EXPECT_NE(actionOf(SIGSEGV).sa_sigaction, bb_crash_signal_handler);
    EXPECT_NE(std::get_terminate(), bb_uncaught_exception_handler);
}

class BBOldCrashesTest : public BBCrashReporterTest {
protected:
    fs::path oldCrash(const std::string& name, const std::string& bytes) {
        plat::file::ensureDirectory(directory() / kBBOldCrashesFolder);
        const auto path = directory() / kBBOldCrashesFolder / name;
        plat::file::writeAtomically(path, bytes);
        return path;
    }
    std::size_t oldCrashCount() const {
        std::size_t n = 0;
        for (const auto& entry : fs::directory_iterator(directory() / kBBOldCrashesFolder)) {
            if (entry.path().string().ends_with(kBBOldCrashExtension)) ++n;
        }
        return n;
    }
};

TEST_F(BBOldCrashesTest, ALeftoverCrashFileIsUploadedFromOldCrashesAndDeliveredOnesAreDeleted) {
    bbtest::FakeService service("sdk.service.test");
    BBServiceHost::setCertificateAuthorityFile(service.certificateAuthorityFile());
    BBServiceHost::setConnectTo({std::string(kTokenDigest) + ".sdk.service.test:443:127.0.0.1:" +
                                 std::to_string(service.port())});
    onSDKQueue([] { BBSessionManager::sharedSessionManager().setApplicationToken("abc"); });

    plat::file::writeAtomically(crashFile(), "left by the last process");
    oldCrash("A.crash.mpack", std::string("sent\0rest", 9));
    const auto notes = oldCrash("notes.txt", "not a crash");

    bb_send_old_crashes();
    ASSERT_TRUE(service.waitForRequests(1));
    const auto request = service.requests()[0];
    EXPECT_EQ(request.target, "/beamdeck/1.0/sessions.mpack");
    EXPECT_EQ(request.body, "left by the last process");
    EXPECT_FALSE(fs::exists(crashFile()));
    EXPECT_FALSE(fs::exists(directory() / kBBOldCrashesFolder / "A.crash.mpack"));
    EXPECT_TRUE(fs::exists(notes));
    // The moved file was named by a fresh UUID.
    EXPECT_TRUE(waitUntil([&] { return oldCrashCount() == 0; }));
}

// While this process's handlers are installed, the crash file may be that of a crash in progress
// (its handler lets the other threads go before the process ends): sending old crashes leaves it
// where it is. Only a file found before installing is an earlier process's, moved aside.
TEST_F(BBOldCrashesTest, TheFileOfACrashInProgressStaysWhereItIsWritten) {
    plat::file::writeAtomically(crashFile(), "left by the last process");
    bb_install_crash_handlers();
    EXPECT_FALSE(fs::exists(crashFile()));
    ASSERT_EQ(oldCrashCount(), 1u);

    plat::file::writeAtomically(crashFile(), "a crash in progress");
    bb_send_old_crashes();
    bb_install_crash_handlers();  // installing again, as the option asks
    EXPECT_EQ(plat::file::read(crashFile()).value_or(""), "a crash in progress");

    bb_restore_crash_handlers(false);
    bb_send_old_crashes();
    EXPECT_FALSE(fs::exists(crashFile()));
}

TEST_F(BBOldCrashesTest, OneStartHandlesElevenCrashFiles) {
    const BBDictionary refused{{"valid", true}, {"send_checkpoints", true}, {"send_logs", true},
                               {"send_crashes", false}};
    plat::file::writeAtomically(BBSessionManager::permissionsFilePath(), packed(BBValue(refused)));
    for (int i = 0; i < 15; ++i) oldCrash("crash-" + std::to_string(i) + ".crash.mpack", "unsent");
    // Crash reports are not allowed: each file handled is deleted.
    bb_send_old_crashes();
    EXPECT_EQ(oldCrashCount(), 4u);
    bb_send_old_crashes();
    EXPECT_EQ(oldCrashCount(), 0u);
}

}  // namespace
}  // namespace bb
