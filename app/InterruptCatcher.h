#pragma once

namespace qx::app {

// Catches Ctrl-C for as long as it exists, so that a person at a terminal can stop a wait or
// drop the line being typed without ending the program. A press is kept until taken; a thread
// blocked on input notices it through a descriptor that becomes readable. One at a time.
class InterruptCatcher {
public:
    InterruptCatcher();
    ~InterruptCatcher();
    InterruptCatcher(const InterruptCatcher&) = delete;
    InterruptCatcher& operator=(const InterruptCatcher&) = delete;

    // Whether Ctrl-C was pressed since the last take; forgets it.
    static bool take();
    // Readable while a press waits to be taken; -1 while none is caught.
    static int wakeDescriptor();
};

}  // namespace qx::app
