#pragma once

#include <chrono>
#include <functional>
#include <string>
#include <vector>

namespace bbtest {

// How a child process ended.
struct ChildEnd {
    bool finished = false;  // it ended within the limit
    bool signaled = false;
    int signal = 0;
    int exitCode = -1;
};

// Runs `body` in a forked child of the test process and waits, a bounded time, for the child to
// end (a child still running then is killed). The child has only the calling thread, so `body`
// must not wait for any queue of the parent. A body that returns ends the child with code 0.
ChildEnd runInChild(const std::function<void()>& body,
                    std::chrono::milliseconds limit = std::chrono::seconds(60));

// Runs a program with `arguments` (its name first), the test's environment plus `environment`
// ("NAME=value" each), its output and errors going to `outputFile`, and waits as runInChild does.
ChildEnd runProgram(const std::vector<std::string>& arguments, const std::vector<std::string>& environment,
                    const std::string& outputFile, std::chrono::milliseconds limit = std::chrono::seconds(10));

}  // namespace bbtest
