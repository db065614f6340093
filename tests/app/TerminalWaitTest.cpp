#include <gtest/gtest.h>
#include <sqlite3.h>

#include <atomic>
#include <chrono>
#include <future>
#include <thread>
#include <csignal>
#include <sstream>

#include "LaunchWiring.h"
#include "TerminalWait.h"
#include "TestEnvironment.h"
#include "platform/foundation/RunLoop.h"
#include "store/Connection.h"
#include "store/Set.h"
#include "store/Store.h"

using plat::RunLoop;
using qx::app::TerminalWait;

namespace {

bool interruptsCaught() {
    struct sigaction now {};
    ::sigaction(SIGINT, nullptr, &now);
    return now.sa_handler != SIG_DFL;
}

constexpr const char* kStopped = "\nStopped waiting; the replies are taken in at a later command.\n";

}  // namespace

class TerminalWaitTest : public qxtest::AppTest {};

// The server is named once it kept the person waiting half a second; Ctrl-C then stops the
// wait. Ctrl-C never ends the program while the person is at the terminal, and does again after.
TEST_F(TerminalWaitTest, NamesTheServerAndCtrlCStopsTheWait) {
    std::ostringstream out;
    double now = 0;
    const auto clock = [&] {
        now += 0.1;
        if (out.str().find("press Ctrl-C") != std::string::npos && now > 2) std::raise(SIGINT);
        return now;
    };
    const auto server = RunLoop::main().beginBackgroundWork("127.0.0.1:9 (ZENET login)");
    {
        TerminalWait wait(out, clock, 0.001);
        EXPECT_TRUE(interruptsCaught()) << "at the prompt too";
        wait.beginCommand();
        RunLoop::main().drain();
        wait.endCommand();
        EXPECT_TRUE(interruptsCaught()) << "a second press after the stop lands at the prompt";
    }
    EXPECT_FALSE(interruptsCaught());
    EXPECT_EQ(out.str(),
              std::string("Waiting for 127.0.0.1:9 (ZENET login)\u2026 press Ctrl-C to stop waiting\n") + kStopped);
    RunLoop::main().endBackgroundWork(server);
}

// A press before the server was named, and one while only the program's own work is in
// flight, are not lost: the first stops the wait at once, the second says the work goes on.
TEST_F(TerminalWaitTest, CtrlCBeforeTheMessage) {
    struct Case {
        const char* name;
        std::string what;  // empty: the program's own work
        std::string said;
    };
    const Case cases[] = {
        {"server in its first half second", "127.0.0.1:9 (ZENET login)", kStopped},
        {"own work", "",
         "\nquorix finishes its own work first (an import goes on to its end); Ctrl-C stops only waiting for "
         "servers.\n"},
    };
    for (const auto& c : cases) {
        std::ostringstream out;
        const auto work = RunLoop::main().beginBackgroundWork(c.what);
        int asked = 0;
        TerminalWait wait(out, [&] {
            if (++asked == 1) std::raise(SIGINT);
            // Own work cannot be let go: it ends when it is done.
            if (asked == 20 && c.what.empty()) RunLoop::main().endBackgroundWork(work);
            return asked * 0.01;
        }, 0.001);
        wait.beginCommand();
        RunLoop::main().drain();
        wait.endCommand();
        EXPECT_EQ(out.str(), c.said) << c.name;
        EXPECT_EQ(asked < 20, !c.what.empty()) << c.name;
        if (!c.what.empty()) RunLoop::main().endBackgroundWork(work);
    }
}

// After a stop, the program's own work is still waited for; a request its result starts is let
// go as well, rather than waited for without a word and beyond the reach of Ctrl-C.
TEST_F(TerminalWaitTest, RequestsStartedAfterTheStopAreLetGo) {
    std::ostringstream out;
    const auto server = RunLoop::main().beginBackgroundWork("127.0.0.1:9 (ZENET upload)");
    const auto own = RunLoop::main().beginBackgroundWork();
    std::atomic<RunLoop::WorkId> retry{0};
    std::promise<void> pressed, drained;
    bool heldOn = false;
    // The own work ends once Ctrl-C was pressed, and its result starts a request; a drain still
    // held by that request after ten seconds is let out, so that the fault fails the test.
    std::thread work([&] {
        pressed.get_future().wait();
        RunLoop::main().endBackgroundWork(own,
                                          [&] { retry = RunLoop::main().beginBackgroundWork("127.0.0.1:9 (retry)"); });
        heldOn = drained.get_future().wait_for(std::chrono::seconds(10)) == std::future_status::timeout;
        if (heldOn) RunLoop::main().endBackgroundWork(retry);
    });
    int asked = 0;
    TerminalWait wait(out, [&] {
        if (++asked == 1) {
            std::raise(SIGINT);
            pressed.set_value();
        }
        return asked * 0.01;
    }, 0.001);
    wait.beginCommand();
    RunLoop::main().drain();
    wait.endCommand();
    drained.set_value();
    work.join();
    EXPECT_NE(retry.load(), 0u) << "the own work was waited for";
    EXPECT_FALSE(heldOn);
    EXPECT_EQ(out.str(), kStopped);
    RunLoop::main().endBackgroundWork(server);
    if (!heldOn) RunLoop::main().endBackgroundWork(retry);
}

// A save waiting for another program that holds the store is named within a second, rather
// than waited for without a word and then failed; once the other program lets go it is stored.
TEST_F(TerminalWaitTest, NamesAnotherProgramHoldingTheStore) {
    qx::app::registerStoreWaits();
    qx::Store& store = qx::Store::defaultStore();
    ASSERT_TRUE(store.isOpen());
    sqlite3* other = nullptr;
    ASSERT_EQ(sqlite3_open(store.file().c_str(), &other), SQLITE_OK);
    ASSERT_EQ(sqlite3_exec(other, "BEGIN IMMEDIATE", nullptr, nullptr, nullptr), SQLITE_OK);
    std::ostringstream out;
    bool saved = false;
    {
        // The other program lets go once the wait was named.
        TerminalWait wait(out, [&] {
            if (other && out.str().find("press Ctrl-C") != std::string::npos) {
                sqlite3_exec(other, "ROLLBACK", nullptr, nullptr, nullptr);
                sqlite3_close(other);
                other = nullptr;
            }
            return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
        }, 0.01);
        wait.beginCommand();
        store.saveWithBlock([](qx::Context& c) { qx::Set::setForDay(plat::Date(86400), c); },
                            [&](bool ok, const qx::StoreError*) { saved = ok; });
        RunLoop::main().drain();
        wait.endCommand();
    }
    if (other) sqlite3_close(other);
    EXPECT_EQ(out.str(), "Waiting for another program using the stored readings\u2026 press Ctrl-C to stop waiting\n");
    EXPECT_TRUE(saved);
    EXPECT_EQ(store.mainContext().count(qx::FetchRequest::of<qx::Set>()), std::optional<std::size_t>(1));
    qx::Connection::setOthersWaitObserver({});
    qx::Store::closeDefaultStore();
}
