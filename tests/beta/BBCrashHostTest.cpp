#include <gtest/gtest.h>

#include <csignal>
#include <filesystem>
#include <msgpack.hpp>
#include <string>
#include <vector>

#include "CrashChild.h"
#include "RawHTTPServer.h"
#include "beta/BBCrashFile.h"
#include "beta/BBCrashSender.h"
#include "beta/BBMessagePack.h"
#include "beta/BBSDK.h"
#include "platform/foundation/FileUtil.h"
#include "TestEnvironment.h"

// Crashes of a real host program, in child processes: the host takes off (installing the real
// handlers), waits until a session runs and the crash upload is prepared, and crashes. The test
// checks how the child ended, the one crash file, and the one request the crash host received.

namespace bb {
namespace {

namespace fs = std::filesystem;

#if defined(__has_feature)
#if __has_feature(address_sanitizer)
#define BB_TESTS_SANITIZED 1
#endif
#endif
#if defined(__SANITIZE_ADDRESS__)
#define BB_TESTS_SANITIZED 1
#endif

constexpr const char* kHostHeader = "a9993e364706816aba3e25717850c26c9cd0d89d.sdk.service.test";  // token "abc"

// A sanitizer runtime in the host would take the crash signals for itself.
const std::vector<std::string> kHostEnvironment = {
    "ASAN_OPTIONS=handle_segv=0:handle_sigbus=0:handle_sigfpe=0:handle_sigill=0:handle_abort=0:"
    "detect_leaks=0:use_sigaltstack=0",
};

struct CrashRun {
    bbtest::ChildEnd end;
    std::string output;                // what the host printed
    std::vector<std::string> requests;  // what the crash host received
    std::vector<fs::path> crashFiles;   // every crash file left in the library directory
    std::string file;                   // the crash file's bytes
    std::string allocations;            // a byte per allocation of the armed thread
};

// A map key as text; a key of another type (a garbled file) reads as empty.
std::string keyOf(const msgpack::object& o) {
    return o.type == msgpack::type::STR ? std::string(o.via.str.ptr, o.via.str.size) : std::string();
}

// A field the crash event must have; a missing one fails the test (naming the keys there are)
// instead of taking the test down with it.
const BBValue& field(const BBDictionary& dictionary, const std::string& key) {
    static const BBValue none;
    if (const BBValue* value = dictionary.find(key)) return *value;
    std::string keys;
    for (const auto& [name, value] : dictionary) keys += " " + std::string(name.string());
    ADD_FAILURE() << "no \"" << key << "\" among:" << keys;
    return none;
}

class BBCrashHostTest : public qxtest::AppTest {
protected:
    CrashRun crash(const std::string& scenario) {
        static int run = 0;
        const fs::path root = dataDir() / ("run" + std::to_string(++run));
        fs::create_directories(root);
        bbtest::RawHTTPServer server;
        CrashRun result;
        result.end = bbtest::runProgram(
            {BB_CRASH_HOST, scenario, root.string(), std::to_string(server.port()), (root / "count").string()},
            kHostEnvironment, (root / "output").string());
        // The post, when there was one, came before the child ended; the server's thread may not
        // have recorded it yet on a busy machine.
        server.waitForRequests(1);
        result.requests = server.requests();
        result.output = plat::file::read(root / "output").value_or("");
        result.allocations = plat::file::read(root / "count").value_or("");
        const fs::path library = root / "Caches" / (std::string(kBBReverseDomainPrefix) + ".betabeamsdk");
        std::error_code error;
        for (const auto& entry : fs::recursive_directory_iterator(library, error)) {
            const std::string name = entry.path().filename().string();
            if (name == kBBCrashFileName || name.ends_with(kBBOldCrashExtension)) result.crashFiles.push_back(entry);
        }
        result.file = plat::file::read(library / kBBCrashFileName).value_or("");
        return result;
    }

    // What every crash must leave: one crash file, decoded alike by our reader and by msgpack-c,
    // delivered in one exact request and marked sent; `function` among the crashing thread's
    // frames; the executable and the C library among the images. Returns the crash event.
    BBDictionary expectDelivered(const CrashRun& run, const std::string& function) {
        EXPECT_EQ(run.crashFiles.size(), 1u) << run.output;
        EXPECT_EQ(run.requests.size(), 1u) << run.output;
        if (run.requests.empty() || run.file.size() <= 5) return {};
        EXPECT_EQ(run.file.substr(0, 5), std::string("sent\0", 5));
        const std::string& request = run.requests[0];
        EXPECT_EQ(bbtest::RawHTTPServer::head(request),
                  "POST /beamdeck/1.0/sessions.mpack HTTP/1.1\r\nHost: " + std::string(kHostHeader) +
                      "\r\nContent-Length: " + std::to_string(run.file.size()) + "\r\n\r\n");
        // The file as it was posted: marked sent only afterwards, over the head of the start data.
        const std::string body = bbtest::RawHTTPServer::body(request);
        EXPECT_EQ(body.substr(0, 5), std::string("\xdf\0\0\0\x04", 5));
        EXPECT_EQ(body.substr(5), run.file.substr(5));

        // msgpack-c's view: a map whose last key is "events", and nothing after it. Whatever the
        // body holds, a surprise fails the test rather than ending the test process.
        std::size_t offset = 0;
        std::vector<std::string> keys;
        try {
            msgpack::object_handle handle = msgpack::unpack(body.data(), body.size(), offset);
            const msgpack::object& top = handle.get();
            if (top.type == msgpack::type::MAP) {
                for (std::uint32_t i = 0; i < top.via.map.size; ++i) keys.push_back(keyOf(top.via.map.ptr[i].key));
            } else {
                ADD_FAILURE() << "msgpack-c reads the body as type " << static_cast<int>(top.type) << ", not a map";
            }
        } catch (const std::exception& error) {
            ADD_FAILURE() << "msgpack-c cannot read the body: " << error.what();
        }
        EXPECT_EQ(keys.empty() ? std::string() : keys.back(), "events");
        EXPECT_EQ(offset, body.size()) << "msgpack-c left bytes over";

        const auto report = BBMessagePack::unpackDictionary(body);
        EXPECT_TRUE(report) << "our reader cannot decode the crash file";
        if (!report) return {};
        const BBValue* events = report->find("events");
        if (!events || !events->asArray() || events->asArray()->size() != 2) {
            ADD_FAILURE() << "no crash and session end events";
            return {};
        }
        const BBDictionary* crashPart = (*events->asArray())[0].asDictionary();
        const BBDictionary* endPart = (*events->asArray())[1].asDictionary();
        if (!crashPart || !endPart) {
            ADD_FAILURE() << "the events are not dictionaries";
            return {};
        }
        const BBDictionary crashEvent = *crashPart;
        const BBDictionary sessionEnd = *endPart;
        EXPECT_EQ(crashEvent.size(), 13u);
        EXPECT_EQ(field(sessionEnd, "type").string(), "session_end");
        // The session was running: its numbers were read back and moved on by one.
        EXPECT_GE(field(crashEvent, "sequence_number").int64Value(), 0);
        EXPECT_EQ(field(sessionEnd, "sequence_number").int64Value(), field(crashEvent, "sequence_number").int64Value() + 1);

        const BBDictionary* threads = field(crashEvent, "stacktrace").asDictionary();
        if (!threads) return crashEvent;
        const BBValue* primary = threads->find(field(*threads, "primary_thread").string());
        std::string frames;
        if (primary && primary->asArray()) {
            for (const auto& line : *primary->asArray()) frames += std::string(line.string()) + "\n";
        }
        EXPECT_NE(frames.find(" " + function + " + "), std::string::npos) << frames;

        bool executable = false;
        bool libc = false;
        const auto* images = field(crashEvent, "image_list").asArray();
        for (const auto& line : images ? *images : BBArray{}) {
            executable |= line.string().ends_with(std::string("> ") + BB_CRASH_HOST);
            libc |= line.string().find(" libc.so.6 ") != std::string::npos;
        }
        EXPECT_TRUE(executable);
        EXPECT_TRUE(libc);
        return crashEvent;
    }

    static void expectEndedBy(const CrashRun& run, int signal) {
        ASSERT_TRUE(run.end.finished) << "the crashing host hung\n" << run.output;
        EXPECT_TRUE(run.end.signaled) << "exit code " << run.end.exitCode << "\n" << run.output;
        EXPECT_EQ(run.end.signal, signal) << run.output;
    }
};

TEST_F(BBCrashHostTest, OrdinaryCrashesEndByTheirSignalAndAreDeliveredAtOnce) {
    const struct {
        const char* scenario;
        int signal;
        const char* function;
        const char* crashtype;
        const char* value;
    } cases[] = {
        {"segv", SIGSEGV, "crash_host_fault", "signal", "SIGSEGV"},
        {"abort", SIGABRT, "crash_host_abort", "signal", "SIGABRT"},
        {"fpe", SIGFPE, "crash_host_divide", "signal", "SIGFPE"},
        {"exception", SIGABRT, "crash_host_throw", "exception", "the host gave up"},
    };
    for (const auto& c : cases) {
        SCOPED_TRACE(c.scenario);
        const CrashRun run = crash(c.scenario);
        expectEndedBy(run, c.signal);
        const BBDictionary event = expectDelivered(run, c.function);
        if (event.empty()) continue;
        EXPECT_EQ(field(event, "crashtype").string(), c.crashtype);
        EXPECT_EQ(field(event, c.crashtype == std::string("signal") ? "signal" : "exception").string(), c.value);
    }
}

TEST_F(BBCrashHostTest, AStackOverflowIsReportedOnTheMainThreadAndOnAPreparedWorker) {
    for (const char* scenario : {"overflow-main", "overflow-worker"}) {
        SCOPED_TRACE(scenario);
        const CrashRun run = crash(scenario);
        expectEndedBy(run, SIGSEGV);
        expectDelivered(run, "crash_host_recurse");
    }
}

TEST_F(BBCrashHostTest, TwoThreadsCrashingTogetherGiveOneReportWrittenByOne) {
    for (int i = 0; i < 20; ++i) {
        SCOPED_TRACE("run " + std::to_string(i));
        const CrashRun run = crash("two-threads");
        expectEndedBy(run, SIGSEGV);
        const BBDictionary event = expectDelivered(run, "crash_host_fault_on_thread");
        if (::testing::Test::HasFailure()) break;
        // Only the reporting thread is the primary one; the other waited without writing.
        EXPECT_EQ(field(event, "signal").string(), "SIGSEGV");
    }
}

TEST_F(BBCrashHostTest, ACrashWhileAnotherThreadIsInsideTheLoaderIsStillReported) {
    const CrashRun run = crash("loader-busy");
    expectEndedBy(run, SIGSEGV);
    expectDelivered(run, "crash_host_fault");
}

TEST_F(BBCrashHostTest, ACrashWhileAnotherThreadHoldsTheAllocatorAllocatesNothing) {
#ifdef BB_TESTS_SANITIZED
    GTEST_SKIP() << "the sanitizer brings its own allocator; the counting one cannot be put in front of it";
#endif
    for (const char* scenario : {"allocator-held-signal", "allocator-held-exception"}) {
        SCOPED_TRACE(scenario);
        const CrashRun run = crash(scenario);
        expectEndedBy(run, std::string(scenario).ends_with("signal") ? SIGSEGV : SIGABRT);
        EXPECT_EQ(run.allocations.size(), 0u) << "allocations on the crashing thread";
        expectDelivered(run, std::string(scenario).ends_with("signal") ? "crash_host_fault" : "__cxa_throw");
    }
}

TEST_F(BBCrashHostTest, TheHostsOwnHandlerRunsAfterTheReportWasDelivered) {
    const CrashRun run = crash("host-handler");
    ASSERT_TRUE(run.end.finished) << run.output;
    // 42: the host's handler found the crash file already marked sent.
    EXPECT_EQ(run.end.exitCode, 42) << run.output;
    expectDelivered(run, "crash_host_fault");
}

}  // namespace
}  // namespace bb
