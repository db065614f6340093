#include "TerminalWait.h"

#include <atomic>
#include <chrono>
#include <csignal>
#include <ostream>

#include "platform/foundation/RunLoop.h"

namespace qx::app {

namespace {

std::atomic<bool> interrupted{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");

struct sigaction previousAction {};

extern "C" void onInterrupt(int) { interrupted.store(true); }

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const auto& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

}  // namespace

TerminalWait::TerminalWait(std::ostream& out, WallClock clock, double pollInterval)
    : out_(out), clock_(clock ? std::move(clock) : WallClock(&steadySeconds)), pollInterval_(pollInterval) {
    plat::RunLoop::main().setWaitWatch([this] { return keepWaiting(); }, pollInterval_);
}

TerminalWait::~TerminalWait() {
    plat::RunLoop::main().setWaitWatch({}, 0);
    releaseInterrupts();
}

void TerminalWait::beginCommand() {
    // Replies that came while the person was at the prompt are taken in before the command, so
    // that it acts on the screen as it is now.
    plat::RunLoop::main().runUntilIdle();
    blockedSince_ = -1;
    told_.clear();
    stopped_ = false;
}

void TerminalWait::endCommand() { releaseInterrupts(); }

bool TerminalWait::keepWaiting() {
    if (stopped_) return false;
    if (catching_ && interrupted.load()) {
        // The terminal echoed "^C" on the line of the message.
        out_ << "\nStopped waiting; the replies are taken in at a later command.\n" << std::flush;
        stopped_ = true;
        return false;
    }
    // Asked after one interval of waiting.
    const double now = clock_();
    if (blockedSince_ < 0) blockedSince_ = now - pollInterval_;
    if (now - blockedSince_ < kQuietSeconds) return true;
    // Only a server is worth naming; the program's own work is waited for without a word.
    auto waitedFor = plat::RunLoop::main().backgroundWorkWaitedFor();
    if (waitedFor.empty() || waitedFor == told_) return true;
    catchInterrupts();
    out_ << "Waiting for " << joined(waitedFor) << "\u2026 press Ctrl-C to stop waiting\n" << std::flush;
    told_ = std::move(waitedFor);
    return true;
}

void TerminalWait::catchInterrupts() {
    if (catching_) return;
    interrupted.store(false);
    struct sigaction action {};
    action.sa_handler = &onInterrupt;
    // Other threads' blocking calls (a reply being read, a file being written) go on.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previousAction);
    catching_ = true;
}

void TerminalWait::releaseInterrupts() {
    if (!catching_) return;
    ::sigaction(SIGINT, &previousAction, nullptr);
    catching_ = false;
}

}  // namespace qx::app
