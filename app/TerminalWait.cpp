#include "TerminalWait.h"

#include <chrono>
#include <ostream>

#include "model/Language.h"
#include "platform/foundation/RunLoop.h"

namespace qx::app {

namespace {

double steadySeconds() {
    return std::chrono::duration<double>(std::chrono::steady_clock::now().time_since_epoch()).count();
}

std::string joined(const std::vector<std::string>& items) {
    std::string text;
    for (const auto& item : items) text += (text.empty() ? "" : ", ") + item;
    return text;
}

constexpr const char* kStoppedWaiting = "Stopped waiting; the replies are taken in at a later command.";
constexpr const char* kOwnWorkGoesOn =
    "quorix finishes its own work first (an import goes on to its end); Ctrl-C stops only waiting for servers.";

std::string waitingLine(const std::vector<std::string>& waitedFor) {
    std::string text = Language::get("Waiting for %@\u2026 press Ctrl-C to stop waiting");
    if (const auto at = text.find("%@"); at != std::string::npos) text.replace(at, 2, joined(waitedFor));
    return text;
}

}  // namespace

TerminalWait::TerminalWait(std::ostream& out, WallClock clock, double pollInterval)
    : out_(out), clock_(clock ? std::move(clock) : WallClock(&steadySeconds)), pollInterval_(pollInterval) {
    plat::RunLoop::main().setWaitWatch([this] { return keepWaiting(); }, pollInterval_);
}

TerminalWait::~TerminalWait() { plat::RunLoop::main().setWaitWatch({}, 0); }

void TerminalWait::beginCommand() {
    // Replies that came while the person was at the prompt are taken in before the command, so
    // that it acts on the screen as it is now.
    plat::RunLoop::main().runUntilIdle();
    blockedSince_ = -1;
    told_.clear();
    stopped_ = false;
    toldOwnWork_ = false;
}

void TerminalWait::endCommand() {
    // A press that found nothing to stop was for this command; the prompt is drawn anyway.
    InterruptCatcher::take();
}

bool TerminalWait::keepWaiting() {
    auto waitedFor = plat::RunLoop::main().backgroundWorkWaitedFor();
    if (InterruptCatcher::take()) stop(!waitedFor.empty() || !told_.empty());
    // Asked again after a stop: requests started since (by a reply, a save's completion) are
    // let go as well.
    if (stopped_) return false;
    // Asked after one interval of waiting.
    const double now = clock_();
    if (blockedSince_ < 0) blockedSince_ = now - pollInterval_;
    if (now - blockedSince_ < kQuietSeconds) return true;
    // Only a server (or another program) is worth naming; the program's own work is waited for
    // without a word.
    if (waitedFor.empty() || waitedFor == told_) return true;
    out_ << waitingLine(waitedFor) << "\n" << std::flush;
    told_ = std::move(waitedFor);
    return true;
}

void TerminalWait::stop(bool serversWaitedFor) {
    // Each is said once a command, on a line after the "^C" the terminal echoed.
    if (serversWaitedFor && !stopped_) {
        out_ << "\n" << Language::get(kStoppedWaiting) << "\n" << std::flush;
        stopped_ = true;
    } else if (!serversWaitedFor && !toldOwnWork_) {
        out_ << "\n" << Language::get(kOwnWorkGoesOn) << "\n" << std::flush;
        toldOwnWork_ = true;
    }
}

}  // namespace qx::app
