#include "InterruptCatcher.h"

#include <fcntl.h>
#include <unistd.h>

#include <atomic>
#include <cerrno>
#include <csignal>

namespace qx::app {

namespace {

std::atomic<bool> pressed{false};
static_assert(std::atomic<bool>::is_always_lock_free, "set from a signal handler");
// Read end, write end; written from the signal handler, so both ends never block.
int wakePipe[2] = {-1, -1};
struct sigaction previousAction {};

extern "C" void onInterrupt(int) {
    const int saved = errno;
    pressed.store(true);
    const char byte = 1;
    if (wakePipe[1] >= 0 && ::write(wakePipe[1], &byte, 1) < 0) {
        // A full pipe already says that a press waits.
    }
    errno = saved;
}

}  // namespace

InterruptCatcher::InterruptCatcher() {
    if (::pipe2(wakePipe, O_CLOEXEC | O_NONBLOCK) != 0) wakePipe[0] = wakePipe[1] = -1;
    pressed.store(false);
    struct sigaction action {};
    action.sa_handler = &onInterrupt;
    // Other threads' blocking calls (a reply being read, a file being written) go on.
    action.sa_flags = SA_RESTART;
    sigemptyset(&action.sa_mask);
    ::sigaction(SIGINT, &action, &previousAction);
}

InterruptCatcher::~InterruptCatcher() {
    ::sigaction(SIGINT, &previousAction, nullptr);
    for (int& end : wakePipe) {
        if (end >= 0) ::close(end);
        end = -1;
    }
}

bool InterruptCatcher::take() {
    char bytes[64];
    while (wakePipe[0] >= 0 && ::read(wakePipe[0], bytes, sizeof bytes) > 0) {
    }
    return pressed.exchange(false);
}

int InterruptCatcher::wakeDescriptor() { return wakePipe[0]; }

}  // namespace qx::app
