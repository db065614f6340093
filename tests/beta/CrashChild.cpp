#include "CrashChild.h"

#include <sys/wait.h>
#include <unistd.h>

#include <thread>

namespace bbtest {

ChildEnd runInChild(const std::function<void()>& body, std::chrono::milliseconds limit) {
    const pid_t child = ::fork();
    if (child == 0) {
        body();
        ::_exit(0);
    }
    ChildEnd end;
    if (child < 0) return end;
    const auto until = std::chrono::steady_clock::now() + limit;
    int status = 0;
    for (;;) {
        const pid_t done = ::waitpid(child, &status, WNOHANG);
        if (done == child) break;
        if (std::chrono::steady_clock::now() >= until) {
            ::kill(child, SIGKILL);
            ::waitpid(child, &status, 0);
            return end;
        }
        std::this_thread::sleep_for(std::chrono::milliseconds(2));
    }
    end.finished = true;
    end.signaled = WIFSIGNALED(status);
    end.signal = end.signaled ? WTERMSIG(status) : 0;
    end.exitCode = WIFEXITED(status) ? WEXITSTATUS(status) : -1;
    return end;
}

}  // namespace bbtest
