#include "TerminalInput.h"

#include <poll.h>
#include <unistd.h>

#include <cerrno>

#include "InterruptCatcher.h"

namespace qx::app {

bool TerminalInput::takeLine(std::string& line) {
    const auto end = pending_.find('\n');
    if (end != std::string::npos) {
        line = pending_.substr(0, end);
        pending_.erase(0, end + 1);
        return true;
    }
    // Ctrl-D after some text hands it over without a line break.
    if (!ended_ || pending_.empty()) return false;
    line = std::move(pending_);
    pending_.clear();
    return true;
}

void TerminalInput::readMore() {
    char bytes[4096];
    const ssize_t got = ::read(descriptor_, bytes, sizeof bytes);
    if (got > 0) {
        pending_.append(bytes, static_cast<std::size_t>(got));
    } else if (got == 0 || (errno != EINTR && errno != EAGAIN)) {
        ended_ = true;
    }
}

TerminalInput::Read TerminalInput::next(std::string& line) {
    for (;;) {
        if (takeLine(line)) return Read::line;
        if (ended_) return Read::end;
        pollfd watched[2] = {{descriptor_, POLLIN, 0}, {InterruptCatcher::wakeDescriptor(), POLLIN, 0}};
        const int count = watched[1].fd >= 0 ? 2 : 1;
        if (::poll(watched, count, -1) < 0) {
            if (errno != EINTR) ended_ = true;
            // A press while blocked here is seen through the wake descriptor.
            continue;
        }
        if (count == 2 && (watched[1].revents & POLLIN) && InterruptCatcher::take()) {
            pending_.clear();
            return Read::interrupted;
        }
        if (watched[0].revents & POLLNVAL) {
            ended_ = true;
        } else if (watched[0].revents & (POLLIN | POLLHUP | POLLERR)) {
            readMore();
        }
    }
}

}  // namespace qx::app
