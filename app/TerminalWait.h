#pragma once

#include <functional>
#include <iosfwd>
#include <string>
#include <vector>

#include "InterruptCatcher.h"

namespace qx::app {

// How a command waits, at a terminal, for the work it set off, and what Ctrl-C does there. For
// as long as one exists Ctrl-C never ends the program. A command waits as a script does until
// the work is done; but once servers (or another program holding the stored readings) have
// kept the person waiting for half a second of real time, it says which. A Ctrl-C at any time
// in a command stops the waiting from then until the command ends, for every request under way
// or started later, whatever started it: the screen stays as the application shows it while
// loading, and the replies are taken in at a later command. The program's own work (an import,
// a save) goes on and is waited for; the person is told so.
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
    void stop(bool serversWaitedFor);

    InterruptCatcher interrupts_;
    std::ostream& out_;
    WallClock clock_;
    double pollInterval_;
    double blockedSince_ = -1;  // real time of the command's first wait on a server; -1 before
    std::vector<std::string> told_;
    bool stopped_ = false;
    bool toldOwnWork_ = false;
};

}  // namespace qx::app
