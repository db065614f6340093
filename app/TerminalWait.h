#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

namespace qx::app {

// How a command waits, at a terminal, for the work it set off. It waits as a script does until
// the work is done; but once servers have kept the person waiting for half a second of real time
// in one command, it says which, and from then until the command ends Ctrl-C stops the waiting:
// the screen stays as the application shows it while loading, the rest of the command waits for
// no server, and the replies are taken in at a later command. Before that message, and between
// commands, Ctrl-C does what it always did.
//
// While one exists, every drain of the main run loop waits through it.
class TerminalWait {
public:
    // Seconds of real time from any fixed start.
    using WallClock = std::function<double()>;

    explicit TerminalWait(std::ostream& out, WallClock clock = {}, double pollInterval = 0.05);
    ~TerminalWait();
    TerminalWait(const TerminalWait&) = delete;
    TerminalWait& operator=(const TerminalWait&) = delete;

    void beginCommand();
    void endCommand();

    // How long servers may keep the person waiting before they are named.
    static constexpr double kQuietSeconds = 0.5;

private:
    bool keepWaiting();
    void catchInterrupts();
    void releaseInterrupts();

    std::ostream& out_;
    WallClock clock_;
    double pollInterval_;
    double blockedSince_ = -1;  // real time of the command's first wait on a server; -1 before
    std::vector<std::string> told_;
    bool stopped_ = false;
    bool catching_ = false;
};

}  // namespace qx::app
