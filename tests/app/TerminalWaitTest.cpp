#include <gtest/gtest.h>

#include <csignal>
#include <sstream>

#include "TerminalWait.h"
#include "TestEnvironment.h"
#include "platform/foundation/RunLoop.h"

using plat::RunLoop;
using qx::app::TerminalWait;

namespace {

bool interruptsCaught() {
    struct sigaction now {};
    ::sigaction(SIGINT, nullptr, &now);
    return now.sa_handler != SIG_DFL;
}

}  // namespace

class TerminalWaitTest : public qxtest::AppTest {};

// The server is named once it kept the person waiting half a second; only from then on does
// Ctrl-C stop the wait rather than end the program, and only until the command ends.
TEST_F(TerminalWaitTest, NamesTheServerAndCtrlCStopsTheWait) {
    std::ostringstream out;
    double now = 0;
    bool caughtBeforeTold = false;
    const auto clock = [&] {
        now += 0.1;
        const bool told = out.str().find("press Ctrl-C") != std::string::npos;
        caughtBeforeTold = caughtBeforeTold || (!told && interruptsCaught());
        if (told && now > 2) std::raise(SIGINT);
        return now;
    };
    const auto server = RunLoop::main().beginBackgroundWork("127.0.0.1:9 (ZENET login)");
    {
        TerminalWait wait(out, clock, 0.001);
        wait.beginCommand();
        RunLoop::main().drain();
        EXPECT_TRUE(interruptsCaught()) << "until the command ends";
        wait.endCommand();
        EXPECT_FALSE(interruptsCaught());
    }
    EXPECT_FALSE(caughtBeforeTold) << "Ctrl-C before the message must end the program as always";
    EXPECT_EQ(out.str(),
              "Waiting for 127.0.0.1:9 (ZENET login)\u2026 press Ctrl-C to stop waiting\n"
              "\nStopped waiting; the replies are taken in at a later command.\n");
    RunLoop::main().endBackgroundWork(server);
}

// The program's own work is waited for without a word and cannot be stopped.
TEST_F(TerminalWaitTest, OwnWorkIsWaitedForSilently) {
    std::ostringstream out;
    double now = 0;
    const auto own = RunLoop::main().beginBackgroundWork();
    int asked = 0;
    TerminalWait wait(out, [&] {
        if (++asked == 20) RunLoop::main().endBackgroundWork(own);
        return now += 0.5;
    }, 0.001);
    wait.beginCommand();
    RunLoop::main().drain();
    wait.endCommand();
    EXPECT_EQ(asked, 20);
    EXPECT_EQ(out.str(), "");
    EXPECT_FALSE(interruptsCaught());
}
